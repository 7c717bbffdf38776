// TformPrint: the debug console, where every module logs, and its tools.
#pragma once

#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qeltx::app {

class Editor;

class TformPrint : public QWidget {
    Q_OBJECT
public:
    explicit TformPrint(Editor& editor);

    // The log sink: appends one line and, when "scroll" is ticked, shows it.
    void printToConsole(const QString& text);
    // For the few callers that add a line without moving the view.
    void appendWithoutScroll(const QString& text);
    // Many lines at once (an EEPROM dump), scrolled once at the end when "scroll" is ticked.
    void appendLines(const std::vector<std::string>& lines);
    QStringList lines() const;
    // The last `count` lines (all of them when there are fewer), oldest first.
    QStringList lastLines(int count) const;
    int lineCount() const;
    // What a support report keeps of the log: the last lines logged, whether or not Clear has
    // emptied the console since, and how many were logged in all.
    QStringList reportLines() const { return QStringList(reportLines_.begin(), reportLines_.end()); }
    std::size_t linesLogged() const { return linesLogged_; }

    void btnClearClick();
    void btnScrollTopClick();
    void autoScrollToggled();
    // Writes every line to a text file the user chooses (what support asks for).
    void btnSaveClick();
    // The reason when the file could not be written.
    std::optional<QString> saveLinesTo(const QString& path);
    // The EEPROM tools. `i2cAddr` is the bus address as the address choice shows it ("50",
    // "51"); with none chosen they say "choose an EEPROM address" and send nothing. True when
    // the command went out whole; a failed send is told to the user. Read EEPROM then waits
    // for the dump, read as it comes until its last byte, telling `dumpBytes` how many of its
    // 16,385 bytes are in after every read; the dump is listed once the conversation it ran
    // in has ended. Erase Settings uses them too.
    using DumpProgress = std::function<void(std::size_t bytes)>;
    bool EraseEEPROM(const QString& i2cAddr);
    bool ReadEEPROM(const QString& i2cAddr, const DumpProgress& dumpBytes = {});
    void btnEraseEepromClick();
    void btnReadEEPROMClick();

    QPushButton* btnClear = nullptr;
    QPushButton* btnScrollTop = nullptr;
    QCheckBox* chkAutoScroll = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnEraseEeprom = nullptr;
    QPushButton* btnReadEEPROM = nullptr;
    QLabel* lblI2Caddr = nullptr;
    QComboBox* cmbI2Caddr = nullptr;
    QPlainTextEdit* logView = nullptr;

    bool autoScroll = true;

protected:
    // Placed at the top right of a large desktop; on a smaller one it moves to stay whole.
    void showEvent(QShowEvent* event) override;

private:
    void append(const QString& text, bool scroll);
    // Lines streaming in (a pot drag logs one per step) repaint the shown console at most
    // once per kRepaintHoldMs; every line is in the text at once all the same.
    void paceRepaints();
    // Paints what the hold kept back (before a blocking pause, which paints nothing).
    void endRepaintHold();

    QTimer repaintHold_;
    std::deque<QString> reportLines_;  // at most core::kReportConsoleLines
    std::size_t linesLogged_ = 0;

    Editor& editor_;
};

}  // namespace qeltx::app
