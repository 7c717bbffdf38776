// Windows open wholly on the screen: the placement rule by a table, and the debug console,
// placed for a large desktop, on the offscreen platform's small screen.
#include "app/main_window.h"
#include "app/print_console.h"
#include "app/window_placement.h"
#include "support/test_seams.h"

#include <QScreen>
#include <QtTest>

using namespace qeltx;

class WindowPlacementTest : public QObject {
    Q_OBJECT
private slots:
    void keptInside_data();
    void keptInside();
    void consoleOpensWhollyOnAScreenSmallerThanItsPlace();
};

void WindowPlacementTest::keptInside_data() {
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("kept");
    const QRect screen(0, 0, 1280, 1024);
    QTest::newRow("inside stays") << QRect(100, 50, 400, 300) << screen << QPoint(100, 50);
    QTest::newRow("past the right edge") << QRect(1075, 0, 514, 706) << screen << QPoint(1280 - 514, 0);
    QTest::newRow("past the bottom") << QRect(10, 900, 400, 300) << screen << QPoint(10, 1024 - 300);
    QTest::newRow("above and left of the area") << QRect(-30, -20, 400, 300) << QRect(0, 24, 1280, 1000)
                                                << QPoint(0, 24);
    QTest::newRow("taller than the area: title bar on screen")
        << QRect(200, 100, 400, 1200) << screen << QPoint(200, 0);
    QTest::newRow("wider than the area: left edge on screen")
        << QRect(300, 10, 1500, 300) << screen << QPoint(0, 10);
    QTest::newRow("second screen to the right") << QRect(1200, 0, 506, 700) << QRect(1280, 0, 1920, 1080)
                                                << QPoint(1280, 0);
}

void WindowPlacementTest::keptInside() {
    QFETCH(QRect, frame);
    QFETCH(QRect, area);
    QFETCH(QPoint, kept);
    QCOMPARE(app::keptInside(frame, area), kept);
}

void WindowPlacementTest::consoleOpensWhollyOnAScreenSmallerThanItsPlace() {
    testing::TestEditor editor;
    app::TformPrint& console = *editor->formPrint();
    const QRect area = console.screen()->availableGeometry();
    QVERIFY2(area.right() < 1075 + 506, "the test needs a screen narrower than the console's place");
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    const QRect frame = console.frameGeometry();
    QCOMPARE(frame.right(), area.right());
    QCOMPARE(frame.top(), area.top());
    QVERIFY(area.contains(frame.topLeft()));
    // Shown again after the user moved it half off the screen: back on it, as near as it fits.
    console.close();
    console.move(area.right() - 100, area.top() + 10);
    console.show();
    QCOMPARE(console.frameGeometry().right(), area.right());
    QCOMPARE(console.frameGeometry().top(), area.top() + 10 > area.bottom() + 1 - frame.height() ? area.top() : area.top() + 10);
}

QTEST_MAIN(WindowPlacementTest)
#include "test_window_placement.moc"
