// Info ▸ "Save Support Report…" on the virtual pedal: the trace of "Get FX Stored on Pedal" in
// both directions with its times, the last 500 messages only, the console's last lines (Clear
// or not), the editor's settings, and no path in the home folder.
#include "app/main_window.h"
#include "app/print_console.h"
#include "core/hex.h"
#include "core/message_trace.h"
#include "core/stored_effect.h"
#include "core/support_report.h"
#include "support/test_seams.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using namespace qeltx;

namespace {

struct TracedMessage {
    qint64 ms = 0;
    bool sent = false;
    QString hex;
};

struct Report {
    QStringList lines;
    QString text;
    std::vector<TracedMessage> trace;
};

Report readReport(const QString& path) {
    QFile file(path);
    Report report;
    if (!file.open(QIODevice::ReadOnly)) return report;
    report.text = QString::fromUtf8(file.readAll());
    report.lines = report.text.split(QLatin1Char('\n'));
    static const QRegularExpression traceLine(QStringLiteral("^ *(\\d+) ms  ([<>]) ([0-9A-F]+)"));
    const qsizetype start = report.lines.indexOf(QRegularExpression(QStringLiteral("^Messages, the last .*")));
    for (qsizetype i = start + 1; start >= 0 && i < report.lines.size(); ++i) {
        const auto match = traceLine.match(report.lines[i]);
        if (!match.hasMatch()) continue;
        report.trace.push_back({match.captured(1).toLongLong(), match.captured(2) == QLatin1String(">"), match.captured(3)});
    }
    return report;
}

struct Linked {
    testing::TestEditor editor;
    app::TformMain& main;
    Linked() : main(*editor->formMain()) { main.menuConnect->trigger(); }
    QString file(const QString& name) const { return QDir(editor.platform->documents.path()).filePath(name); }
    Report save(const QString& name) {
        const QString path = file(name);
        editor.dialogs->fileNames.push_back(path);
        main.menuSaveSupportReport->trigger();
        return readReport(path);
    }
};

}  // namespace

class SupportReportTest : public QObject {
    Q_OBJECT
private slots:
    void theQueryIsTracedBothWaysWithItsTimes();
    void onlyTheLast500MessagesAreKept();
    void noHomeFolderPathNotEvenThePresetFolders();
    void clearingTheConsoleKeepsItsLinesForTheReport();
    void aReportThatCannotBeWrittenIsSaid();
};

void SupportReportTest::theQueryIsTracedBothWaysWithItsTimes() {
    Linked s;
    QCOMPARE(s.main.menuSaveSupportReport->text(), QStringLiteral("Save Support &Report…"));
    QVERIFY(s.main.menuInfo->actions().contains(s.main.menuSaveSupportReport));
    QVERIFY(s.main.btnOpenEffect->isEnabled());
    QTest::mouseClick(s.main.btnOpenEffect, Qt::LeftButton);

    const Report report = s.save(QStringLiteral("report.txt"));
    QVERIFY2(!report.trace.empty(), qPrintable(report.text.left(2000)));
    QCOMPARE(s.editor.dialogs->messages.last(), QStringLiteral("Support report saved: ") + s.file(QStringLiteral("report.txt")));
    QVERIFY(report.lines.contains(QStringLiteral("Qelt X Editor support report")));
    QVERIFY(report.lines.contains(QStringLiteral("Editor version: 1.0.0.0")));
    QVERIFY(report.lines.contains(QStringLiteral("Link: linked to QXVIRTUAL1, normal operation")));
    QVERIFY(report.lines.contains(QStringLiteral("Algorithm held: 1 Amber Drive v1, firmware 1")));
    QVERIFY(report.lines.contains(QStringLiteral("  0  QXVIRTUAL1  Qelt X Virtual Pedal  (virtual)")));
    QVERIFY(report.lines.contains(QStringLiteral("  virtual: available")));
    QVERIFY(report.text.contains(QStringLiteral("Operating system: ")));
    QVERIFY(report.text.contains(QStringLiteral("Qt version: ") + QString::fromLatin1(qVersion())));
    QVERIFY(report.text.contains(QStringLiteral("effect name from the list: Amber Drive")));

    // The click's query is the last one sent (Link queried and read the values before it); what
    // came in after it, until the next message out, is the pedal's answer, whole and in order.
    qsizetype query = -1;
    for (qsizetype i = 0; i < qsizetype(report.trace.size()); ++i) {
        if (report.trace[i].sent && report.trace[i].hex == QLatin1String("0600")) query = i;
    }
    QVERIFY(query > 0);
    QString answer;
    for (qsizetype i = query + 1; i < qsizetype(report.trace.size()) && !report.trace[i].sent; ++i) {
        QVERIFY(report.trace[i].ms >= report.trace[i - 1].ms);
        answer += report.trace[i].hex;
    }
    const auto bytes = core::parseHex(answer.toStdString());
    QVERIFY2(bytes.has_value() && !bytes->empty(), qPrintable(answer));
    const auto parsed = core::parse_stored_effect_reply(std::span<const std::uint8_t>(*bytes));
    QVERIFY2(parsed, qPrintable(answer));
    QCOMPARE(parsed->effectNumber, 1u);
    // The answer is read as it arrives: it is stamped after the query, by the wait that read it.
    QVERIFY2(report.trace[query + 1].ms > report.trace[query].ms,
             qPrintable(QStringLiteral("%1 then %2").arg(report.trace[query].ms).arg(report.trace[query + 1].ms)));
    // Every time is on the editor's clock, in order.
    for (std::size_t i = 1; i < report.trace.size(); ++i) QVERIFY(report.trace[i].ms >= report.trace[i - 1].ms);
    QVERIFY(report.trace.back().ms <= s.editor.clock->now);
}

