// Against the virtual pedal: Link asks which algorithm the pedal holds and opens its panel,
// the panel's controls reach the pedal, Request fills the panel, and Upload puts an algorithm
// on the pedal in preset and bank mode.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"
#include "resources/resource_store.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {

std::vector<std::uint8_t> catalogueImage(const QString& base) {
    const auto text = resources::catalogueResource(base.toStdString());
    std::vector<std::uint8_t> bytes;
    if (!text) return bytes;
    const std::string line = text->substr(0, text->find_first_of("\r\n"));
    for (std::size_t i = 0; i + 1 < line.size(); i += 2) bytes.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
    return bytes;
}

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main;
    app::TformFXParameters& panel;
    pedal_sim::PedalModel& pedal;
    Linked() : main(*editor->formMain()), panel(*editor->formFXParameters()), pedal(*editor->virtualPedal()) {
        main.menuConnect->trigger();
    }
    // Bytes the editor wrote since `from`.
    std::vector<std::uint8_t> sentSince(std::size_t from) const {
        const auto& all = pedal.received();
        return {all.begin() + static_cast<std::ptrdiff_t>(from), all.end()};
    }
};

int findRow(QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text) return i;
    }
    return -1;
}

}  // namespace

class PedalSessionTest : public QObject {
    Q_OBJECT
private slots:
    void linkShowsTheStoredAlgorithmsPanelDisabled();
    void potDragReachesThePedalsParameterMemory();
    void requestFillsThePanelAndSendsNothingBack();
    void uploadInPresetModeAndIntoBankTwo();
    void uploadAnswerNoSendsNothing();
    void silentPedalEndsTheQueryWithAMessage();
    void pedalWithoutAnAlgorithmSaysSo();
};

