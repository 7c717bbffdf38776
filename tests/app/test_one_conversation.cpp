// The editor's windows and qeltx-cli ask the pedal through one conversation: for every way the
// pedal answers, the stored-effect query and Request from the main window's buttons and from the
// session's conversation (what qeltx-cli runs) send the same bytes and come to the same verdict,
// and Upload sends what qeltx-cli upload sends.
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "session/settings_conversation.h"
#include "support/test_seams.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace qeltx;

namespace {

using Bytes = std::vector<std::uint8_t>;

// What the pedal's answer goes through on its way (applied once its answer is queued).
enum class Answer { Whole, NumberMore, NumberLess, GarbageFirst, Silent };

void spoil(pedal_sim::PedalModel& pedal, Answer answer) {
    auto& out = pedal.output();
    switch (answer) {
        case Answer::Whole:
        case Answer::Silent:
            break;
        case Answer::NumberMore:
            for (char c : std::string_view("7\r\n")) out.push_back(static_cast<std::uint8_t>(c));
            break;
        case Answer::NumberLess:
            out.pop_back();
            out.pop_back();
            while (!out.empty() && out.back() != '\n') out.pop_back();
            break;
        case Answer::GarbageFirst:
            out.push_front('?');
            out.push_front('#');
            break;
    }
}

// The bytes the pedal received since `from`.
Bytes receivedSince(const pedal_sim::PedalModel& pedal, std::size_t from) {
    return Bytes(pedal.received().begin() + static_cast<std::ptrdiff_t>(from), pedal.received().end());
}

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    app::TformFXParameters& panel = *editor->formFXParameters();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    Linked() {
        main.menuConnect->trigger();
        main.Timer_USB_read.stop();
        editor.dialogs->messages.clear();
    }
    // How many answers were caught in the middle of their wait (and spoilt as asked).
    int answersSeen = 0;
    // Runs `ask` with the pedal's next answer spoilt as `answer` says; the bytes it sent.
    Bytes ask(Answer answer, const std::function<void()>& ask) {
        pedal.faults().silent = answer == Answer::Silent;
        editor.duringWait->action = [this, answer] {
            spoil(pedal, answer);
            ++answersSeen;
        };
        const std::size_t before = pedal.received().size();
        ask();
        pedal.faults().silent = false;
        editor.duringWait->action = nullptr;
        return receivedSince(pedal, before);
    }
};

}  // namespace

Q_DECLARE_METATYPE(Answer)

class OneConversationTest : public QObject {
    Q_OBJECT
private slots:
    void requestFromTheWindowAndFromTheCommandLine_data();
    void requestFromTheWindowAndFromTheCommandLine();
    void theQueryFromTheWindowAndFromTheCommandLine_data();
    void theQueryFromTheWindowAndFromTheCommandLine();
    void uploadSendsWhatTheCommandLineSends();
};

void OneConversationTest::requestFromTheWindowAndFromTheCommandLine_data() {
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("whole") << Answer::Whole << true;
    // The command line took a block with a number too many; both refuse it now.
    QTest::newRow("a number more") << Answer::NumberMore << false;
    QTest::newRow("a number less") << Answer::NumberLess << false;
    QTest::newRow("garbage first") << Answer::GarbageFirst << false;
    QTest::newRow("silent") << Answer::Silent << false;
}

void OneConversationTest::requestFromTheWindowAndFromTheCommandLine() {
    QFETCH(Answer, answer);
    QFETCH(bool, accepted);
    Linked s;
    QVERIFY(s.panel.isBuilt());
    const auto numControls = static_cast<std::size_t>(s.panel.numControls());
    const auto numReadbacks = static_cast<std::size_t>(s.panel.numReadbacks());
    // Values the pedal did not start with, so a block applied is seen.
    for (std::uint8_t knob = 0; knob < 3; ++knob) s.pedal.turnKnob(knob, static_cast<std::uint16_t>(301 + 97 * knob));
    s.main.poll_pedal_messages();
    s.editor->pedal().forgetValues();

    const Bytes fromWindow = s.ask(answer, [&] { s.main.btnRequest->click(); });
    QCOMPARE(s.editor.dialogs->messages.isEmpty(), accepted);
    QCOMPARE(s.editor->pedal().hasValuesFor(s.editor->state.currentEffectName), accepted);

    std::optional<core::Refusable<core::ParameterBlock>> block;
    const Bytes fromCommandLine = s.ask(answer, [&] {
        session::PedalLine line = s.editor->pedalLine();
        block.emplace(session::requestParameterBlock(line, numControls, numReadbacks));
    });
    QCOMPARE(block->ok(), accepted);
    // Both asked while the answer came, so both met the answer as spoilt.
    if (answer != Answer::Silent) QCOMPARE(s.answersSeen, 2);
    QCOMPARE(fromCommandLine, fromWindow);
    QCOMPARE(fromWindow, Bytes({0x02, static_cast<std::uint8_t>(numControls)}));
    if (accepted) QCOMPARE((*block)->values, s.editor->pedal().values());
}

void OneConversationTest::theQueryFromTheWindowAndFromTheCommandLine_data() {
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("whole") << Answer::Whole << true;
    QTest::newRow("silent") << Answer::Silent << false;
}

void OneConversationTest::theQueryFromTheWindowAndFromTheCommandLine() {
    QFETCH(Answer, answer);
    QFETCH(bool, accepted);
    Linked s;
    s.pedal.changeAlgorithm(11);
    s.pedal.output().clear();

    const Bytes fromWindow = s.ask(answer, [&] { s.main.btnOpenEffect->click(); });
    QCOMPARE(s.editor.dialogs->messages.isEmpty(), accepted);
    QCOMPARE(s.editor->pedal().algorithm().number == 11, accepted);

    std::optional<core::Refusable<core::StoredEffectReply>> reply;
    const Bytes fromCommandLine = s.ask(answer, [&] {
        session::PedalLine line = s.editor->pedalLine();
        reply.emplace(session::queryStoredEffect(line));
    });
    QCOMPARE(reply->ok(), accepted);
    if (accepted) QCOMPARE((*reply)->effectNumber, 11u);
    QCOMPARE(fromCommandLine, fromWindow);
}

void OneConversationTest::uploadSendsWhatTheCommandLineSends() {
    Linked s;
    const QString name = s.editor->pedal().algorithm().name;
    s.editor.dialogs->answers = {true};
    const Bytes fromWindow = s.ask(Answer::Whole, [&] { s.main.btnUpload->click(); });
    QCOMPARE(s.main.lblStatus->text(), QStringLiteral("Uploading..."));

    const std::optional<QString> image = s.main.imageToUpload();
    QVERIFY(image.has_value());
    std::optional<core::Refusable<std::size_t>> confirmed;
    const Bytes fromCommandLine = s.ask(Answer::Whole, [&] {
        session::PedalLine line = s.editor->pedalLine();
        confirmed.emplace(session::uploadAndConfirm(line, image->toStdString(), core::UploadTarget::Preset, name));
    });
    QVERIFY2(confirmed->ok(), confirmed->reason().c_str());
    QCOMPARE(fromCommandLine, fromWindow);
    // Bypass on, then the whole image.
    QCOMPARE(Bytes(fromWindow.begin(), fromWindow.begin() + 2), Bytes({0x0D, 0x01}));
    QCOMPARE(fromWindow.size(), 2 + **confirmed);
}

QTEST_MAIN(OneConversationTest)
#include "test_one_conversation.moc"
