// The owner of the pedal's line: which starts are granted, which are refused and told, what
// the poll does around a conversation, and what waits for its end.
#include "session/line_owner.h"

#include <QtTest>

#include <functional>
#include <vector>

using namespace qeltx;
using session::ConversationKind;

namespace {

// Virtual time whose next dispatch can run something, as a click that arrives during a wait.
class ScriptedTiming : public session::Timing {
public:
    std::function<void()> atNextDispatch;
    int dispatches = 0;
    void pause(int) override {}
    void processEvents(int) override {
        ++dispatches;
        if (auto action = std::exchange(atNextDispatch, nullptr)) action();
    }
    qint64 nowMs() override { return dispatches; }
};

// A clock the test moves by hand; notes when window events ran and what the driver's wait got.
class FrameTiming : public session::Timing {
public:
    qint64 now = 1000;
    int eventRuns = 0;
    void pause(int) override {}
    void processEvents(int) override { ++eventRuns; }
    void waitFor(int ms, const std::function<void(int)>& wake) override {
        ++eventRuns;
        wake(ms);
    }
    void block(int ms, const std::function<void(int)>& wake) override { wake(ms); }
    qint64 nowMs() override { return now; }
};

}  // namespace

class LineOwnerTest : public QObject {
    Q_OBJECT
private slots:
    void partsOfAConversationAreGranted();
    void startsFromInsideAWaitAreRefusedAndTold();
    void pollAroundAConversation_data();
    void pollAroundAConversation();
    void pollStartedInsideDoesNotTickDuringAWait();
    void idleWorkWaitsForTheEnd();
    void busySignalsOnlyForConversationsThatWait();
    void waitsForBytesLetTheWindowRunOnceAFrame();
};

void LineOwnerTest::partsOfAConversationAreGranted() {
    ScriptedTiming timing;
    session::LineOwner line(timing);
    QVERIFY(!line.busy());
    {
        const auto link = line.begin(ConversationKind::Link);
        QVERIFY(static_cast<bool>(link));
        {
            // Link's own query, not started from inside a wait: a part of Link.
            const auto query = line.begin(ConversationKind::Query);
            QVERIFY(static_cast<bool>(query));
            QCOMPARE(line.running(), ConversationKind::Link);
        }
        QVERIFY(line.busy());
        QCOMPARE(line.running(), ConversationKind::Link);
    }
    QVERIFY(!line.busy());
    const auto again = line.begin(ConversationKind::Upload);
    QVERIFY(static_cast<bool>(again));
    QCOMPARE(line.running(), ConversationKind::Upload);
}

void LineOwnerTest::startsFromInsideAWaitAreRefusedAndTold() {
    ScriptedTiming timing;
    session::LineOwner line(timing);
    std::vector<std::pair<ConversationKind, ConversationKind>> refusals;
    line.onRefused = [&](ConversationKind running, ConversationKind refused) { refusals.emplace_back(running, refused); };
    bool granted = true;
    bool insideWait = false;
    {
        const auto request = line.begin(ConversationKind::Request);
        timing.atNextDispatch = [&] {
            insideWait = line.insideWait();
            const auto second = line.begin(ConversationKind::Query);
            granted = static_cast<bool>(second);
        };
        line.dispatch(1);
        QVERIFY(!line.insideWait());
        // The refused start changed nothing: Request still runs.
        QCOMPARE(line.running(), ConversationKind::Request);
    }
    QVERIFY(insideWait);
    QVERIFY(!granted);
    QCOMPARE(refusals.size(), std::size_t{1});
    QCOMPARE(refusals[0].first, ConversationKind::Request);
    QCOMPARE(refusals[0].second, ConversationKind::Query);
    QVERIFY(!line.busy());

    // Without a conversation, a dispatch refuses nothing.
    timing.atNextDispatch = [&] {
        const auto link = line.begin(ConversationKind::Link);
        granted = static_cast<bool>(link);
    };
    line.dispatch(0);
    QVERIFY(granted);
    QCOMPARE(refusals.size(), std::size_t{1});
}

void LineOwnerTest::pollAroundAConversation_data() {
    QTest::addColumn<bool>("runningBefore");
    QTest::addColumn<int>("wanted");  // -1: no pollWanted, 0: false, 1: true
    QTest::addColumn<bool>("runningAfter");
    QTest::newRow("as it was: running") << true << -1 << true;
    QTest::newRow("as it was: stopped") << false << -1 << false;
    QTest::newRow("wanted after Link") << false << 1 << true;
    QTest::newRow("not wanted after Unlink") << true << 0 << false;
    QTest::newRow("wanted, running") << true << 1 << true;
}