void PedalSessionTest::linkShowsTheStoredAlgorithmsPanelDisabled() {
    Linked s;
    QVERIFY(s.editor.dialogs->messages.isEmpty());
    QVERIFY(s.pedal.hasAlgorithm());
    const QString name = s.editor->pedal().algorithm().name;
    QVERIFY(!name.isEmpty());
    QCOMPARE(s.editor->state.currentEffectName, name);
    QVERIFY(s.editor->state.panelShowsHeldAlgorithm);
    QVERIFY(s.panel.isVisible());
    QCOMPARE(s.panel.windowTitle(), name + " v1");
    QCOMPARE(s.main.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 1"));
    QVERIFY(s.panel.numControls > 0);
    // Link reads the pedal's values by itself (the setting is on by default).
    QVERIFY(s.panel.potTrackBars[0]->isEnabled());
    QCOMPARE(s.panel.potTrackBars[0]->value(), static_cast<int>(*s.pedal.controlValue(0) / 8192));
    QCOMPARE(s.panel.height(), s.panel.windowHeight());
    QVERIFY(s.main.btnRequest->isEnabled());
    QVERIFY(s.main.Timer_USB_read.isActive());
    // The browser shows the algorithm's category with its row current.
    QVERIFY(s.main.lstCategory->currentRow() >= 0);
    QCOMPARE(s.main.lstEffects->currentItem()->text(), name);
}

void PedalSessionTest::potDragReachesThePedalsParameterMemory() {
    Linked s;
    s.main.btnRequest->click();
    QSlider* pot = s.panel.potTrackBars[0];
    QVERIFY(pot && pot->isEnabled());
    const std::size_t before = s.pedal.received().size();
    for (int v : {100, 511, 512}) pot->setValue(v);
    QCOMPARE(s.sentSince(before).size(), std::size_t{3 * 7});
    QCOMPARE(s.pedal.controlValue(0), std::optional<std::uint32_t>(512u * 8192u));
    QVERIFY(s.editor.clock->paused >= 3);  // 1 ms after each pot command
}

void PedalSessionTest::requestFillsThePanelAndSendsNothingBack() {
    Linked s;
    // Set a value on the pedal itself, then read it back.
    s.main.btnRequest->click();
    const int lastRead = s.panel.potTrackBars[0]->value();
    QVERIFY(lastRead != 700);
    s.panel.potTrackBars[0]->setValue(700);
    // Selecting the stored algorithm again rebuilds the panel with what the pedal holds: the
    // value read, as the player changed it since.
    s.main.effectListItemClicked(s.main.lstEffects->currentItem());
    QCOMPARE(s.panel.potTrackBars[0]->value(), 700);
    QCOMPARE(s.pedal.controlValue(0), std::optional<std::uint32_t>(700u * 8192u));
    const std::size_t before = s.pedal.received().size();
    s.main.btnRequest->click();
    const auto sent = s.sentSince(before);
    QCOMPARE(sent.size(), std::size_t{2});  // only the request itself
    QCOMPARE(int(sent[0]), 0x02);
    QCOMPARE(int(sent[1]), s.panel.numControls);
    QCOMPARE(s.panel.potTrackBars[0]->value(), 700);
    QVERIFY(s.panel.potTrackBars[0]->isEnabled());
    QVERIFY(s.main.btnAssign->isEnabled() && s.main.btnStoreSettingsOnPedal->isEnabled());
    QVERIFY(!s.editor->state.applyingReadBack);
    QVERIFY(s.main.Timer_USB_read.isActive());
}

void PedalSessionTest::uploadInPresetModeAndIntoBankTwo() {
    Linked s;
    s.main.lstModulationClick();
    QVERIFY(s.main.lstEffects->count() > 1);
    QListWidgetItem* item = s.main.lstEffects->item(1);
    s.main.lstEffects->setCurrentItem(item);
    s.main.effectListItemClicked(item);
    const QString name = item->text();
    const std::vector<std::uint8_t> image = catalogueImage(app::TformMain::format_resource_name(name));
    QVERIFY(!image.empty());

    std::size_t before = s.pedal.received().size();
    s.main.btnUpload->click();
    auto sent = s.sentSince(before);
    const std::vector<std::uint8_t> bypassOn{0x0D, 0x01};
    QVERIFY(std::equal(bypassOn.begin(), bypassOn.end(), sent.begin()));
    QCOMPARE(std::vector<std::uint8_t>(sent.begin() + 2, sent.end()), image);
    QCOMPARE(int(s.pedal.algorithmNumber()), int(image[126]));
    QCOMPARE(s.main.lblStatus->text(), QStringLiteral("Uploading..."));
    s.main.Timer_USB_readTimer();
    QCOMPARE(s.main.lblStatus->text(), QStringLiteral("Upload complete"));

    // Bank mode, Bank II: only the first byte differs.
    s.main.SetBankMode();
    s.main.lstModulationClick();
    const int row = findRow(s.main.lstEffects, name);
    QVERIFY(row >= 0);
    if (!(s.main.lstEffects->item(row)->flags() & Qt::ItemIsEnabled)) QSKIP("this algorithm is too large for a bank");
    s.main.effectListItemClicked(s.main.lstEffects->item(row));
    s.main.rdbtnBank2->setChecked(true);
    before = s.pedal.received().size();
    s.main.btnUpload->click();
    sent = s.sentSince(before);
    QCOMPARE(int(sent[2]), 0x0F);
    QVERIFY(std::equal(image.begin() + 1, image.end(), sent.begin() + 3));
}

void PedalSessionTest::uploadAnswerNoSendsNothing() {
    Linked s;
    const bool pollWasRunning = s.main.Timer_USB_read.isActive();
    const std::size_t before = s.pedal.received().size();
    s.editor.dialogs->answers.push_back(false);
    s.main.btnUpload->click();
    QCOMPARE(s.sentSince(before).size(), std::size_t{0});
    QCOMPARE(s.main.Timer_USB_read.isActive(), pollWasRunning);
}

void PedalSessionTest::silentPedalEndsTheQueryWithAMessage() {
    testing::TestEditor editor;
    editor->virtualPedal()->faults().silent = true;
    editor->formMain()->menuConnect->trigger();
    QCOMPARE(editor.dialogs->messages.size(), 1);
    QVERIFY(editor.dialogs->messages.first().contains("did not answer"));
    QVERIFY(!editor->formFXParameters()->isVisible());
    // Link still completes and starts the poll.
    QVERIFY(editor->formMain()->Timer_USB_read.isActive());
}

void PedalSessionTest::pedalWithoutAnAlgorithmSaysSo() {
    testing::TestEditor editor;
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    pedal.eeprom(0x50)->erase();
    pedal.eeprom(0x51)->erase();
    pedal.powerCycle();
    app::TformMain& main = *editor->formMain();
    main.menuConnect->trigger();
    QCOMPARE(editor.dialogs->messages, QStringList{"No effect found on pedal"});
    QCOMPARE(main.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 1"));
    QVERIFY(!main.btnRequest->isEnabled());
    QVERIFY(!main.btnOpenEffect->isEnabled());
    QVERIFY(!editor->formFXParameters()->isVisible());
    // The button asks again when clicked, and is usable afterwards.
    main.btnOpenEffectClick();
    QVERIFY(main.btnOpenEffect->isEnabled());
}

QTEST_MAIN(PedalSessionTest)
#include "test_pedal_session.moc"
