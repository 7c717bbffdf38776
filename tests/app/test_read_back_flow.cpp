// Reading the pedal's values without being asked: after Link and after "Upload complete" the
// editor runs Request by itself (unless the player turned that off, then the panel says how),
// a reopened panel shows the values last read, and Assign and Store say what they sent.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "pedal_sim/pedal_model.h"
#include "support/test_seams.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace qeltx;

namespace {
constexpr int kGainCategory = 0;
}  // namespace

class ReadBackFlowTest : public QObject {
    Q_OBJECT
private slots:
    void afterLinkThePanelShowsThePedalsValues_data();
    void afterLinkThePanelShowsThePedalsValues();
    void afterUploadCompleteTheNewAlgorithmIsRead_data();
    void afterUploadCompleteTheNewAlgorithmIsRead();
    void theSettingIsKeptInThePreferencesFolder();
    void reopenedPanelShowsTheLastValuesWithoutSending();
    void assignAndStoreSayWhatTheySent();
    void previewAndQuerySayWhatThePanelShows();
};

namespace {

// Counts the Request commands (02 N) the pedal received.
int requestsIn(const std::vector<std::uint8_t>& bytes, int controls) {
    int found = 0;
    for (std::size_t k = 0; k + 1 < bytes.size(); ++k) {
        if (bytes[k] == 0x02 && bytes[k + 1] == controls) ++found;
    }
    return found;
}

std::unique_ptr<testing::TestEditor> editorWith(bool automatic) {
    return std::make_unique<testing::TestEditor>(nullptr, true, [automatic](const QString& documents) {
        if (automatic) return;
        const QString folder = QDir(documents).filePath(app::kMakerFolder + QLatin1Char('/') + app::kProductFolder);
        QDir().mkpath(folder);
        app::writePreferenceText(QDir(folder).filePath(app::kReadValuesFile), QStringLiteral("NO"));
    });
}

void checkPotsShowThePedal(app::TformFXParameters& panel, pedal_sim::PedalModel& pedal) {
    QVERIFY(panel.numPots() > 0);
    for (int i = 0; i < panel.numPots(); ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const int value = static_cast<int>(*pedal.controlValue(slot) / 8192);
        QCOMPARE(panel.potTrackBar(slot)->value(), value);
        QCOMPARE(panel.potValueLabel(slot)->text(), QString::number(value));
    }
}

}  // namespace

void ReadBackFlowTest::afterLinkThePanelShowsThePedalsValues_data() {
    QTest::addColumn<bool>("automatic");
    QTest::newRow("read automatically") << true;
    QTest::newRow("setting off") << false;
}

void ReadBackFlowTest::afterLinkThePanelShowsThePedalsValues() {
    QFETCH(bool, automatic);
    auto editor = editorWith(automatic);
    app::TformMain& main = *(*editor)->formMain();
    app::TformFXParameters& panel = *(*editor)->formFXParameters();
    pedal_sim::PedalModel& pedal = *(*editor)->virtualPedal();
    QCOMPARE(main.menuReadValuesAutomatically->isChecked(), automatic);
    main.menuConnect->trigger();
    QVERIFY(panel.isBuilt());
    QCOMPARE(requestsIn(pedal.received(), panel.numControls()), automatic ? 1 : 0);
    QCOMPARE(panel.potTrackBar(0)->isEnabled(), automatic);
    QCOMPARE(main.btnAssign->isEnabled(), automatic);
    QVERIFY(main.btnRequest->isEnabled());
    QVERIFY2(editor->dialogs->messages.isEmpty(), qPrintable(editor->dialogs->messages.join('\n')));
    if (automatic) {
        checkPotsShowThePedal(panel, pedal);
        QCOMPARE(panel.statusText(), QStringLiteral("Values read from the pedal."));
    } else {
        QVERIFY2(panel.statusText().contains(QStringLiteral("Request")), qPrintable(panel.statusText()));
        // The button reads them as before.
        main.btnRequest->click();
        checkPotsShowThePedal(panel, pedal);
        QVERIFY(panel.potTrackBar(0)->isEnabled());
    }
}

void ReadBackFlowTest::afterUploadCompleteTheNewAlgorithmIsRead_data() { afterLinkThePanelShowsThePedalsValues_data(); }

void ReadBackFlowTest::afterUploadCompleteTheNewAlgorithmIsRead() {
    QFETCH(bool, automatic);
    auto editor = editorWith(automatic);
    app::TformMain& main = *(*editor)->formMain();
    app::TformFXParameters& panel = *(*editor)->formFXParameters();
    pedal_sim::PedalModel& pedal = *(*editor)->virtualPedal();
    main.menuConnect->trigger();
    (*editor)->guard([&] { main.lstCategoryClick(kGainCategory); });
    QListWidgetItem* fuzz = main.lstEffects->findItems(QStringLiteral("Copper Fuzz"), Qt::MatchExactly).first();
    main.lstEffects->setCurrentItem(fuzz);
    (*editor)->guard([&] { main.effectListItemClicked(fuzz); });
    QVERIFY(!panel.potTrackBar(0)->isEnabled());  // not what the pedal holds yet
    main.btnUpload->click();
    QCOMPARE(pedal.algorithmNumber(), 2);
    const std::size_t mark = pedal.received().size();
    main.Timer_USB_readTimer();  // the poll takes "Upload complete"
    QCOMPARE(main.lblStatus->text(), QStringLiteral("Upload complete"));
    // What the panel shows is the pedal's now, no preview.
    QCOMPARE(panel.windowTitle(), QStringLiteral("Copper Fuzz"));
    const std::vector<std::uint8_t> after(pedal.received().begin() + static_cast<std::ptrdiff_t>(mark), pedal.received().end());
    QCOMPARE(requestsIn(after, panel.numControls()), automatic ? 1 : 0);
    QCOMPARE(panel.potTrackBar(0)->isEnabled(), automatic);
    QVERIFY(main.btnRequest->isEnabled());
    if (automatic) {
        checkPotsShowThePedal(panel, pedal);
    } else {
        QVERIFY(panel.statusText().contains(QStringLiteral("Request")));
    }
}