void SupportReportTest::onlyTheLast500MessagesAreKept() {
    Linked s;
    const std::uint64_t before = s.editor->usb().messageTrace.recorded();
    // Each query is one message out and at least one in.
    const int queries = 300;
    for (int i = 0; i < queries; ++i) s.main.btnOpenEffect->click();
    const std::uint64_t recorded = s.editor->usb().messageTrace.recorded();
    QVERIFY(recorded >= before + 2 * queries);

    const Report report = s.save(QStringLiteral("many.txt"));
    QCOMPARE(report.trace.size(), core::kTraceMessages);
    QVERIFY(report.lines.contains(QStringLiteral("Messages, the last 500 of %1 (> sent to the pedal, < received; bytes in hex):")
                                      .arg(recorded)));
    // The newest are kept: the report ends with the last query's answer, and the kept queries
    // are all of the last ones (Link's exchanges are gone).
    QVERIFY(!report.trace.back().sent);
    for (const TracedMessage& m : report.trace) {
        if (m.sent) QCOMPARE(m.hex, QStringLiteral("0600"));
    }
}

void SupportReportTest::noHomeFolderPathNotEvenThePresetFolders() {
    // The preset folder lies in the home folder, as on a player's computer.
    Linked s;
    const QString home = s.editor.platform->documents.path();
    qputenv("HOME", home.toLocal8Bit());
    QCOMPARE(QDir::homePath(), home);
    const QString presetFolder = s.main.presetFolder();
    QVERIFY(presetFolder.startsWith(QDir::homePath()));
    app::TformPrint& console = *s.editor->formPrint();
    console.printToConsole(QStringLiteral("IR file: ") + QDir::homePath() + QStringLiteral("/Music/room.wav"));
    console.printToConsole(QStringLiteral("settings backed up: ") + presetFolder + QStringLiteral("/Pedal settings.json"));
    console.printToConsole(QStringLiteral("in ") + QDir::homePath());
    for (int i = 0; i < 2100; ++i) console.printToConsole(QStringLiteral("filler %1").arg(i));
    console.printToConsole(QStringLiteral("last: ") + QDir::homePath() + QStringLiteral("/x.wav"));
    console.printToConsole(QStringLiteral("firmware file: /media/") + qEnvironmentVariable("USER", "player") +
                           QStringLiteral("/STICK/qeltx_fw_2.hex"));

    const Report report = s.save(QStringLiteral("private.txt"));
    QVERIFY(!report.text.isEmpty());
    QVERIFY2(!report.text.contains(QDir::homePath()), qPrintable(report.text.mid(report.text.indexOf(QDir::homePath()), 120)));
    QVERIFY(report.lines.contains(QStringLiteral("last: ~/x.wav")));
    QVERIFY(report.lines.contains(QStringLiteral("firmware file: /media/USER/STICK/qeltx_fw_2.hex")));
    // The console's last 2000 lines: the early ones are gone, the last ones are there.
    const qsizetype total = console.lines().size();
    QVERIFY(report.lines.contains(QStringLiteral("Console, the last 2000 of %1 lines:").arg(total)));
    QVERIFY(!report.text.contains(QStringLiteral("Music/room.wav")));
    QVERIFY(report.lines.contains(QStringLiteral("filler 2099")));
    QVERIFY(!report.lines.contains(QStringLiteral("filler 98")));
    // What it holds is said before anything else; the editor's settings are in it.
    QVERIFY2(report.lines.value(1).startsWith(QStringLiteral("This report holds: ")), qPrintable(report.lines.value(1)));
    QVERIFY(report.text.contains(QStringLiteral("with their serial numbers")));
    for (const char* line : {"Editor settings:", "  look: 0", "  mode: preset", "  resampling of impulse responses: on",
                             "  automatic reading of the pedal's values: on", "  new-version notice: on"}) {
        QVERIFY2(report.lines.contains(QLatin1String(line)), line);
    }

    // Lines still in the last 2000: the preset folder from ~ like the rest.
    console.printToConsole(QStringLiteral("settings backed up: ") + presetFolder + QStringLiteral("/Pedal settings.json"));
    const Report again = s.save(QStringLiteral("private2.txt"));
    QVERIFY(again.lines.contains(QStringLiteral("settings backed up: ~") + presetFolder.mid(home.size()) +
                                 QStringLiteral("/Pedal settings.json")));
}

