// Message boxes say what kind of news they carry: a failure shows the critical icon, a step the
// player must take first the warning icon, and only news the information icon.
#include "app/editor.h"
#include "app/main_window.h"
#include "app/qt_seams.h"
#include "support/test_seams.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

using namespace qeltx;
using session::MessageKind;

Q_DECLARE_METATYPE(session::MessageKind)

class MessageBoxesTest : public QObject {
    Q_OBJECT
private slots:
    void realBoxShowsTheIconOfItsKind_data();
    void realBoxShowsTheIconOfItsKind();
    void editorMessagesCarryTheirKind_data();
    void editorMessagesCarryTheirKind();
};

void MessageBoxesTest::realBoxShowsTheIconOfItsKind_data() {
    QTest::addColumn<MessageKind>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("information") << MessageKind::Information << int(QMessageBox::Information);
    QTest::newRow("warning") << MessageKind::Warning << int(QMessageBox::Warning);
    QTest::newRow("error") << MessageKind::Error << int(QMessageBox::Critical);
}

void MessageBoxesTest::realBoxShowsTheIconOfItsKind() {
    QFETCH(MessageKind, kind);
    QFETCH(int, icon);
    app::QtDialogs dialogs;
    int shownIcon = -1;
    QString shownText;
    // The box is modal: it is looked at and answered from inside its own event loop.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shownIcon = box->icon();
        shownText = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message(QStringLiteral("Could not write style.txt"), kind);
    QCOMPARE(shownText, QStringLiteral("Could not write style.txt"));
    QCOMPARE(shownIcon, icon);
}

void MessageBoxesTest::editorMessagesCarryTheirKind_data() {
    QTest::addColumn<bool>("devicePresent");
    QTest::addColumn<bool>("deviceOpens");
    QTest::addColumn<bool>("link");
    QTest::addColumn<QString>("text");
    QTest::addColumn<MessageKind>("kind");
    QTest::newRow("Scan finds nothing") << false << true << false << "No device found" << MessageKind::Warning;
    QTest::newRow("Scan finds the pedal") << true << true << false << "Qelt X found, click Link"
                                          << MessageKind::Information;
    QTest::newRow("Link cannot open it") << true << false << true << "Open_USB_Device_By_Serial_Number"
                                         << MessageKind::Error;
}

void MessageBoxesTest::editorMessagesCarryTheirKind() {
    QFETCH(bool, devicePresent);
    QFETCH(bool, deviceOpens);
    QFETCH(bool, link);
    QFETCH(QString, text);
    QFETCH(MessageKind, kind);
    auto driver = std::make_unique<testing::ListingDriver>();
    if (devicePresent) driver->devices.push_back({"QX0001", "Qelt X", deviceOpens});
    testing::TestEditor e(std::move(driver));
    if (link) {
        e->formMain()->menuConnectClick();
    } else {
        e->formMain()->menuScanClick();
    }
    const testing::DialogLog& log = *e.dialogs;
    QCOMPARE(log.messages.size(), log.messageKinds.size());
    QCOMPARE(log.messages.size(), 1);
    QVERIFY2(log.messages.first().startsWith(text), qPrintable(log.messages.first()));
    QCOMPARE(log.messageKinds.first(), kind);
}

QTEST_MAIN(MessageBoxesTest)
#include "test_message_boxes.moc"
