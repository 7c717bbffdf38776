// The debug console: lines kept while hidden, the scroll flag, UP, Clear and Save.
#include "app/main_window.h"
#include "app/print_console.h"
#include "support/test_seams.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>

using namespace qeltx;

class ConsoleTest : public QObject {
    Q_OBJECT
private slots:
    void scrollFlagDecidesWhetherTheViewFollows();
    void clearEmptiesOnlyTheText();
    void saveWritesEveryLine();
    void saveAddsTextExtensionWhenNoneGiven_data();
    void saveAddsTextExtensionWhenNoneGiven();
    void streamOfLinesIsInAtOnceAndPaintedAfter();
    void readEepromShowsItsLinesBeforeItsPause();
};

static void fill(app::TformPrint& console, int count) {
    for (int i = 0; i < count; ++i) console.printToConsole(QStringLiteral("line %1").arg(i));
}

void ConsoleTest::scrollFlagDecidesWhetherTheViewFollows() {
    testing::TestEditor editor;
    app::TformPrint& console = *editor->formPrint();
    console.show();
    QScrollBar* bar = console.logView->verticalScrollBar();
    fill(console, 200);
    QCOMPARE(bar->value(), bar->maximum());

    console.btnScrollTop->click();
    QCOMPARE(bar->value(), 0);

    console.chkAutoScroll->click();  // untick "scroll"
    QVERIFY(!console.autoScroll);
    fill(console, 50);
    QCOMPARE(bar->value(), 0);
    console.appendWithoutScroll(QStringLiteral("direct"));
    QCOMPARE(bar->value(), 0);

    console.chkAutoScroll->click();
    console.printToConsole(QStringLiteral("last"));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(console.lines().size(), 252);
    QCOMPARE(console.lines().last(), QStringLiteral("last"));
}

void ConsoleTest::clearEmptiesOnlyTheText() {
    testing::TestEditor editor;
    app::TformPrint& console = *editor->formPrint();
    console.chkAutoScroll->click();
    fill(console, 3);
    console.printToConsole(QString());
    QCOMPARE(console.lines().size(), 4);
    console.btnClear->click();
    QVERIFY(console.lines().isEmpty());
    QVERIFY(!console.autoScroll);
}

void ConsoleTest::saveWritesEveryLine() {
    testing::TestEditor editor;
    app::TformPrint& console = *editor->formPrint();
    fill(console, 3);
    const QString path = editor.platform->documents.filePath(QStringLiteral("console.txt"));
    editor.dialogs->fileNames.push_back(path);
    console.btnSave->click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("line 0\nline 1\nline 2\n"));
    // The console says where the lines went.
    QCOMPARE(console.lines().last(), QStringLiteral("console saved to ") + QDir::toNativeSeparators(path));
    // A folder that cannot be written is reported, not silently ignored.
    editor.dialogs->fileNames.push_back(QStringLiteral("/nonexistent-folder/console.txt"));
    console.btnSave->click();
    QCOMPARE(editor.dialogs->messages.size(), 1);
}

void ConsoleTest::saveAddsTextExtensionWhenNoneGiven_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("no extension") << "console1" << "console1.txt";
    QTest::newRow("bare dot") << "console1." << "console1.txt";
    QTest::newRow("txt") << "console1.txt" << "console1.txt";
    QTest::newRow("another extension kept") << "console1.log" << "console1.log";
    QTest::newRow("dot in a folder name only") << "logs.d/console1" << "logs.d/console1.txt";
}

void ConsoleTest::saveAddsTextExtensionWhenNoneGiven() {
    QFETCH(QString, typed);
    QFETCH(QString, written);
    testing::TestEditor editor;
    app::TformPrint& console = *editor->formPrint();
    fill(console, 2);
    const QDir documents(editor.platform->documents.path());
    QVERIFY(documents.mkpath(QStringLiteral("logs.d")));
    editor.dialogs->fileNames.push_back(documents.filePath(typed));
    console.btnSave->click();
    QVERIFY(editor.dialogs->messages.isEmpty());
    QFile file(documents.filePath(written));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QCOMPARE(file.readAll(), QByteArray("line 0\nline 1\n"));
    if (written != typed) QVERIFY(!QFileInfo::exists(documents.filePath(typed)));
    QCOMPARE(console.lines().last(), QStringLiteral("console saved to ") +
                                         QDir::toNativeSeparators(documents.filePath(written)));
}

void ConsoleTest::streamOfLinesIsInAtOnceAndPaintedAfter() {
    testing::TestEditor editor;
    app::TformPrint& console = *editor->formPrint();
    console.show();
    fill(console, 300);
    // Repaints are paced while lines stream in, but no line waits for one.
    QCOMPARE(console.lines().size(), 300);
    QCOMPARE(console.lines().last(), QStringLiteral("line 299"));
    QScrollBar* bar = console.logView->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    // When the stream ends the console paints again.
    QTRY_VERIFY(console.logView->updatesEnabled());
    QVERIFY(console.logView->viewport()->updatesEnabled());
}

void ConsoleTest::readEepromShowsItsLinesBeforeItsPause() {
    testing::TestEditor editor;
    // Linked: a read that cannot be written announces no pause and waits none.
    editor->formMain()->menuConnect->trigger();
    app::TformPrint& console = *editor->formPrint();
    console.show();
    fill(console, 20);
    // The read's wait for its dump: its lines must be paintable before it, and the dump follows.
    QVERIFY(console.ReadEEPROM(QStringLiteral("50")));
    QVERIFY(console.logView->updatesEnabled());
    const QStringList lines = console.lines();
    const auto reading = std::find_if(lines.begin(), lines.end(),
                                      [](const QString& line) { return line.startsWith(QStringLiteral("reading EEPROM 50")); });
    QVERIFY(reading != lines.end());
    QCOMPARE(lines.end() - reading - 1, 16384);
    QVERIFY(lines.last().startsWith(QStringLiteral("16383: ")));
}

QTEST_MAIN(ConsoleTest)
#include "test_console.moc"
