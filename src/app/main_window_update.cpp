// The once-per-run check for a newer editor and the Info menu's update entries.
#include "app/editor.h"
#include "app/main_window.h"
#include "app/new_version_msg.h"
#include "app/preferences.h"
#include "core/errors.h"
#include "core/versions.h"

#include <QAction>
#include <QDir>
#include <QFile>

#include <QUrl>

namespace qeltx::app {

namespace {
constexpr int kStatusOk = 200;
}

void TformMain::prepareUpdateCheck() {
    versionRequestAddress = editor_.serverAddress() + kVersionPath;
    connect(&TimerCheckWebVersion, &QTimer::timeout, this,
            editor_.guarded([this] { checkmostrecentversiononwebsite(); }, Editor::Source::TimerOrNetwork));
    connect(menuUpdateNow, &QAction::triggered, this, editor_.guarded([this] { menuUpdateNowClick(); }));
    connect(menuShowUpdateMsg, &QAction::triggered, this, editor_.guarded([this] { menuShowUpdateMsgClick(); }));
    // A build without the maker's server (the placeholder address) has nothing to ask:
    // asking would greet every start with a box saying the host does not exist.
    if (QUrl(editor_.serverAddress()).host().endsWith(QStringLiteral(".invalid"))) return;
    // Its first tick comes after start-up, when the console exists to log into.
    TimerCheckWebVersion.start();
}

void TformMain::checkmostrecentversiononwebsite() {
    TimerCheckWebVersion.stop();
    editor_.network().get(versionRequestAddress, [this](const HttpReply& reply) {
        // The answer may come while the editor talks to the pedal; its boxes wait for the end.
        editor_.whenIdle([this, reply] {
            if (reply.answered) {
                WebRequestCompleted(reply.statusCode, reply.statusText, reply.body);
            } else {
                versionRequestFailed(reply.failure);
            }
        });
    });
}

void TformMain::WebRequestCompleted(int statusCode, const QString& statusText, const QByteArray& body) {
    if (statusCode != kStatusOk) {
        // The Info menu keeps its start-up captions: there is nothing to compare.
        editor_.dialogs().message(QStringLiteral("Error: ") + statusText, session::MessageKind::Error);
        return;
    }
    // A server's trailing line break is not part of the version.
    webVersion = QString::fromUtf8(body).trimmed();
    editor_.printToConsole(QStringLiteral("currentAppVersion: ") + editor_.state.appVersion);
    editor_.printToConsole(QStringLiteral("newAppVersion: ") + webVersion);
    const auto newer = core::isNewerVersion(webVersion.toStdString(), editor_.state.appVersion.toStdString());
    if (!newer) throw core::ConversionError(newer.reason());
    menuNewAppVersion->setVisible(true);
    if (*newer) {
        menuNewAppVersion->setText(menuNewAppVersion->text() + QLatin1Char(' ') + webVersion);
        if (editor_.state.showUpdateMessage) editor_.formNewVersionMsg()->show();
        menuUpdateNow->setEnabled(true);
    } else {
        menuNewAppVersion->setText(QStringLiteral("No update available"));
        menuUpdateNow->setEnabled(false);
    }
}

void TformMain::versionRequestFailed(const QString& failure) {
    // Shown as any other error of a handler; there is no second try during the run.
    editor_.dialogs().errorReport(failure);
}

void TformMain::menuUpdateNowClick() {
    TformNewVersionMsg* notice = editor_.formNewVersionMsg();
    notice->show();
    notice->raise();
    notice->activateWindow();
}

void TformMain::menuShowUpdateMsgClick() {
    // The entry has already toggled its check mark. Only an existing file is changed, and
    // showUpdateMessage keeps its value: the choice counts from the next start.
    const QString notice = QDir(productFolder()).filePath(kNoticeFile);
    if (!QFile::exists(notice)) return;
    const QString word = menuShowUpdateMsg->isChecked() ? QStringLiteral("YES") : QStringLiteral("NO");
    if (!writePreferenceText(notice, word)) editor_.dialogs().message(QStringLiteral("Could not write ") + notice, session::MessageKind::Error);
}

}  // namespace qeltx::app
