// Bytes that are not the reply: what the pedal sent on its own before Request or the query is
// applied as the poll would and kept out of the reply; a reply split over many reads is decoded
// whole; a Request reply with a number more or less is refused with nothing applied.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "support/test_seams.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

#include <algorithm>

using namespace qeltx;

namespace {

// The virtual pedal behind a bridge that hands over at most `chunk` bytes a read.
class SplittingDriver : public pedal_sim::VirtualPedalDriver {
public:
    SplittingDriver(pedal_sim::PedalModel& model, std::uint32_t chunk) : VirtualPedalDriver(model), chunk_(chunk) {}
    core::FtStatus read(link::FtHandle handle, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& got) override {
        if (toRead > 0) ++reads;
        return VirtualPedalDriver::read(handle, buffer, std::min(toRead, chunk_), got);
    }
    int reads = 0;

private:
    std::uint32_t chunk_;
};

void push(pedal_sim::PedalModel& pedal, std::string_view bytes) {
    for (char c : bytes) pedal.output().push_back(static_cast<std::uint8_t>(c));
}

// The panel shows what the pedal holds: every pot's value and every assignment.
void checkPanelShowsThePedal(app::TformFXParameters& panel, const session::PedalState& pedalState,
                             const pedal_sim::PedalModel& pedal) {
    QVERIFY(panel.isBuilt());
    QCOMPARE(static_cast<int>(pedal.algorithmNumber()) > 0, true);
    for (int i = 0; i < panel.numPots(); ++i) {
        const auto word = pedal.controlValue(static_cast<std::size_t>(i));
        QVERIFY(word.has_value());
        // A signed word; the track bar keeps to 0..1023.
        const int value = static_cast<std::int32_t>(*word) / static_cast<std::int32_t>(pedal_sim::kValueScale);
        QCOMPARE(panel.potTrackBar(static_cast<std::size_t>(i))->value(), std::clamp(value, 0, 1023));
        QCOMPARE(pedalState.values()[static_cast<std::size_t>(i)], value);
        QVERIFY(panel.potTrackBar(static_cast<std::size_t>(i))->isEnabled());
    }
    for (int i = 0; i < panel.numControls(); ++i) {
        QCOMPARE(pedalState.assignments()[static_cast<std::size_t>(i)], pedal.settings().assignments[static_cast<std::size_t>(i)]);
    }
}

}  // namespace

class StrayBytesTest : public QObject {
    Q_OBJECT
private slots:
    void beforeRequest_data();
    void beforeRequest();
    void beforeTheQuery_data();
    void beforeTheQuery();
    void aReplySplitOverManyReadsIsDecodedWhole();
    void aRequestReplyOfTheWrongLengthIsRefused_data();
    void aRequestReplyOfTheWrongLengthIsRefused();
};

void StrayBytesTest::beforeRequest_data() {
    QTest::addColumn<QByteArray>("stray");
    QTest::addColumn<int>("bank");        // the bank radio button the report selects, -1: none
    QTest::addColumn<int>("algorithm");   // the algorithm the report makes current, 0: none
    QTest::newRow("bank report") << QByteArray("01") << 1 << 0;
    QTest::newRow("lone LF") << QByteArray("\n") << -1 << 0;
    QTest::newRow("algorithm report") << QByteArray() << -1 << 7;
}

void StrayBytesTest::beforeRequest() {
    QFETCH(QByteArray, stray);
    QFETCH(int, bank);
    QFETCH(int, algorithm);
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    app::TformFXParameters& panel = *editor->formFXParameters();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    main.menuConnect->trigger();
    QVERIFY(panel.isBuilt());
    // Knobs turned before, so the values are not all alike.
    for (std::uint8_t knob = 0; knob < 5; ++knob) pedal.turnKnob(knob, static_cast<std::uint16_t>(159 + 201 * knob));
    main.Timer_USB_read.stop();
    main.poll_pedal_messages();
    editor.dialogs->messages.clear();

    if (algorithm > 0) {
        pedal.changeAlgorithm(static_cast<std::uint8_t>(algorithm));
    } else {
        push(pedal, std::string_view(stray.constData(), static_cast<std::size_t>(stray.size())));
    }
    main.btnRequest->click();

    QVERIFY2(editor.dialogs->messages.isEmpty(), qPrintable(editor.dialogs->messages.join('\n')));
    const std::array<QRadioButton*, 3> banks{main.rdbtnBank1, main.rdbtnBank2, main.rdbtnBank3};
    if (bank >= 0) QVERIFY(banks[static_cast<std::size_t>(bank)]->isChecked());
    if (algorithm > 0) QCOMPARE(editor->pedal().algorithm().number, static_cast<std::uint32_t>(algorithm));
    checkPanelShowsThePedal(panel, editor->pedal(), pedal);
    QVERIFY(main.btnAssign->isEnabled());
}

