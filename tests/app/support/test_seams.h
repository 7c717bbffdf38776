// Test stand-ins for the editor's seams: dialogs that record and answer from a queue,
// virtual time, a temporary documents folder, and a driver listing chosen devices.
#pragma once

#include "app/editor.h"
#include "app/firmware_upgrade.h"
#include "app/main_window.h"
#include "pedal_sim/pedal_model.h"
#include "session/seams.h"
#include "link/driver.h"

#include <QAction>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qeltx::testing {

// A user action run at the next point where the editor lets window events run in the middle of
// its work: the first event dispatch of a wait, or a box it shows (where a click could reach
// another window). Run once, then cleared.
struct WaitHook {
    std::function<void()> action;
    int ran = 0;
    void fire() {
        if (!action) return;
        auto once = std::exchange(action, nullptr);
        ++ran;
        once();
    }
};

struct DialogLog {
    QStringList messages;
    QList<session::MessageKind> messageKinds;  // the icon of each of `messages`
    QStringList errors;
    QStringList confirmations;
    std::deque<bool> answers;       // Yes/No answers, Yes when empty
    std::deque<QString> fileNames;  // answers of open/save dialogs, cancel when empty
    QStringList questions;          // the texts of choose() boxes
    QList<QStringList> questionAnswers;  // and the answers each offered
    std::deque<QString> chosen;     // the answer (by its caption) to choose; cancel when empty
    std::deque<bool> offersTaken;   // whether the offered button of a message is chosen, OK when empty
    // What the last described open dialog would say of a file under the cursor.
    std::function<QString(const QString&)> describe;
};

class ScriptedDialogs : public session::Dialogs {
public:
    explicit ScriptedDialogs(std::shared_ptr<DialogLog> log, std::shared_ptr<WaitHook> hook = nullptr)
        : log_(std::move(log)), hook_(std::move(hook)) {}
    void message(const QString& text, session::MessageKind kind) override {
        if (hook_) hook_->fire();
        log_->messages << text;
        log_->messageKinds << kind;
    }
    bool messageOffering(const QString& text, const QString&) override {
        if (hook_) hook_->fire();
        log_->messages << text;
        log_->messageKinds << session::MessageKind::Information;
        if (log_->offersTaken.empty()) return false;
        const bool taken = log_->offersTaken.front();
        log_->offersTaken.pop_front();
        return taken;
    }
    bool confirm(const QString& text) override {
        if (hook_) hook_->fire();
        log_->confirmations << text;
        if (log_->answers.empty()) return true;
        const bool answer = log_->answers.front();
        log_->answers.pop_front();
        return answer;
    }
    int choose(const QString& text, const QStringList& answers, int cancel) override {
        if (hook_) hook_->fire();
        log_->questions << text;
        log_->questionAnswers << answers;
        if (log_->chosen.empty()) return cancel;
        const QString answer = log_->chosen.front();
        log_->chosen.pop_front();
        const auto index = answers.indexOf(answer);
        return index < 0 ? cancel : static_cast<int>(index);
    }
    QString openFile(const QString&, const QString&, const QString&) override { return nextFile(); }
    QString openFileDescribed(const QString&, const QString&, const QString&,
                              const std::function<QString(const QString&)>& describe) override {
        log_->describe = describe;
        return nextFile();
    }
    QString saveFile(const QString&, const QString&, const QString&) override { return nextFile(); }
    void errorReport(const QString& text) override { log_->errors << text; }

private:
    QString nextFile() {
        if (log_->fileNames.empty()) return {};
        QString name = log_->fileNames.front();
        log_->fileNames.pop_front();
        return name;
    }
    std::shared_ptr<DialogLog> log_;
    std::shared_ptr<WaitHook> hook_;
};

struct Clock {
    qint64 now = 0;
    qint64 paused = 0;
};

class VirtualTiming : public session::Timing {
public:
    explicit VirtualTiming(std::shared_ptr<Clock> clock, std::shared_ptr<WaitHook> hook = nullptr)
        : clock_(std::move(clock)), hook_(std::move(hook)) {}
    void pause(int ms) override {
        clock_->now += ms;
        clock_->paused += ms;
    }
    void processEvents(int ms) override {
        clock_->now += ms > 0 ? ms : 1;
        if (hook_) hook_->fire();
    }
    qint64 nowMs() override { return clock_->now; }

private:
    std::shared_ptr<Clock> clock_;
    std::shared_ptr<WaitHook> hook_;
};

struct PlatformLog {
    QTemporaryDir documents;
    QStringList openedUrls;
    QStringList startedPrograms;
    std::optional<QString> version = QStringLiteral("1.0.0.0");
};

class TempPlatform : public session::Platform {
public:
    explicit TempPlatform(std::shared_ptr<PlatformLog> log) : log_(std::move(log)) {}
    QString documentsFolder() override { return log_->documents.path(); }
    QString tempFolder() override { return log_->documents.path() + QStringLiteral("/tmp"); }
    QString programFolder() override { return log_->documents.path() + QStringLiteral("/program"); }
    bool openUrl(const QString& url) override {
        log_->openedUrls << url;
        return true;
    }
    bool startElevated(const QString& program, const QString& parameters) override {
        log_->startedPrograms << program + QLatin1Char(' ') + parameters;
        return true;
    }
    std::optional<QString> programVersion() override { return log_->version; }

private:
    std::shared_ptr<PlatformLog> log_;
};

