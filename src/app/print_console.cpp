// The debug console window.
#include "app/print_console.h"

#include "app/busy_window.h"
#include "app/editor.h"
#include "app/main_window.h"
#include "app/window_placement.h"
#include "core/commands.h"
#include "core/pedal_messages.h"
#include "core/support_report.h"
#include "session/exchange.h"
#include "session/save_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace qeltx::app {

namespace {
// Painting the console's visible lines costs about a millisecond: once per line it would
// take more time than a pot drag has for each of its commands.
constexpr int kRepaintHoldMs = 50;
}  // namespace

void TformPrint::showEvent(QShowEvent* event) {
    keepOnScreen(*this, editor_.formMain());
    QWidget::showEvent(event);
}

TformPrint::TformPrint(Editor& editor) : QWidget(nullptr), editor_(editor) {
    setObjectName(QStringLiteral("formPrint"));
    setWindowTitle(QStringLiteral("Debug Console"));
    setFixedSize(506, 676);
    move(1075, 0);

    auto place = [this](auto* widget, const char* name, int x, int width) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(x, 8, width, 25);
        return widget;
    };
    btnClear = place(new QPushButton(QStringLiteral("Clear"), this), "btnClear", 8, 50);
    btnScrollTop = place(new QPushButton(QStringLiteral("UP"), this), "btnScrollTop", 62, 40);
    chkAutoScroll = place(new QCheckBox(QStringLiteral("scroll"), this), "CheckBox1", 108, 56);
    chkAutoScroll->setChecked(true);
    btnEraseEeprom = place(new QPushButton(QStringLiteral("Erase EEPROM"), this), "btnEraseEeprom", 166, 96);
    btnReadEEPROM = place(new QPushButton(QStringLiteral("Read EEPROM"), this), "btnReadEEPROM", 266, 92);
    lblI2Caddr = place(new QLabel(QStringLiteral("E2P addr"), this), "lblI2Caddr", 362, 52);
    cmbI2Caddr = place(new QComboBox(this), "cmbI2Caddr", 414, 44);
    cmbI2Caddr->addItems({QStringLiteral("50"), QStringLiteral("51")});
    cmbI2Caddr->setCurrentIndex(-1);
    btnSave = place(new QPushButton(QStringLiteral("Save..."), this), "btnSave", 460, 40);

    logView = new QPlainTextEdit(this);
    logView->setObjectName(QStringLiteral("Memo1"));
    logView->setGeometry(8, 40, 489, 607);
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setUndoRedoEnabled(false);
    autoScroll = true;

    repaintHold_.setSingleShot(true);
    repaintHold_.setInterval(kRepaintHoldMs);
    connect(&repaintHold_, &QTimer::timeout, this, [this] { endRepaintHold(); });

    connect(btnClear, &QPushButton::clicked, this, editor_.guarded([this] { btnClearClick(); }));
    connect(btnScrollTop, &QPushButton::clicked, this, editor_.guarded([this] { btnScrollTopClick(); }));
    connect(chkAutoScroll, &QCheckBox::toggled, this, editor_.guarded([this] { autoScrollToggled(); }));
    connect(btnSave, &QPushButton::clicked, this, editor_.guarded([this] { btnSaveClick(); }));
    connect(btnEraseEeprom, &QPushButton::clicked, this, editor_.guarded([this] { btnEraseEepromClick(); }));
    connect(btnReadEEPROM, &QPushButton::clicked, this, editor_.guarded([this] { btnReadEEPROMClick(); }));
}

void TformPrint::paceRepaints() {
    if (!logView->isVisible()) return;
    if (repaintHold_.isActive()) {
        logView->setUpdatesEnabled(false);
    } else {
        // The first line of a stream is painted at once; what follows within the hold is
        // painted when the hold ends.
        repaintHold_.start();
    }
}

void TformPrint::endRepaintHold() {
    repaintHold_.stop();
    logView->setUpdatesEnabled(true);
}

void TformPrint::append(const QString& text, bool scroll) {
    paceRepaints();
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        reportLines_.push_back(line);
        ++linesLogged_;
    }
    while (reportLines_.size() > core::kReportConsoleLines) reportLines_.pop_front();
    QScrollBar* bar = logView->verticalScrollBar();
    const int kept = bar->value();
    logView->appendPlainText(text);
    if (scroll) {
        bar->setValue(bar->maximum());
    } else {
        bar->setValue(kept);
    }
}

void TformPrint::printToConsole(const QString& text) { append(text, autoScroll); }

void TformPrint::appendWithoutScroll(const QString& text) { append(text, false); }

void TformPrint::appendLines(const std::vector<std::string>& lines) {
    QString block;
    for (const std::string& line : lines) {
        if (!block.isEmpty()) block += QLatin1Char('\n');
        block += QString::fromStdString(line);
    }
    append(block, autoScroll);
}

QStringList TformPrint::lines() const {
    QStringList out;
    const QTextDocument* doc = logView->document();
    if (doc->isEmpty()) return out;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) out << block.text();
    return out;
}

