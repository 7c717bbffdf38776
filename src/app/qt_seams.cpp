// Qt implementations of the dialogs, timing and platform seams.
#include "app/qt_seams.h"

#include "app/mnemonics.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace qeltx::app {

namespace {
const QString kTitle = QStringLiteral("Qelt X Editor");
}

void QtDialogs::message(const QString& text, session::MessageKind kind) {
    switch (kind) {
        case session::MessageKind::Information:
            QMessageBox::information(QApplication::activeWindow(), kTitle, text);
            break;
        case session::MessageKind::Warning:
            QMessageBox::warning(QApplication::activeWindow(), kTitle, text);
            break;
        case session::MessageKind::Error:
            QMessageBox::critical(QApplication::activeWindow(), kTitle, text);
            break;
    }
}

bool QtDialogs::messageOffering(const QString& text, const QString& action) {
    QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok, QApplication::activeWindow());
    QPushButton* offered = box.addButton(action, QMessageBox::ActionRole);
    offered->setObjectName(QStringLiteral("btnOffered"));
    box.exec();
    return box.clickedButton() == offered;
}

bool QtDialogs::confirm(const QString& text) {
    return QMessageBox::question(QApplication::activeWindow(), kTitle, text, QMessageBox::Yes | QMessageBox::No) !=
           QMessageBox::No;
}

int QtDialogs::choose(const QString& text, const QStringList& answers, int cancel) {
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::NoButton, QApplication::activeWindow());
    std::vector<QAbstractButton*> buttons;
    // A letter for each answer: in a message box it is chosen by that key alone.
    const QStringList captions = withMnemonics(answers);
    for (int i = 0; i < answers.size(); ++i) {
        // The role only places the button; which one was clicked is what counts.
        const auto role = i == cancel ? QMessageBox::RejectRole : QMessageBox::ActionRole;
        QPushButton* button = box.addButton(captions[i], role);
        button->setObjectName(QStringLiteral("btnAnswer%1").arg(i));
        buttons.push_back(button);
    }
    if (cancel >= 0 && cancel < answers.size()) box.setEscapeButton(buttons[static_cast<std::size_t>(cancel)]);
    if (!buttons.empty()) box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? cancel : static_cast<int>(chosen - buttons.begin());
}

QString QtDialogs::openFile(const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, filter);
}

QString QtDialogs::openFileDescribed(const QString& title, const QString& folder, const QString& filter,
                                     const std::function<QString(const QString&)>& describe) {
    QFileDialog dialog(QApplication::activeWindow(), title, folder, filter);
    dialog.setObjectName(QStringLiteral("openFileDescribed"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The platforms' own dialogs take no extra line; Qt's own one does, the same everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // A name typed without its extension finds the file, as the platforms' dialogs do.
    const QRegularExpressionMatch pattern = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    if (pattern.hasMatch()) dialog.setDefaultSuffix(pattern.captured(1));
    auto* description = new QLabel(&dialog);
    description->setObjectName(QStringLiteral("lblFileDescription"));
    description->setWordWrap(true);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(description, grid->rowCount(), 0, 1, grid->columnCount());
    } else if (dialog.layout()) {
        dialog.layout()->addWidget(description);
    }
    QObject::connect(&dialog, &QFileDialog::currentChanged, description, [description, &describe](const QString& path) {
        description->setText(QFileInfo(path).isFile() ? describe(path) : QString());
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QString QtDialogs::saveFile(const QString& title, const QString& folder, const QString& filter) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder, filter);
}

void QtDialogs::errorReport(const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), kTitle, text);
}

void RealTiming::pause(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

RealTiming::RealTiming() { clock_.start(); }

void RealTiming::processEvents(int ms) {
    // Only conversations with the pedal wait here. Repaints, timers and the serial port's
    // notifiers run; clicks and keys wait in the queue until the conversation has ended, so
    // none of them can act in the middle of it. Sleeping keeps the wait off the processor.
    constexpr auto kNoUserInput = QEventLoop::ExcludeUserInputEvents;
    if (ms > 0) {
        QCoreApplication::processEvents(kNoUserInput);
        QThread::msleep(static_cast<unsigned long>(ms));
    }
    QCoreApplication::processEvents(kNoUserInput);
}

void RealTiming::waitFor(int ms, const std::function<void(int)>& wake) {
    processEvents(0);
    wake(ms);
}

void RealTiming::block(int ms, const std::function<void(int)>& wake) { wake(ms); }

qint64 RealTiming::nowMs() {
    // Monotonic: a step of the wall clock neither stretches nor cuts a wait.
    return clock_.elapsed();
}

QString DesktopPlatform::documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString DesktopPlatform::tempFolder() { return QDir::tempPath(); }

QString DesktopPlatform::programFolder() { return QCoreApplication::applicationDirPath(); }

bool DesktopPlatform::openUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

bool DesktopPlatform::startElevated(const QString& program, const QString& parameters) {
#ifdef Q_OS_WIN
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"runas",
        reinterpret_cast<LPCWSTR>(program.utf16()), reinterpret_cast<LPCWSTR>(parameters.utf16()), nullptr,
        SW_SHOWNORMAL));
    return result > 32;
#else
    return QProcess::startDetached(program, QProcess::splitCommand(parameters));
#endif
}

std::optional<QString> DesktopPlatform::programVersion() {
    const QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty()) return std::nullopt;
    return version;
}

}  // namespace qeltx::app
