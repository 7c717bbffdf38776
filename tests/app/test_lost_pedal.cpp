// The pedal unplugged in the middle of a conversation: the player hears of it once, in one box
// that says what the pedal may hold now; the driver's details go to the console; the editor is
// back in the unlinked state and links again once the pedal is back.
#include "app/main_window.h"
#include "app/print_console.h"
#include "link/forwarding_driver.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "session/lost_pedal.h"
#include "support/test_seams.h"

#include <QAction>
#include <QPushButton>
#include <QtTest>

#include <functional>

using namespace qeltx;

namespace {

// The virtual pedal behind a bridge whose cable can be pulled at a chosen write or read.
class UnpluggableBridge : public link::ForwardingDriver {
public:
    UnpluggableBridge() : ForwardingDriver(inner_) {}
    pedal_sim::PedalModel pedal;

    enum class Moment { BeforeWrite, AfterWrite, AfterFirstRead };
    // Counting writes from now: the cable goes at write `n` (1 = the next one).
    void arm(Moment moment, int n = 1) {
        moment_ = moment;
        writesLeft_ = n;
        armed_ = true;
    }

    core::FtStatus write(link::FtHandle h, const std::uint8_t* data, std::uint32_t count, std::uint32_t& n) override {
        const bool atThisWrite = armed_ && moment_ != Moment::AfterFirstRead && --writesLeft_ == 0;
        if (atThisWrite && moment_ == Moment::BeforeWrite) unplug();
        const auto status = ForwardingDriver::write(h, data, count, n);
        if (atThisWrite && moment_ == Moment::AfterWrite) unplug();
        return status;
    }
    core::FtStatus read(link::FtHandle h, std::uint8_t* buffer, std::uint32_t toRead, std::uint32_t& n) override {
        const auto status = ForwardingDriver::read(h, buffer, toRead, n);
        if (armed_ && moment_ == Moment::AfterFirstRead && n > 0) unplug();
        return status;
    }
    std::string backendName() const override { return "unpluggable"; }

private:
    void unplug() {
        armed_ = false;
        pedal.faults().offBus = true;
    }
    pedal_sim::VirtualPedalDriver inner_{pedal};
    Moment moment_ = Moment::BeforeWrite;
    int writesLeft_ = 0;
    bool armed_ = false;
};

struct Linked {
    UnpluggableBridge* bridge;
    testing::TestEditor editor;
    app::TformMain& main;
    explicit Linked(std::unique_ptr<UnpluggableBridge> owned = std::make_unique<UnpluggableBridge>())
        : bridge(owned.get()), editor(std::move(owned)), main(*editor->formMain()) {
        main.menuConnect->trigger();
        main.btnRequest->click();
    }
};

using Act = std::function<void(app::TformMain&)>;

}  // namespace

Q_DECLARE_METATYPE(Act)
Q_DECLARE_METATYPE(qeltx::session::ConversationKind)

class LostPedalTest : public QObject {
    Q_OBJECT
private slots:
    void lostMidConversationIsSaidOnce_data();
    void lostMidConversationIsSaidOnce();
};