void LineOwnerTest::pollAroundAConversation() {
    QFETCH(bool, runningBefore);
    QFETCH(int, wanted);
    QFETCH(bool, runningAfter);
    ScriptedTiming timing;
    session::LineOwner line(timing);
    QTimer poll;
    poll.setInterval(20);
    line.poll = &poll;
    if (wanted >= 0) line.pollWanted = [wanted] { return wanted == 1; };
    if (runningBefore) poll.start();
    {
        const auto talk = line.begin(ConversationKind::Request);
        QVERIFY(!poll.isActive());
        {
            const auto part = line.begin(ConversationKind::LiveEdit);
        }
        QVERIFY(!poll.isActive());  // a part's end is not the conversation's
        line.dispatch(1);
        QVERIFY(!poll.isActive());
    }
    QCOMPARE(poll.isActive(), runningAfter);
}

void LineOwnerTest::pollStartedInsideDoesNotTickDuringAWait() {
    ScriptedTiming timing;
    session::LineOwner line(timing);
    QTimer poll;
    line.poll = &poll;
    line.pollWanted = [] { return true; };
    bool activeDuringWait = true;
    {
        const auto talk = line.begin(ConversationKind::Link);
        poll.start();  // code inside the conversation starting the poll early
        timing.atNextDispatch = [&] { activeDuringWait = poll.isActive(); };
        line.dispatch(1);
    }
    QVERIFY(!activeDuringWait);
    QVERIFY(poll.isActive());
}

void LineOwnerTest::idleWorkWaitsForTheEnd() {
    ScriptedTiming timing;
    session::LineOwner line(timing);
    QStringList done;
    line.whenIdle([&] { done << "at once"; });
    QCOMPARE(done, QStringList{"at once"});
    {
        const auto talk = line.begin(ConversationKind::Upload);
        line.whenIdle([&] { done << "first"; });
        line.whenIdle([&] {
            // Work run at the end may talk to the pedal itself; what follows waits for it.
            const auto own = line.begin(ConversationKind::Query);
            done << (own ? "second, granted" : "second, refused");
            line.whenIdle([&] { done << "third"; });
        });
        QCOMPARE(done.size(), 1);
    }
    QCOMPARE(done, (QStringList{"at once", "first", "second, granted", "third"}));
    QVERIFY(!line.busy());
}

void LineOwnerTest::busySignalsOnlyForConversationsThatWait() {
    ScriptedTiming timing;
    session::LineOwner line(timing);
    QStringList events;
    line.onWaiting = [&](ConversationKind k) { events << "waiting " + session::conversationName(k); };
    line.onEnded = [&](ConversationKind k) { events << "ended " + session::conversationName(k); };
    {
        const auto live = line.begin(ConversationKind::LiveEdit);
    }
    QVERIFY(events.isEmpty());
    {
        const auto request = line.begin(ConversationKind::Request);
        line.dispatch(0);
        line.dispatch(1);
    }
    QCOMPARE(events, (QStringList{"waiting Request", "ended Request"}));
}

// Waits for the pedal's bytes run the window's events when a frame (16 ms) has passed since
// they last ran, not at every wait, and the driver's wait ends when the next frame is due:
// short exchanges do not each run events, and a wait is not cut just before its answer.
void LineOwnerTest::waitsForBytesLetTheWindowRunOnceAFrame() {
    struct Step {
        const char* what;
        qint64 after;  // ms since the step before
        int asked;     // the wait's own limit
        bool events;   // whether the window's events run first
        int blocks;    // what the driver's wait is given
    };
    const Step steps[] = {
        {"the first wait runs events", 0, 2000, true, 16},
        {"a wait 5 ms later only blocks, up to the next frame", 5, 2000, false, 11},
        {"its own limit when shorter", 3, 4, false, 4},
        {"nothing left to wait for", 0, 0, false, 0},
        {"a frame after the last events, events again", 8, 2000, true, 16},
        {"a long pause of the line, events at once", 400, 30, true, 16},
        {"a limit shorter than the frame after events", 16, 7, true, 7},
    };
    FrameTiming timing;
    session::LineOwner line(timing);
    const auto talk = line.begin(ConversationKind::Flashing);
    for (const Step& step : steps) {
        timing.now += step.after;
        const int eventsBefore = timing.eventRuns;
        int given = -1;
        line.dispatch(step.asked, [&](int ms) { given = ms; });
        QVERIFY2((timing.eventRuns > eventsBefore) == step.events, step.what);
        QVERIFY2(given == step.blocks, qPrintable(QStringLiteral("%1: blocked %2 ms").arg(QLatin1String(step.what)).arg(given)));
    }
    // A plain dispatch (a pause that lets the window run) counts as a frame too.
    timing.now += 20;
    line.dispatch(0);
    const int eventsBefore = timing.eventRuns;
    timing.now += 1;
    line.dispatch(2000, [](int) {});
    QCOMPARE(timing.eventRuns, eventsBefore);
}

QTEST_GUILESS_MAIN(LineOwnerTest)
#include "test_line_owner.moc"
