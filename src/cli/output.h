// Where qeltx-cli writes: the result on standard output (text lines, or one JSON document with
// --json), the editor's console lines on standard error with --verbose, and the one line that
// says why a command failed.
#pragma once

#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <deque>
#include <functional>

namespace qeltx::cli {

class Output {
public:
    Output(bool json, bool verbose) : json_(json), verbose_(verbose) {}

    bool json() const { return json_; }
    bool verbose() const { return verbose_; }

    // One console line of the editor (printToConsole), shown with --verbose.
    void log(const QString& line) const;
    // From now on keeps the last `count` console lines (the support report's), --verbose or not.
    void keepLines(std::size_t count) { keep_ = count; }
    const std::deque<QString>& keptLines() const { return kept_; }
    std::function<void(const QString&)> logSink() const {
        return [this](const QString& line) { log(line); };
    }

    // A line of the human-readable result; nothing with --json.
    void line(const QString& text) const;
    // The machine-readable result; nothing without --json.
    void result(const QJsonObject& object) const;
    // A line on standard error whatever the options (warnings, progress).
    void note(const QString& text) const;

    // "qeltx-cli: <message>" on standard error; returns kExitFailure.
    int fail(const QString& message) const;
    // The same for a wrong command line or argument; returns kExitUsage.
    int usage(const QString& message) const;

private:
    bool json_;
    bool verbose_;
    std::size_t keep_ = 0;
    // Logging is not a change of what the output is: the sink is passed around as const.
    mutable std::deque<QString> kept_;
};

}  // namespace qeltx::cli