void StrayBytesTest::beforeTheQuery_data() {
    QTest::addColumn<QByteArray>("stray");
    QTest::newRow("bank report") << QByteArray("02");
    QTest::newRow("lone LF") << QByteArray("\n");
    QTest::newRow("algorithm report") << QByteArray("105");
}

void StrayBytesTest::beforeTheQuery() {
    QFETCH(QByteArray, stray);
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    main.menuConnect->trigger();
    const std::uint32_t held = pedal.algorithmNumber();
    main.Timer_USB_read.stop();
    editor.dialogs->messages.clear();
    editor.dialogs->errors.clear();
    push(pedal, std::string_view(stray.constData(), static_cast<std::size_t>(stray.size())));
    main.btnOpenEffect->click();
    QVERIFY2(editor.dialogs->messages.isEmpty(), qPrintable(editor.dialogs->messages.join('\n')));
    QVERIFY2(editor.dialogs->errors.isEmpty(), qPrintable(editor.dialogs->errors.join('\n')));
    QCOMPARE(editor->pedal().algorithm().number, held);
    QCOMPARE(editor->pedal().firmwareVersion(), pedal.firmwareVersion());
    QCOMPARE(editor->state.currentEffectName, editor->pedal().algorithm().name);
}

void StrayBytesTest::aReplySplitOverManyReadsIsDecodedWhole() {
    pedal_sim::PedalModel pedal;
    auto driver = std::make_unique<SplittingDriver>(pedal, 5);
    SplittingDriver& splitting = *driver;
    testing::TestEditor editor(std::move(driver));
    app::TformMain& main = *editor->formMain();
    main.menuConnect->trigger();
    QVERIFY(editor->formFXParameters()->isBuilt());
    for (std::uint8_t knob = 0; knob < 5; ++knob) pedal.turnKnob(knob, static_cast<std::uint16_t>(1000 - 170 * knob));
    main.poll_pedal_messages();
    editor.dialogs->messages.clear();
    const int readsBefore = splitting.reads;
    main.btnRequest->click();
    QVERIFY2(editor.dialogs->messages.isEmpty(), qPrintable(editor.dialogs->messages.join('\n')));
    QVERIFY(splitting.reads - readsBefore > 10);
    checkPanelShowsThePedal(*editor->formFXParameters(), editor->pedal(), pedal);
}

void StrayBytesTest::aRequestReplyOfTheWrongLengthIsRefused_data() {
    QTest::addColumn<int>("change");
    QTest::newRow("one number more") << 1;
    QTest::newRow("one number less") << -1;
}

void StrayBytesTest::aRequestReplyOfTheWrongLengthIsRefused() {
    QFETCH(int, change);
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    app::TformFXParameters& panel = *editor->formFXParameters();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    // No read-back at Link: the refused Request is the panel's first.
    editor->state.readValuesAutomatically = false;
    main.menuConnect->trigger();
    editor.dialogs->messages.clear();
    const int before = panel.potTrackBar(0)->value();
    pedal.turnKnob(0, static_cast<std::uint16_t>(before == 700 ? 300 : 700));
    main.poll_pedal_messages();
    const int afterKnob = panel.potTrackBar(0)->value();
    // The pedal's answer is in its queue at the first look; change it there.
    editor.duringWait->action = [&] {
        auto& out = pedal.output();
        if (change > 0) {
            push(pedal, "7\r\n");
        } else {
            // Drop the last number with its line end.
            out.pop_back();
            out.pop_back();
            while (!out.empty() && out.back() != '\n') out.pop_back();
        }
    };
    main.btnRequest->click();
    QCOMPARE(editor.duringWait->ran, 1);
    QCOMPARE(editor.dialogs->messages.size(), 1);
    QVERIFY2(editor.dialogs->messages.first().contains(QStringLiteral("nothing was applied")),
             qPrintable(editor.dialogs->messages.first()));
    // Nothing of it reached the panel: still disabled, as before any read-back.
    QCOMPARE(panel.potTrackBar(0)->value(), afterKnob);
    QVERIFY(!panel.potTrackBar(0)->isEnabled());
    QVERIFY(!main.btnAssign->isEnabled());
    QVERIFY(main.btnRequest->isEnabled());
}

QTEST_MAIN(StrayBytesTest)
#include "test_stray_bytes.moc"