void ReadBackFlowTest::theSettingIsKeptInThePreferencesFolder() {
    {
        testing::TestEditor editor;
        app::TformMain& main = *editor->formMain();
        const QString path = QDir(main.productFolder()).filePath(app::kReadValuesFile);
        QVERIFY(main.menuReadValuesAutomatically->isChecked());
        QVERIFY(editor->state.readValuesAutomatically);
        main.menuReadValuesAutomatically->trigger();
        QVERIFY(!editor->state.readValuesAutomatically);
        QCOMPARE(app::readPreferenceText(path).value_or(QString()), QStringLiteral("NO"));
        main.menuReadValuesAutomatically->trigger();
        QCOMPARE(app::readPreferenceText(path).value_or(QString()), QStringLiteral("YES"));
    }
}

void ReadBackFlowTest::reopenedPanelShowsTheLastValuesWithoutSending() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    app::TformFXParameters& panel = *editor->formFXParameters();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    main.menuConnect->trigger();
    panel.assignBox(1)->setCurrentIndex(11);  // "EXP", kept as the stored code
    std::vector<int> shown;
    for (int i = 0; i < panel.numPots(); ++i) shown.push_back(panel.potTrackBar(static_cast<std::size_t>(i))->value());
    QVERIFY(shown != std::vector<int>(shown.size(), 0));
    panel.close();
    QVERIFY(!panel.isBuilt());
    const std::size_t mark = pedal.received().size();
    main.show_parameter_window(editor->state.currentEffectName, true);
    QVERIFY(panel.isBuilt());
    for (int i = 0; i < panel.numPots(); ++i) {
        QCOMPARE(panel.potTrackBar(static_cast<std::size_t>(i))->value(), shown[static_cast<std::size_t>(i)]);
    }
    QCOMPARE(panel.assignBox(1)->currentText(), QStringLiteral("EXP"));
    QCOMPARE(pedal.received().size(), mark);
    QVERIFY(panel.statusText().contains(QStringLiteral("last read")));

    // Another algorithm's panel starts empty.
    editor->state.currentEffectName = QStringLiteral("Copper Fuzz");
    main.show_parameter_window(QStringLiteral("Copper Fuzz"), true);
    QCOMPARE(panel.potTrackBar(0)->value(), 0);
    QVERIFY(panel.statusText().isEmpty());
}

void ReadBackFlowTest::assignAndStoreSayWhatTheySent() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    main.menuConnect->trigger();
    main.btnAssign->click();
    QVERIFY2(main.lblStatus->text().startsWith(QStringLiteral("Assignments sent to the pedal (3 parameters")),
             qPrintable(main.lblStatus->text()));
    main.btnStoreSettingsOnPedal->click();
    QVERIFY2(main.lblStatus->text().startsWith(QStringLiteral("Store Settings sent")), qPrintable(main.lblStatus->text()));
    // Answering No to Assign sends nothing and says nothing new.
    main.lblStatus->setText(QStringLiteral("Status: "));
    editor.dialogs->answers = {false};
    main.btnAssign->click();
    QCOMPARE(main.lblStatus->text(), QStringLiteral("Status: "));
}

void ReadBackFlowTest::previewAndQuerySayWhatThePanelShows() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    app::TformFXParameters& panel = *editor->formFXParameters();
    main.menuConnect->trigger();
    QVERIFY(panel.potTrackBar(0)->isEnabled());

    // Browsing shows another algorithm as a preview, marked in the title and the status line.
    editor->guard([&] { main.lstCategoryClick(kGainCategory); });
    QListWidgetItem* fuzz = main.lstEffects->findItems(QStringLiteral("Copper Fuzz"), Qt::MatchExactly).first();
    main.lstEffects->setCurrentItem(fuzz);
    editor->guard([&] { main.effectListItemClicked(fuzz); });
    QCOMPARE(panel.windowTitle(), QStringLiteral("Copper Fuzz (preview)"));
    QCOMPARE(panel.statusText(),
             QStringLiteral("Preview only: the pedal holds Amber Drive. Upload Selected Effect puts this algorithm on it."));

    // The pedal's own algorithm is no preview; "Get FX Stored on Pedal" shows it greyed and
    // says how its values are read.
    main.btnOpenEffect->click();
    QCOMPARE(panel.windowTitle(), QStringLiteral("Amber Drive v1"));
    QVERIFY(!panel.potTrackBar(0)->isEnabled());
    QVERIFY2(panel.statusText().contains(QStringLiteral("until Request")), qPrintable(panel.statusText()));
    main.btnRequest->click();
    QVERIFY(panel.potTrackBar(0)->isEnabled());
    QCOMPARE(panel.statusText(), QStringLiteral("Values read from the pedal."));
}

QTEST_MAIN(ReadBackFlowTest)
#include "test_read_back_flow.moc"