void SupportReportTest::clearingTheConsoleKeepsItsLinesForTheReport() {
    Linked s;
    app::TformPrint& console = *s.editor->formPrint();
    console.printToConsole(QStringLiteral("before the clear"));
    const int before = console.lineCount();
    console.btnClear->click();
    QCOMPARE(console.lineCount(), 0);
    console.printToConsole(QStringLiteral("after the clear"));

    const Report report = s.save(QStringLiteral("cleared.txt"));
    QVERIFY(report.lines.contains(QStringLiteral("before the clear")));
    QVERIFY(report.lines.contains(QStringLiteral("after the clear")));
    QVERIFY(report.lines.contains(QStringLiteral("serial number: QXVIRTUAL1")));  // from the Link
    QVERIFY2(report.lines.contains(QStringLiteral("Console, the last %1 of %1 lines:").arg(before + 1)),
             qPrintable(report.lines.filter(QStringLiteral("Console,")).join('\n')));
}

void SupportReportTest::aReportThatCannotBeWrittenIsSaid() {
    testing::TestEditor editor;
    app::TformMain& main = *editor->formMain();
    const QString path = QDir(editor.platform->documents.path()).filePath(QStringLiteral("no/such/folder/report.txt"));
    editor.dialogs->fileNames.push_back(path);
    main.menuSaveSupportReport->trigger();
    QVERIFY(!QFile::exists(path));
    QVERIFY2(editor.dialogs->messages.last().startsWith(QStringLiteral("The support report could not be saved: ")),
             qPrintable(editor.dialogs->messages.join('\n')));
    QCOMPARE(editor.dialogs->messageKinds.last(), session::MessageKind::Error);

    // Unlinked, the report says so, and Cancel writes nothing.
    const QString fine = QDir(editor.platform->documents.path()).filePath(QStringLiteral("unlinked"));
    editor.dialogs->fileNames.push_back(fine);
    main.menuSaveSupportReport->trigger();
    const Report report = readReport(fine + QStringLiteral(".txt"));
    QVERIFY(report.lines.contains(QStringLiteral("Link: not linked")));
    QVERIFY(report.lines.contains(QStringLiteral("Messages, the last 0 of 0 (> sent to the pedal, < received; bytes in hex):")));
    const int messages = int(editor.dialogs->messages.size());
    main.menuSaveSupportReport->trigger();
    QCOMPARE(int(editor.dialogs->messages.size()), messages);
}

QTEST_MAIN(SupportReportTest)
#include "test_support_report.moc"