void LostPedalTest::lostMidConversationIsSaidOnce_data() {
    using Moment = UnpluggableBridge::Moment;
    QTest::addColumn<int>("moment");
    QTest::addColumn<int>("write");
    QTest::addColumn<Act>("act");
    QTest::addColumn<session::ConversationKind>("during");
    QTest::addColumn<QString>("consequence");
    QTest::addColumn<QString>("driverDetail");

    const auto request = [](app::TformMain& m) { m.btnRequest->click(); };
    const auto upload = [](app::TformMain& m) { m.btnUpload->click(); };
    const auto query = [](app::TformMain& m) { m.btnOpenEffect->click(); };
    const auto store = [](app::TformMain& m) { m.btnStoreSettingsOnPedal->click(); };
    const auto assign = [](app::TformMain& m) { m.btnAssign->click(); };
    const QString nothing = QStringLiteral("nothing was changed");
    QTest::newRow("Request, answer never comes") << int(Moment::AfterWrite) << 1
                                                  << Act(request)
                                                  << session::ConversationKind::Request << nothing
                                                  << QStringLiteral("FT_GetQueueStatus");
    QTest::newRow("Request, answer cut short") << int(Moment::AfterFirstRead) << 0
                                               << Act(request)
                                               << session::ConversationKind::Request << nothing
                                               << QStringLiteral("FT_Purge");
    QTest::newRow("Request, command not written") << int(Moment::BeforeWrite) << 1
                                                  << Act(request)
                                                  << session::ConversationKind::Request << nothing
                                                  << QStringLiteral("FT_Write");
    QTest::newRow("Upload, after the bypass") << int(Moment::BeforeWrite) << 2
                                              << Act(upload)
                                              << session::ConversationKind::Upload
                                              << QStringLiteral("the pedal may hold part of the algorithm: upload it again")
                                              << QStringLiteral("FT_Write");
    QTest::newRow("query") << int(Moment::AfterWrite) << 1 << Act(query)
                           << session::ConversationKind::Query << nothing << QStringLiteral("FT_GetQueueStatus");
    QTest::newRow("Store Settings") << int(Moment::BeforeWrite) << 1 << Act(store)
                                    << session::ConversationKind::StoreSettings
                                    << QStringLiteral("store them again") << QStringLiteral("FT_Write");
    QTest::newRow("Assign") << int(Moment::BeforeWrite) << 1 << Act(assign)
                            << session::ConversationKind::Assign << QStringLiteral("assign them again")
                            << QStringLiteral("FT_Write");
}

void LostPedalTest::lostMidConversationIsSaidOnce() {
    QFETCH(int, moment);
    QFETCH(int, write);
    QFETCH(Act, act);
    QFETCH(session::ConversationKind, during);
    QFETCH(QString, consequence);
    QFETCH(QString, driverDetail);

    Linked s;
    QVERIFY(s.main.btnStoreSettingsOnPedal->isEnabled());
    // A short answer: the pedal's reply reaches the editor a few bytes at a time.
    s.bridge->pedal.faults().splitReadsAt = 24;
    s.editor.dialogs->messages.clear();
    const qsizetype linesBefore = s.editor->formPrint()->lines().size();
    s.bridge->arm(static_cast<UnpluggableBridge::Moment>(moment), write);
    act(s.main);
    QVERIFY(s.bridge->pedal.faults().offBus);

    const QString expected = session::lostPedalMessage(during);
    QVERIFY2(expected.contains(consequence), qPrintable(expected));
    QCOMPARE(s.editor.dialogs->messages, QStringList{expected});
    QVERIFY(s.editor.dialogs->errors.isEmpty());
    const QString console = s.editor->formPrint()->lines().mid(linesBefore).join(QLatin1Char('\n'));
    QVERIFY2(console.contains(driverDetail), qPrintable(console));
    QVERIFY(console.contains(expected));
    // Back to the unlinked state, the poll stopped.
    QVERIFY(s.main.menuConnect->isEnabled());
    QVERIFY(!s.main.btnRequest->isEnabled());
    QVERIFY(!s.main.Timer_USB_read.isActive());

    // Plugged in again: Link works as before, with nothing more to say.
    s.bridge->pedal.faults().offBus = false;
    s.bridge->pedal.faults().splitReadsAt = 0;
    s.editor.dialogs->messages.clear();
    s.main.menuConnect->trigger();
    QVERIFY(s.main.menuDisconnect->isEnabled());
    QVERIFY2(s.editor.dialogs->messages.isEmpty(), qPrintable(s.editor.dialogs->messages.join(QLatin1Char('|'))));
}

QTEST_MAIN(LostPedalTest)
#include "test_lost_pedal.moc"
