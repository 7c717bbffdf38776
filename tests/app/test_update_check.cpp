// The once-per-run version check against a local web server: the Info menu, the notice window,
// its buttons and the notice preference; replies that are errors, junk or never come.
#include "app/main_window.h"
#include "app/new_version_msg.h"
#include "app/print_console.h"
#include "app/qt_network.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QScreen>
#include <QtTest>

using namespace qeltx;

namespace {

// A web server on the loopback interface that answers every GET with one reply, or never.
class LocalWebServer : public QObject {
public:
    int status = 200;
    QByteArray reason = "OK";
    QByteArray body;
    bool silent = false;
    QStringList requestLines;

    LocalWebServer() {
        QVERIFY(server_.listen(QHostAddress::LocalHost, 0));
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
        });
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

private:
    void serve(QTcpSocket* socket) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& request = pending_[socket];
            request += socket->readAll();
            if (!request.contains("\r\n\r\n")) return;
            requestLines << QString::fromLatin1(request.left(request.indexOf("\r\n")));
            if (silent) return;
            socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: text/plain\r\n" +
                          "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
    QTcpServer server_;
    std::map<QTcpSocket*, QByteArray> pending_;
};

// A platform where the user declines the elevation prompt.
class ElevationRefused : public testing::TempPlatform {
public:
    using TempPlatform::TempPlatform;
    bool startElevated(const QString& program, const QString& parameters) override {
        TempPlatform::startElevated(program, parameters);
        return false;
    }
};

// An editor on test seams that asks `serverAddress` with the real network client.
struct UpdateEditor {
    std::shared_ptr<testing::DialogLog> dialogs = std::make_shared<testing::DialogLog>();
    std::shared_ptr<testing::PlatformLog> platform = std::make_shared<testing::PlatformLog>();
    std::unique_ptr<app::Editor> editor;

