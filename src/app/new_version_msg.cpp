// The new-version notice window and what its buttons do.
#include "app/new_version_msg.h"

#include "app/editor.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "app/window_placement.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace qeltx::app {

namespace {
constexpr int kLeft = 450;
constexpr int kTop = 25;
constexpr int kWidth = 380;
constexpr int kHeight = 150;

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }
}  // namespace

TformNewVersionMsg::TformNewVersionMsg(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formNewVersionMsg"));
    setWindowTitle(QStringLiteral("New Version"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kWidth, kHeight);
    move(kLeft, kTop);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 12, kWidth - 16, 22);
    Label1->setAlignment(Qt::AlignCenter);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(11);
    arial.setBold(true);
    Label1->setFont(arial);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 44, kWidth - 16, 20);
    Label2->setAlignment(Qt::AlignCenter);

    btnLaunchUpdate = new QPushButton(QStringLiteral("Update Now"), this);
    btnLaunchUpdate->setObjectName(QStringLiteral("btnLaunchUpdate"));
    btnLaunchUpdate->setGeometry(40, 76, 140, 28);
    btnSeeWhatsNew = new QPushButton(QStringLiteral("What's New?"), this);
    btnSeeWhatsNew->setObjectName(QStringLiteral("btnSeeWhatsNew"));
    btnSeeWhatsNew->setGeometry(200, 76, 140, 28);
    chkDontShowAgain = new QCheckBox(QStringLiteral("Don't Show This Message Again"), this);
    chkDontShowAgain->setObjectName(QStringLiteral("CheckBox1"));
    chkDontShowAgain->setGeometry(40, 114, 300, 22);

    connect(btnLaunchUpdate, &QPushButton::clicked, this, editor_.guarded([this] { btnLaunchUpdateClick(); }));
    connect(btnSeeWhatsNew, &QPushButton::clicked, this, editor_.guarded([this] { btnSeeWhatsNewClick(); }));
    connect(chkDontShowAgain, &QCheckBox::toggled, this, editor_.guarded([this] { dontShowAgainToggled(); }));
}

void TformNewVersionMsg::showEvent(QShowEvent* event) {
    keepOnScreen(*this, editor_.formMain());
    editor_.guard([this] { FormShow(); });
    QWidget::showEvent(event);
}

void TformNewVersionMsg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TformNewVersionMsg::FormShow() {
    Label1->setText(QStringLiteral("A new version of the Qelt X Editor is available"));
    const QString& newest = editor_.formMain()->webVersion;
    // Without a known newer version the notice does not name an empty one.
    QString versions = QStringLiteral("Your version: ") + editor_.state.appVersion;
    if (!newest.isEmpty()) versions += QStringLiteral("     ") + QStringLiteral("New version: ") + newest;
    Label2->setText(versions);
}

void TformNewVersionMsg::btnLaunchUpdateClick() {
    const QString updater = QDir::toNativeSeparators(QDir(editor_.platform().programFolder()).filePath(kUpdaterProgram));
    if (!QFileInfo::exists(updater)) {
        // Without the updater the user updates by hand from the release notes; ending the
        // editor here would only lose the session.
        editor_.printToConsole(QStringLiteral("no updater at ") + updater + QStringLiteral(", opening the release notes"));
        btnSeeWhatsNewClick();
        return;
    }
    if (!editor_.dialogs().confirm(QStringLiteral(
            "This action will update the QELT X Editor to the latest version. Do you want to continue?"))) {
        return;
    }
    const QString download = QDir::toNativeSeparators(QDir(editor_.platform().tempFolder()).filePath(kUpdateDownload));
    const QString running = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    if (!editor_.platform().startElevated(updater, quoted(download) + QLatin1Char(' ') + quoted(running))) {
        editor_.dialogs().message(QStringLiteral("Failed to launch updater. Please run as administrator."), session::MessageKind::Error);
    }
    // It ends even when the start failed: the message asks the user to start it again as
    // administrator, and the updater must be able to replace the program file.
    QCoreApplication::quit();
}

void TformNewVersionMsg::btnSeeWhatsNewClick() {
    editor_.formMain()->OpenURL(editor_.serverAddress() + kWhatsNewPath);
}

void TformNewVersionMsg::dontShowAgainToggled() {
    if (!chkDontShowAgain->isChecked()) return;
    const QString notice = QDir(editor_.formMain()->productFolder()).filePath(kNoticeFile);
    // Only an existing file is changed; the choice counts from the next start.
    if (!QFile::exists(notice)) return;
    if (!writePreferenceText(notice, QStringLiteral("NO"))) {
        editor_.dialogs().message(QStringLiteral("Could not write ") + notice, session::MessageKind::Error);
    }
}

}  // namespace qeltx::app