// Lists the devices a test names; opening succeeds for the serial numbers it allows.
class ListingDriver : public link::Driver {
public:
    struct Device {
        std::string serial;
        std::string description;
        bool opens = true;
    };
    std::vector<Device> devices;
    std::vector<std::string> openAttempts;
    link::FtHandle open = 0;

    core::FtStatus listDeviceCount(std::uint32_t& count) override {
        count = static_cast<std::uint32_t>(devices.size());
        return core::FT_OK;
    }
    core::FtStatus listSerialNumber(std::uint32_t index, std::string& serial) override {
        if (index >= devices.size()) return core::FT_DEVICE_NOT_FOUND;
        serial = devices[index].serial;
        return core::FT_OK;
    }
    core::FtStatus listDescription(std::uint32_t index, std::string& description) override {
        if (index >= devices.size()) return core::FT_DEVICE_NOT_FOUND;
        description = devices[index].description;
        return core::FT_OK;
    }
    core::FtStatus openBySerialNumber(const std::string& serial, link::FtHandle& handle) override {
        openAttempts.push_back(serial);
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].serial == serial && devices[i].opens) {
                handle = open = static_cast<link::FtHandle>(i + 1);
                return core::FT_OK;
            }
        }
        return core::FT_DEVICE_NOT_FOUND;
    }
    core::FtStatus close(link::FtHandle handle) override {
        if (handle == 0 || handle != open) return core::FT_INVALID_HANDLE;
        open = 0;
        return core::FT_OK;
    }
    core::FtStatus setBaudRate(link::FtHandle h, std::uint32_t) override { return check(h); }
    core::FtStatus setDataCharacteristics(link::FtHandle h, std::uint8_t, std::uint8_t, std::uint8_t) override {
        return check(h);
    }
    core::FtStatus getQueueStatus(link::FtHandle h, std::uint32_t& rx) override {
        rx = 0;
        return check(h);
    }
    core::FtStatus waitForQueue(link::FtHandle h, std::uint32_t, std::uint32_t& rx) override {
        return getQueueStatus(h, rx);
    }
    core::FtStatus read(link::FtHandle h, std::uint8_t*, std::uint32_t, std::uint32_t& n) override {
        n = 0;
        return check(h);
    }
    core::FtStatus write(link::FtHandle h, const std::uint8_t*, std::uint32_t count, std::uint32_t& n) override {
        n = count;
        return check(h);
    }
    core::FtStatus purge(link::FtHandle h, std::uint32_t) override { return check(h); }
    std::string lastOpenProblem() const override { return problem; }
    std::string backendName() const override { return "listing"; }
    std::string problem;

private:
    core::FtStatus check(link::FtHandle h) const { return h != 0 && h == open ? core::FT_OK : core::FT_INVALID_HANDLE; }
};

// A fresh editor on test seams; the driver is the caller's (or the virtual pedal).
struct TestEditor {
    std::shared_ptr<DialogLog> dialogs = std::make_shared<DialogLog>();
    std::shared_ptr<Clock> clock = std::make_shared<Clock>();
    std::shared_ptr<PlatformLog> platform = std::make_shared<PlatformLog>();
    // Set `duringWait->action` to act as the user in the middle of the editor's next wait.
    std::shared_ptr<WaitHook> duringWait = std::make_shared<WaitHook>();
    std::unique_ptr<app::Editor> editor;

    // `prepare` runs on the documents folder before start-up reads it.
    explicit TestEditor(std::unique_ptr<link::Driver> driver = nullptr, bool virtualPedal = false,
                        const std::function<void(const QString&)>& prepare = {}) {
        if (prepare) prepare(platform->documents.path());
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<ScriptedDialogs>(dialogs, duringWait);
        setup.timing = std::make_unique<VirtualTiming>(clock, duringWait);
        setup.platform = std::make_unique<TempPlatform>(platform);
        setup.driver = std::move(driver);
        setup.virtualPedal = virtualPedal || !setup.driver;
        setup.systemBackends = false;
        setup.serverAddress = QStringLiteral("http://127.0.0.1:1");
        editor = std::make_unique<app::Editor>(std::move(setup));
        editor->start();
    }
    app::Editor& operator*() { return *editor; }
    app::Editor* operator->() { return editor.get(); }
};

// A firmware image of `size` bytes, byte i being i * step.
inline QByteArray firmwareImage(int size, int step) {
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i) image[i] = static_cast<char>(i * step);
    return image;
}

// With the editor linked to the virtual pedal: Upgrade Mode entered as a player does (B2 held
// while answering Yes), the firmware upgrade window opened and `image` chosen in it (written to
// `name` in the documents folder). The window's Upgrade button then flashes it. False when the
// image could not be written or chosen.
inline bool chooseFirmwareInUpgradeMode(TestEditor& editor, const QByteArray& image, const QString& name) {
    app::TformMain& main = *editor->formMain();
    pedal_sim::PedalModel& pedal = *editor->virtualPedal();
    pedal.setButton(pedal_sim::control::kB2, true);
    main.menuFirmwareUpgradeMode->trigger();
    pedal.setButton(pedal_sim::control::kB2, false);
    main.menuStartFirmwareUpgrade->trigger();
    const QString path = editor.platform->documents.path() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) return false;
    file.close();
    return editor->formFirmwareUpgrade()->addFirmwareFile(path);
}

}  // namespace qeltx::testing