    explicit UpdateEditor(const QString& serverAddress, const QString& ownVersion = QStringLiteral("1.0.0.0"),
                          const QString& noticeFile = {}, int timeLimitMs = app::kRequestTimeLimitMs,
                          bool elevationRefused = false) {
        platform->version = ownVersion;
        if (!noticeFile.isEmpty()) {
            const QString folder = platform->documents.filePath(QStringLiteral("KORVA/Qelt X"));
            QDir().mkpath(folder);
            QFile file(folder + QStringLiteral("/ShowMessageVersionAtStartup.txt"));
            if (file.open(QIODevice::WriteOnly)) file.write(noticeFile.toUtf8());
        }
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<testing::ScriptedDialogs>(dialogs);
        setup.timing = std::make_unique<testing::VirtualTiming>(std::make_shared<testing::Clock>());
        setup.platform = elevationRefused ? std::make_unique<ElevationRefused>(platform)
                                          : std::make_unique<testing::TempPlatform>(platform);
        setup.network = std::make_unique<app::QtNetwork>(timeLimitMs);
        setup.virtualPedal = true;
        setup.systemBackends = false;
        setup.serverAddress = serverAddress;
        editor = std::make_unique<app::Editor>(std::move(setup));
        editor->start();
    }
    app::TformMain& main() { return *editor->formMain(); }
    app::TformNewVersionMsg& notice() { return *editor->formNewVersionMsg(); }
    QString noticePath() const {
        return platform->documents.filePath(QStringLiteral("KORVA/Qelt X/ShowMessageVersionAtStartup.txt"));
    }
    QByteArray noticeFileContent() const {
        QFile file(noticePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

constexpr int kWaitMs = 15000;

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT
private slots:
    void checkShowsTheResult_data();
    void checkShowsTheResult();
    void errorStatusLeavesTheInfoMenu();
    void replyThatIsNoVersionIsAConversionError();
    void noAnswerEndsTheCheck_data();
    void noAnswerEndsTheCheck();
    void noticeButtonsWithoutUpdaterOpenTheReleaseNotes();
    void updaterStartsElevatedWithBothPaths_data();
    void updaterStartsElevatedWithBothPaths();
    void noticePreferenceIsWrittenOnlyWhenItsFileExists();
};

void UpdateCheckTest::checkShowsTheResult_data() {
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("preference");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<bool>("notice");
    const QString newer = QStringLiteral("New version available: ");
    const QString none = QStringLiteral("No update available");
    QTest::newRow("1.0.0.1 over 1.0.0.0") << QByteArray("1.0.0.1") << "1.0.0.0" << "YES" << newer + "1.0.0.1" << true;
    QTest::newRow("equal") << QByteArray("1.0.0.0") << "1.0.0.0" << "YES" << none << false;
    QTest::newRow("preference NO") << QByteArray("1.0.0.1") << "1.0.0.0" << "NO" << newer + "1.0.0.1" << false;
    QTest::newRow("line end after it") << QByteArray("1.0.0.1\r\n") << "1.0.0.0" << "" << newer + "1.0.0.1" << true;
    QTest::newRow("1.1 over 1.0.0.0") << QByteArray("1.1") << "1.0.0.0" << "" << newer + "1.1" << true;
    QTest::newRow("1.0.10.0 under 1.1.0.0") << QByteArray("1.0.10.0") << "1.1.0.0" << "" << none << false;
    QTest::newRow("older server") << QByteArray("0.9.9.9") << "1.0.0.0" << "" << none << false;
}

void UpdateCheckTest::checkShowsTheResult() {
    QFETCH(QByteArray, served);
    QFETCH(QString, own);
    QFETCH(QString, preference);
    QFETCH(QString, menu);
    QFETCH(bool, notice);
    LocalWebServer server;
    server.body = served;
    UpdateEditor e(server.address(), own, preference);
    QVERIFY(e.main().TimerCheckWebVersion.isActive());
    // Before the check there is no version to name and nothing to update to.
    QVERIFY(!e.main().menuNewAppVersion->isVisible());
    QVERIFY(!e.main().menuUpdateNow->isEnabled());

    // The timer's first tick, about a second after start-up, asks once.
    QTRY_COMPARE_WITH_TIMEOUT(e.main().menuNewAppVersion->text(), menu, kWaitMs);
    QVERIFY(!e.main().TimerCheckWebVersion.isActive());
    QCOMPARE(server.requestLines, QStringList{QStringLiteral("GET /download/qeltx/qelt-x-version.php HTTP/1.1")});
    QCOMPARE(e.main().menuUpdateNow->isEnabled(), menu.startsWith(QStringLiteral("New")));
    QVERIFY(e.main().menuNewAppVersion->isVisible());
    QCOMPARE(e.notice().isVisible(), notice);
    const QStringList lines = e.editor->formPrint()->lines();
    QVERIFY(lines.contains(QStringLiteral("currentAppVersion: ") + own));
    QVERIFY(lines.contains(QStringLiteral("newAppVersion: ") + QString::fromLatin1(served.trimmed())));
    QVERIFY(e.dialogs->messages.isEmpty());
    QVERIFY(e.dialogs->errors.isEmpty());
    // Turning the notice off for later runs does not hide what this run found.
    QVERIFY(e.editor->state.showUpdateMessage == (preference != QStringLiteral("NO")));
    if (notice) {
        QCOMPARE(e.notice().windowTitle(), QStringLiteral("New Version"));
        // At 450, 25, unless the screen is too narrow for that (the offscreen one is): then at
        // its right edge.
        const QRect area = e.notice().screen()->availableGeometry();
        const QRect frame = e.notice().frameGeometry();
        QCOMPARE(frame.top(), 25);
        QCOMPARE(frame.left(), 450 + frame.width() <= area.right() + 1 ? 450 : area.right() + 1 - frame.width());
        QCOMPARE(e.notice().Label1->text(), QStringLiteral("A new version of the Qelt X Editor is available"));
        QCOMPARE(e.notice().Label2->text(), QStringLiteral("Your version: ") + own + QStringLiteral("     New version: ") +
                                                QString::fromLatin1(served.trimmed()));
        // It closes with Escape, as a dialog does; other keys leave it.
        QTest::keyClick(&e.notice(), Qt::Key_A);
        QVERIFY(e.notice().isVisible());
        QTest::keyClick(&e.notice(), Qt::Key_Escape);
        QVERIFY(!e.notice().isVisible());
    }
}

void UpdateCheckTest::errorStatusLeavesTheInfoMenu() {
    LocalWebServer server;
    server.status = 404;
    server.reason = "Not Found";
    server.body = "<html><body>404</body></html>";
    UpdateEditor e(server.address());
    e.main().checkmostrecentversiononwebsite();
    QTRY_COMPARE_WITH_TIMEOUT(e.dialogs->messages, QStringList{QStringLiteral("Error: Not Found")}, kWaitMs);
    // No result: the Info menu names no version and offers no update.
    QVERIFY(!e.main().menuNewAppVersion->isVisible());
    QVERIFY(!e.main().menuUpdateNow->isEnabled());
    QVERIFY(e.main().webVersion.isEmpty());
    QVERIFY(!e.notice().isVisible());
    QVERIFY(e.dialogs->errors.isEmpty());
}

void UpdateCheckTest::replyThatIsNoVersionIsAConversionError() {
    LocalWebServer server;
    server.body = "1.0.0.1<br>";
    UpdateEditor e(server.address());
    e.main().checkmostrecentversiononwebsite();
    QTRY_COMPARE_WITH_TIMEOUT(e.dialogs->errors.size(), 1, kWaitMs);
    QVERIFY2(e.dialogs->errors.first().contains(QStringLiteral("1.0.0.1<br>")), qPrintable(e.dialogs->errors.first()));
    // No result: the Info menu names no version and offers no update.
    QVERIFY(!e.main().menuNewAppVersion->isVisible());
    QVERIFY(!e.main().menuUpdateNow->isEnabled());
    QVERIFY(!e.notice().isVisible());
}

void UpdateCheckTest::noAnswerEndsTheCheck_data() {
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("failure");
    QTest::newRow("server never answers") << true << "No answer from";
    QTest::newRow("nobody listening") << false << "refused";
}

void UpdateCheckTest::noAnswerEndsTheCheck() {
    QFETCH(bool, listening);
    QFETCH(QString, failure);
    QString address;
    auto server = std::make_unique<LocalWebServer>();
    server->silent = true;
    address = server->address();
    if (!listening) server.reset();  // the port is closed again
    UpdateEditor e(address, QStringLiteral("1.0.0.0"), {}, 300);
    e.main().checkmostrecentversiononwebsite();
    // The check does not wait for the server: the window goes on at once.
    QVERIFY(e.dialogs->errors.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(e.dialogs->errors.size(), 1, kWaitMs);
    QVERIFY2(e.dialogs->errors.first().contains(failure, Qt::CaseInsensitive), qPrintable(e.dialogs->errors.first()));
    // No result: the Info menu names no version and offers no update.
    QVERIFY(!e.main().menuNewAppVersion->isVisible());
    QVERIFY(!e.main().menuUpdateNow->isEnabled());
    QVERIFY(e.dialogs->messages.isEmpty());
    if (listening) QCOMPARE(server->requestLines.size(), 1);
}

void UpdateCheckTest::noticeButtonsWithoutUpdaterOpenTheReleaseNotes() {
    LocalWebServer server;
    server.body = "1.0.0.1";
    UpdateEditor e(server.address(), QStringLiteral("1.0.0.0"), QStringLiteral("NO"));
    e.main().checkmostrecentversiononwebsite();
    QTRY_VERIFY_WITH_TIMEOUT(e.main().menuNewAppVersion->text().endsWith(QStringLiteral("1.0.0.1")), kWaitMs);
    QVERIFY(!e.notice().isVisible());
    // The Info menu's "Update Now" brings up the notice.
    e.main().menuUpdateNow->trigger();
    QVERIFY(e.notice().isVisible());
    const QString releaseNotes = server.address() + QStringLiteral("/download/qeltx/update/whatsnew.html");
    e.notice().btnSeeWhatsNew->click();
    QCOMPARE(e.platform->openedUrls, QStringList{releaseNotes});
    // No updater beside the editor: the release notes instead, and the editor runs on.
    e.notice().btnLaunchUpdate->click();
    QCOMPARE(e.platform->openedUrls, (QStringList{releaseNotes, releaseNotes}));
    QVERIFY(e.dialogs->confirmations.isEmpty());
    QVERIFY(e.platform->startedPrograms.isEmpty());
    QVERIFY(e.main().isVisible());
}

void UpdateCheckTest::updaterStartsElevatedWithBothPaths_data() {
    QTest::addColumn<bool>("refused");
    QTest::newRow("started") << false;
    QTest::newRow("elevation refused") << true;
}

void UpdateCheckTest::updaterStartsElevatedWithBothPaths() {
    QFETCH(bool, refused);
    UpdateEditor e(QStringLiteral("http://127.0.0.1:1"), QStringLiteral("1.0.0.0"), {}, app::kRequestTimeLimitMs, refused);
    const QString programFolder = e.platform->documents.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(programFolder));
    const QString updater = QDir::toNativeSeparators(programFolder + QStringLiteral("/QELT_X_Win_Updater.exe"));
    QFile program(updater);
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();

    e.dialogs->answers = {false};
    e.notice().btnLaunchUpdate->click();
    QCOMPARE(e.dialogs->confirmations,
             QStringList{QStringLiteral(
                 "This action will update the QELT X Editor to the latest version. Do you want to continue?")});
    QVERIFY(e.platform->startedPrograms.isEmpty());

    e.notice().btnLaunchUpdate->click();
    const QString download =
        QDir::toNativeSeparators(e.platform->documents.filePath(QStringLiteral("tmp/QELT_X_Editor_Update.exe")));
    const QString running = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    QCOMPARE(e.platform->startedPrograms,
             QStringList{updater + QStringLiteral(" \"") + download + QStringLiteral("\" \"") + running + '"'});
    QCOMPARE(e.dialogs->messages,
             refused ? QStringList{QStringLiteral("Failed to launch updater. Please run as administrator.")} : QStringList{});
}

void UpdateCheckTest::noticePreferenceIsWrittenOnlyWhenItsFileExists() {
    UpdateEditor e(QStringLiteral("http://127.0.0.1:1"));
    QCOMPARE(e.noticeFileContent(), QByteArray("YES"));  // written by start-up
    QVERIFY(e.main().menuShowUpdateMsg->isChecked());

    e.main().menuShowUpdateMsg->trigger();
    QVERIFY(!e.main().menuShowUpdateMsg->isChecked());
    QCOMPARE(e.noticeFileContent(), QByteArray("NO"));
    e.main().menuShowUpdateMsg->trigger();
    QCOMPARE(e.noticeFileContent(), QByteArray("YES"));

    e.notice().chkDontShowAgain->click();
    QCOMPARE(e.noticeFileContent(), QByteArray("NO"));
    QVERIFY(e.main().menuShowUpdateMsg->isChecked());  // the menu is not told during the run
    e.notice().chkDontShowAgain->click();                    // clearing writes nothing
    QCOMPARE(e.noticeFileContent(), QByteArray("NO"));
    QVERIFY(e.editor->state.showUpdateMessage);       // both count from the next start

    QVERIFY(QFile::remove(e.noticePath()));
    e.main().menuShowUpdateMsg->trigger();
    e.notice().chkDontShowAgain->click();
    QCOMPARE(e.noticeFileContent(), QByteArray("<missing>"));
    QVERIFY(e.dialogs->messages.isEmpty());
}

QTEST_MAIN(UpdateCheckTest)
#include "test_update_check.moc"
