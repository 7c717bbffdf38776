// Uploading as a player does it with the browser: an impulse-response algorithm that carries
// its own response, and bank mode after a click on an algorithm too large for a bank.
#include "app/main_window.h"
#include "core/catalogue_resources.h"
#include "core/hex.h"
#include "pedal_sim/pedal_model.h"
#include "resources/resource_store.h"
#include "support/test_seams.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace qeltx;

namespace {

constexpr int kGainCategory = 0;
constexpr int kImpulseResponseCategory = 5;

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main;
    pedal_sim::PedalModel& pedal;
    Linked() : main(*editor->formMain()), pedal(*editor->virtualPedal()) { main.menuConnect->trigger(); }
    QListWidgetItem* item(int category, const QString& name) {
        editor->guard([&] { main.lstCategoryClick(category); });
        const auto found = main.lstEffects->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    void click(QListWidgetItem* item) {
        main.lstEffects->setCurrentItem(item);
        editor->guard([&] { main.effectListItemClicked(item); });
    }
};

std::string catalogueImageHex(const std::string& resource) {
    const std::string text = *resources::catalogueResource(resource);
    return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

class UploadFlowsTest : public QObject {
    Q_OBJECT
private slots:
    void impulseResponseWithoutTapBlockUploadsItsOwnImage();
    void bankModeGreyRowSaysWhyAndUploadFollowsTheSelection();
};

void UploadFlowsTest::impulseResponseWithoutTapBlockUploadsItsOwnImage() {
    Linked s;
    QListWidgetItem* room = s.item(kImpulseResponseCategory, QStringLiteral("Room IR Blend"));
    QVERIFY(room);
    s.click(room);
    QVERIFY(s.main.btnUpload->isEnabled());
    s.editor.dialogs->messages.clear();
    const unsigned before = s.pedal.uploadsTaken();
    s.main.btnUpload->click();
    QVERIFY2(s.editor.dialogs->messages.isEmpty(), qPrintable(s.editor.dialogs->messages.join('\n')));
    QCOMPARE(s.pedal.uploadsTaken(), before + 1);
    QCOMPARE(s.editor.dialogs->confirmations.last(),
             QStringLiteral("Upload Room IR Blend to the pedal as its algorithm (Preset Mode)?"));
    QVERIFY(s.pedal.algorithm().has_value());
    QCOMPARE(core::toHex(s.pedal.algorithm()->bytes), catalogueImageHex("ROOM_IR_BLEND"));
    QVERIFY2(s.main.lblStatus->text().contains(QStringLiteral("impulse response built into it")),
             qPrintable(s.main.lblStatus->text()));

    // An IR loader the loader can merge into still asks for a response first.
    s.click(s.item(kImpulseResponseCategory, QStringLiteral("Basic IR Loader")));
    s.main.btnUpload->click();
    QCOMPARE(s.pedal.uploadsTaken(), before + 1);
    QVERIFY(s.editor.dialogs->messages.last().startsWith(QStringLiteral("Load an impulse response")));
}

void UploadFlowsTest::bankModeGreyRowSaysWhyAndUploadFollowsTheSelection() {
    Linked s;
    s.main.menuModeBank->trigger();
    QListWidgetItem* large = s.item(kGainCategory, QStringLiteral("Saturn Distortion"));
    QVERIFY(large);
    QVERIFY(!(large->flags() & Qt::ItemIsEnabled));
    QVERIFY2(large->toolTip().contains(QStringLiteral("5441 bytes")) && large->toolTip().contains(QStringLiteral("5440")),
             qPrintable(large->toolTip()));
    QListWidgetItem* fits = s.main.lstEffects->findItems(QStringLiteral("Amber Drive"), Qt::MatchExactly).first();
    QVERIFY(fits->toolTip().isEmpty());

    s.click(large);
    QVERIFY(!s.main.btnUpload->isEnabled());
    s.click(fits);
    QVERIFY(s.main.btnUpload->isEnabled());
    s.main.rdbtnBank2->setChecked(true);
    const unsigned before = s.pedal.uploadsTaken();
    // The question names the algorithm and its bank; No sends nothing, not even the bypass.
    s.editor.dialogs->answers.push_back(false);
    const std::size_t sentBefore = s.pedal.received().size();
    s.main.btnUpload->click();
    QCOMPARE(s.editor.dialogs->confirmations.last(), QStringLiteral("Upload Amber Drive into Bank II (FX Bank Mode)?"));
    QCOMPARE(s.pedal.received().size(), sentBefore);
    s.main.btnUpload->click();
    QCOMPARE(s.pedal.uploadsTaken(), before + 1);
    const std::string image = catalogueImageHex("AMBER_DRIVE");
    // The bank's code replaces the image's first byte.
    QCOMPARE(core::toHex(s.pedal.algorithm()->bytes).substr(2), image.substr(2));
}

QTEST_MAIN(UploadFlowsTest)
#include "test_upload_flows.moc"
