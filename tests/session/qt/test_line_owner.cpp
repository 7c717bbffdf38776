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

QTEST_GUILESS_MAIN(LineOwnerTest)
#include "test_line_owner.moc"
