// The seams as a user meets them: Qt's boxes and dialogs, real sleeps, the desktop's folders.
#pragma once

#include "session/seams.h"

#include <QElapsedTimer>

class QWidget;

namespace qeltx::app {

class QtDialogs : public session::Dialogs {
public:
    void message(const QString& text, session::MessageKind kind) override;
    bool messageOffering(const QString& text, const QString& action) override;
    bool confirm(const QString& text) override;
    int choose(const QString& text, const QStringList& answers, int cancel) override;
    QString openFile(const QString& title, const QString& folder, const QString& filter) override;
    QString openFileDescribed(const QString& title, const QString& folder, const QString& filter,
                              const std::function<QString(const QString&)>& describe) override;
    QString saveFile(const QString& title, const QString& folder, const QString& filter) override;
    void errorReport(const QString& text) override;
};

class RealTiming : public session::Timing {
public:
    RealTiming();
    void pause(int ms) override;
    void processEvents(int ms) override;
    void waitFor(int ms, const std::function<void(int)>& wake) override;
    void block(int ms, const std::function<void(int)>& wake) override;
    qint64 nowMs() override;

private:
    QElapsedTimer clock_;
};

class DesktopPlatform : public session::Platform {
public:
    QString documentsFolder() override;
    QString tempFolder() override;
    QString programFolder() override;
    bool openUrl(const QString& url) override;
    bool startElevated(const QString& program, const QString& parameters) override;
    std::optional<QString> programVersion() override;
};

}  // namespace qeltx::app
