// What the editor benchmarks share: the real editor, headless, with real timing and the
// virtual pedal paced in real time at 115,200 baud; dialogs that answer Yes at once; a
// temporary documents folder; the process's processor time; medians and the figure line.
#pragma once

#include "app/editor.h"
#include "app/main_window.h"
#include "session/seams.h"
#include "pedal_sim/line_settings.h"
#include "pedal_sim/pedal_model.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qeltx::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// One byte of 8N1 at the pedal's rate: ten bits.
inline double byteWireMs() { return 1000.0 * 10.0 / pedal_sim::kPedalBaud; }

// Boxes a person would answer: every question gets Yes at once, except those that start with
// one of `declined`, and the moment the last one was answered is kept (an upload is timed from
// its confirmation).
struct AnsweredBoxes {
    int messages = 0;
    int errors = 0;
    QStringList lastMessages;
    QStringList declined;
    Clock::time_point lastConfirmation{};
};

class YesDialogs : public session::Dialogs {
public:
    explicit YesDialogs(std::shared_ptr<AnsweredBoxes> log) : log_(std::move(log)) {}
    void message(const QString& text, session::MessageKind) override {
        ++log_->messages;
        log_->lastMessages << text;
    }
    bool messageOffering(const QString& text, const QString&) override {
        message(text, session::MessageKind::Information);
        return false;
    }
    bool confirm(const QString& text) override {
        log_->lastConfirmation = Clock::now();
        for (const QString& start : std::as_const(log_->declined)) {
            if (text.startsWith(start)) return false;
        }
        return true;
    }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    void errorReport(const QString& text) override {
        ++log_->errors;
        log_->lastMessages << text;
    }

private:
    std::shared_ptr<AnsweredBoxes> log_;
};

// The desktop's folders, except documents in a temporary folder so runs start alike and
// leave nothing behind.
class TempDocuments : public session::Platform {
public:
    QString documentsFolder() override { return folder_.path(); }
    QString tempFolder() override { return folder_.path() + QStringLiteral("/tmp"); }
    QString programFolder() override { return QCoreApplication::applicationDirPath(); }
    bool openUrl(const QString&) override { return false; }
    bool startElevated(const QString&, const QString&) override { return false; }
    std::optional<QString> programVersion() override { return QStringLiteral("1.0.0.0"); }

private:
    QTemporaryDir folder_;
};

// The real editor with real timing (the seams a user meets, except the boxes and the
// documents folder), reaching only the in-process virtual pedal, paced in real time, or only
// the devices of `driver` (a serial port: qeltx-pedal-sim's pseudo-terminal).
struct BenchEditor {
    std::shared_ptr<AnsweredBoxes> boxes = std::make_shared<AnsweredBoxes>();
    std::unique_ptr<app::Editor> editor;

    explicit BenchEditor(std::unique_ptr<link::Driver> driver) {
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<YesDialogs>(boxes);
        setup.platform = std::make_unique<TempDocuments>();
        setup.driver = std::move(driver);
        setup.serverAddress = QStringLiteral("http://127.0.0.1:1");
        editor = std::make_unique<app::Editor>(std::move(setup));
        editor->start();
    }
    explicit BenchEditor(bool paced = true) {
        app::EditorSetup setup;
        setup.dialogs = std::make_unique<YesDialogs>(boxes);
        setup.platform = std::make_unique<TempDocuments>();
        setup.virtualPedal = true;
        setup.systemBackends = false;
        // Nothing answers there: the update check fails at once and quietly.
        setup.serverAddress = QStringLiteral("http://127.0.0.1:1");
        editor = std::make_unique<app::Editor>(std::move(setup));
        if (paced) {
            pedal().useRealTime();
            pedal().setPacing({pedal_sim::kPedalBaud, pedal_sim::kFtdiDefaultLatency});
        }
        editor->start();
    }
    app::Editor* operator->() { return editor.get(); }
    app::TformMain& main() { return *editor->formMain(); }
    pedal_sim::PedalModel& pedal() { return *editor->virtualPedal(); }

    // Chooses `name` in the browser's "Other" category as a user clicks it; false when it is not
    // listed there.
    bool chooseOtherAlgorithm(const QString& name) {
        main().lstOtherClick();
        QListWidget* list = main().lstEffects;
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text() != name) continue;
            list->setCurrentRow(i);
            main().effectListItemClicked(list->item(i));
            return true;
        }
        return false;
    }
    // Link as a user does, and let the windows settle.
    void link() {
        main().menuConnect->trigger();
        settle();
    }
    // Runs the event loop for `ms` (pending paints and layouts, timers).
    static void runEvents(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    static void settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    // Waits (outside the editor) until the pedal has taken `count` bytes in all, moving the
    // paced wire on by asking the driver for its queue, as any host call would. False after
    // `limitMs`.
    bool waitForPedalToHave(std::size_t count, double limitMs = 10000) {
        const auto start = Clock::now();
        for (;;) {
            editor->usb().GetFTDeviceQueueStatus();
            if (pedal().received().size() >= count) return true;
            if (msSince(start) > limitMs) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
};

// User plus system processor time of the whole process, in milliseconds.
inline double processorMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Processor time of the calling thread in milliseconds (exact, from the scheduler), and how
// often the system took the processor from it (on a loaded machine a timed step may include
// another program's turn).
struct ThreadTime {
    double cpuMs = 0;
    long preempted = 0;
};
inline ThreadTime threadTime() {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {cpu.tv_sec * 1000.0 + cpu.tv_nsec / 1e6, usage.ru_nivcsw};
}

// Processor time over wall time while `work` runs, in percent of one core.
inline double corePercentDuring(const std::function<void()>& work, double* wallMs = nullptr) {
    const double cpu0 = processorMs();
    const auto start = Clock::now();
    work();
    const double wall = msSince(start);
    const double cpu = processorMs() - cpu0;
    if (wallMs) *wallMs = wall;
    return wall > 0 ? 100.0 * cpu / wall : 0.0;
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto k = static_cast<std::size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(k, values.size() - 1)];
}

inline std::string list(const std::vector<double>& values, const char* format = "%.1f") {
    std::string out;
    char buffer[64];
    for (double v : values) {
        std::snprintf(buffer, sizeof buffer, format, v);
        if (!out.empty()) out += ' ';
        out += buffer;
    }
    return out;
}

// The last line the scripts show: the median, the goal and their ratio (under 1 meets it).
inline void printFigure(const char* what, double value, const char* unit, double goal) {
    std::printf("%s: median %.3f %s, goal under %.3f %s, ratio %.3f (%s)\n", what, value, unit, goal, unit,
                value / goal, value < goal ? "met" : "MISSED");
    std::fflush(stdout);
}

// Every benchmark runs headless.
inline void useOffscreenPlatform() { qputenv("QT_QPA_PLATFORM", "offscreen"); }

}  // namespace qeltx::bench