QStringList TformPrint::lastLines(int count) const {
    QStringList out;
    const QTextDocument* doc = logView->document();
    if (doc->isEmpty()) return out;
    // From the end: a long run's console holds far more lines than are asked for.
    for (QTextBlock block = doc->lastBlock(); block.isValid() && out.size() < count; block = block.previous()) {
        out.prepend(block.text());
    }
    return out;
}

int TformPrint::lineCount() const { return logView->document()->isEmpty() ? 0 : logView->document()->blockCount(); }

void TformPrint::btnClearClick() { logView->clear(); }

void TformPrint::btnScrollTopClick() { logView->verticalScrollBar()->setValue(0); }

void TformPrint::autoScrollToggled() { autoScroll = chkAutoScroll->isChecked(); }

void TformPrint::btnSaveClick() {
    QString path = editor_.dialogs().saveFile(QStringLiteral("Save console"),
                                                    editor_.platform().documentsFolder(),
                                                    QStringLiteral("Text files (*.txt)"));
    if (path.isEmpty()) return;
    // A name typed without an extension still opens as text where support reads it.
    if (QFileInfo(path).suffix().isEmpty()) {
        if (!path.endsWith(QLatin1Char('.'))) path += QLatin1Char('.');
        path += QStringLiteral("txt");
    }
    if (const auto problem = saveLinesTo(path)) {
        editor_.dialogs().message(QStringLiteral("Could not write ") + path + QStringLiteral(": ") + *problem,
                                  session::MessageKind::Error);
        return;
    }
    printToConsole(QStringLiteral("console saved to ") + QDir::toNativeSeparators(path));
}

std::optional<QString> TformPrint::saveLinesTo(const QString& path) {
    QByteArray text = logView->toPlainText().toUtf8() + '\n';
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");  // as a text file is read there
#endif
    return session::saveFile(path, text);
}

namespace {

const QString kChooseAddress = QStringLiteral("choose an EEPROM address");

}  // namespace

bool TformPrint::EraseEEPROM(const QString& i2cAddr) {
    const auto command = core::eepromEraseCommand(i2cAddr.toStdString());
    if (!command) {
        editor_.dialogs().message(kChooseAddress, session::MessageKind::Warning);
        return false;
    }
    const QString text = QString::fromStdString(command->text);
    printToConsole(QStringLiteral("erase message: ") + text);
    const auto talk = editor_.line().begin(session::ConversationKind::EepromTool);
    if (!talk) return false;
    if (editor_.exchange().send(*command)) return true;
    editor_.tellNotSent(QStringLiteral("Erase EEPROM ") + i2cAddr);
    return false;
}

bool TformPrint::ReadEEPROM(const QString& i2cAddr, const DumpProgress& dumpBytes) {
    const auto command = core::eepromReadCommand(i2cAddr.toStdString());
    if (!command) {
        editor_.dialogs().message(kChooseAddress, session::MessageKind::Warning);
        return false;
    }
    const QString text = QString::fromStdString(command->text);
    printToConsole(text);
    const auto talk = editor_.line().begin(session::ConversationKind::EepromTool);
    if (!talk) return false;
    if (!editor_.exchange().send(*command)) {
        editor_.tellNotSent(QStringLiteral("Read EEPROM ") + i2cAddr);
        return false;
    }
    const QString doing =
        QStringLiteral("reading EEPROM %1 (%2 bytes from the pedal)").arg(i2cAddr).arg(core::kEepromDumpFrameSize);
    printToConsole(doing);
    endRepaintHold();
    BusyWindow busy(*this, doing, editor_.line());
    // Read as it comes, to the dump's last byte (or an answer that cannot be one).
    const session::Drained reply = editor_.exchange().drainReply(
        [&dumpBytes](std::span<const std::uint8_t> bytes) {
            const core::EepromAnswer answer = core::readEepromAnswer(bytes);
            if (dumpBytes) dumpBytes(answer.dumpReceived);
            return answer.decided();
        },
        command->spec.replyLimitMs);
    const std::string problem = core::eepromAnswerProblem(core::readEepromAnswer(reply.bytes));
    if (!problem.empty()) {
        printToConsole(QStringLiteral("EEPROM %1: %2 within %3 s")
                           .arg(i2cAddr, QString::fromStdString(problem))
                           .arg(command->spec.replyLimitMs / 1000));
    }
    // What came is the pedal's own message, read as the poll reads it: the dump is listed (with
    // "Memory Erased" when it holds nothing) once this conversation has ended, so that box does
    // not hold it up; a dump still coming is collected by the poll from there.
    editor_.line().whenIdle([this, bytes = reply.bytes] { editor_.formMain()->takePedalMessages(bytes); });
    return true;
}

void TformPrint::btnEraseEepromClick() { EraseEEPROM(cmbI2Caddr->currentText()); }

void TformPrint::btnReadEEPROMClick() { ReadEEPROM(cmbI2Caddr->currentText()); }

}  // namespace qeltx::app
