// Listing devices at start-up and on Scan, Link and Unlink with their labels and enable states.
#include "app/main_window.h"
#include "app/print_console.h"
#include "support/test_seams.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace qeltx;
using Device = testing::ListingDriver::Device;

namespace {

struct Fixture {
    testing::ListingDriver* driver;
    testing::TestEditor editor;
    explicit Fixture(std::vector<Device> devices)
        : driver(new testing::ListingDriver), editor(adopt(driver, std::move(devices))) {}
    static std::unique_ptr<link::Driver> adopt(testing::ListingDriver* d, std::vector<Device> devices) {
        d->devices = std::move(devices);
        return std::unique_ptr<link::Driver>(d);
    }
    app::TformMain& main() { return *editor->formMain(); }
};

// The linked-state controls, as the user sees them.
QString enableStates(app::TformMain& m) {
    QString s;
    auto bit = [&](bool b) { s += b ? QLatin1Char('1') : QLatin1Char('0'); };
    bit(m.menuScan->isEnabled());
    bit(m.menuConnect->isEnabled());
    bit(m.menuDisconnect->isEnabled());
    bit(m.btnUpload->isEnabled());
    bit(m.btnRequest->isEnabled());
    bit(m.btnOpenEffect->isEnabled());
    bit(app::isMenuEnabled(m.menuMIDI));
    bit(app::isMenuEnabled(m.menuMode));
    bit(m.lblLive->isEnabled());
    bit(m.Timer_USB_read.isActive());
    return s;
}

}  // namespace

class LinkingTest : public QObject {
    Q_OBJECT
private slots:
    void startupListingFillsLabelsSilently_data();
    void startupListingFillsLabelsSilently();
    void scanShowsEachDevice_data();
    void scanShowsEachDevice();
    void linkUnlinkCyclesKeepTheLabelReadable();
    void unlinkForgetsWhatThePedalSaid();
    void failedOpenChangesNothingAndSaysWhy();
    void linkWithNothingListedTriesAnEmptySerial();
};

void LinkingTest::startupListingFillsLabelsSilently_data() {
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("serialMenu");
    QTest::newRow("none") << QStringList{} << "Device Name: " << "Device Serial: ";
    QTest::newRow("bridge") << QStringList{"FT230X Basic UART"} << "Qelt X" << "Device Serial: QX0";
    QTest::newRow("two") << QStringList{"FT230X Basic UART", "Other UART"} << "Other UART"
                         << "Device Serial: QX0QX1";
}

void LinkingTest::startupListingFillsLabelsSilently() {
    QFETCH(QStringList, descriptions);
    QFETCH(QString, label);
    QFETCH(QString, serialMenu);
    std::vector<Device> devices;
    for (int i = 0; i < descriptions.size(); ++i) {
        devices.push_back({"QX" + std::to_string(i), descriptions[i].toStdString()});
    }
    Fixture f(devices);
    QCOMPARE(f.main().lblDeviceName->text(), label);
    QCOMPARE(f.main().menuSerialNumber->text(), serialMenu);
    QVERIFY(f.editor.dialogs->messages.isEmpty());
    QVERIFY(f.editor->formPrint()->lines().isEmpty());
    QCOMPARE(f.editor->state.linkSerialNumber, descriptions.isEmpty() ? QString() : "QX" + QString::number(descriptions.size() - 1));
}

void LinkingTest::scanShowsEachDevice_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("label");
    QTest::newRow("0") << 0 << QStringList{"No device found"} << "No device found";
    QTest::newRow("1") << 1 << QStringList{"FT230X Basic UART found, click Link"} << "FT230X Basic UART";
    QTest::newRow("2") << 2 << QStringList{"FT230X Basic UART found, click Link", "Second found, click Link"}
                       << "Second";
}

void LinkingTest::scanShowsEachDevice() {
    QFETCH(int, count);
    QFETCH(QStringList, messages);
    QFETCH(QString, label);
    std::vector<Device> devices = {{"AAA", "FT230X Basic UART"}, {"BBB", "Second"}};
    devices.resize(static_cast<std::size_t>(count));
    Fixture f(devices);
    f.main().menuScan->trigger();
    QCOMPARE(f.editor.dialogs->messages, messages);
    QCOMPARE(f.main().lblDeviceName->text(), label);
    QCOMPARE(f.editor->formPrint()->lines().first(), "FT device count: " + QString::number(count));
    if (count == 0) return;
    f.main().menuConnect->trigger();
    QCOMPARE(f.driver->openAttempts.back(), count == 2 ? std::string("BBB") : std::string("AAA"));
}

void LinkingTest::linkUnlinkCyclesKeepTheLabelReadable() {
    Fixture f(std::vector<Device>{{"AAA", "Pedal"}});
    app::TformMain& m = f.main();
    QCOMPARE(enableStates(m), QStringLiteral("1100000000"));
    m.menuConnect->trigger();
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("Pedal linked"));
    QCOMPARE(enableStates(m), QStringLiteral("0011111111"));
    QVERIFY(f.editor->state.linkedOnceInNormalMode);
    const QStringList lines = f.editor->formPrint()->lines();
    QVERIFY(lines.contains(QStringLiteral("serial number: AAA")));
    QVERIFY(lines.contains(QStringLiteral("FT_HANDLE: 0x00000001")));
    QVERIFY(lines.contains(QStringLiteral("baud rate = 115200")));
    m.menuDisconnect->trigger();
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("Pedal"));
    QCOMPARE(enableStates(m), QStringLiteral("1100000000"));
    QVERIFY(f.editor->state.linkedOnceInNormalMode);  // Unlink keeps it
    // However often the user links and unlinks, the label never gathers spaces.
    for (int cycle = 0; cycle < 10; ++cycle) {
        m.menuConnect->trigger();
        QCOMPARE(m.lblDeviceName->text(), QStringLiteral("Pedal linked"));
        m.menuDisconnect->trigger();
        QCOMPARE(m.lblDeviceName->text(), QStringLiteral("Pedal"));
    }
    // This device never answers the stored-effect query; that is the only thing said.
    for (const QString& message : f.editor.dialogs->messages) QVERIFY2(message.contains("did not answer"), qPrintable(message));
}

void LinkingTest::unlinkForgetsWhatThePedalSaid() {
    testing::TestEditor editor;
    app::TformMain& m = *editor->formMain();
    m.menuConnect->trigger();
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 1"));
    m.lblStatus->setText(QStringLiteral("Upload complete"));
    m.menuDisconnect->trigger();
    QCOMPARE(m.lblFirmwareVersion->text(), QStringLiteral("Firmware Version: "));
    QCOMPARE(m.lblStatus->text(), QStringLiteral("Status: "));
}

void LinkingTest::failedOpenChangesNothingAndSaysWhy() {
    Fixture f(std::vector<Device>{{"AAA", "Pedal", false}});
    f.driver->problem = "You have no permission to open /dev/ttyUSB0.";
    app::TformMain& m = f.main();
    const QString before = enableStates(m);
    m.menuConnect->trigger();
    QCOMPARE(enableStates(m), before);
    QCOMPARE(m.lblDeviceName->text(), QStringLiteral("Pedal"));
    QVERIFY(!f.editor->state.linkedOnceInNormalMode);
    // Reports are off after start-up, yet the user is told.
    QCOMPARE(f.editor.dialogs->messages.size(), 1);
    QVERIFY(f.editor.dialogs->messages.first().startsWith("Open_USB_Device_By_Serial_Number - Device not found..."));
    QVERIFY(f.editor.dialogs->messages.first().contains("no permission"));
}

void LinkingTest::linkWithNothingListedTriesAnEmptySerial() {
    Fixture f(std::vector<Device>{});
    f.main().menuConnect->trigger();
    QCOMPARE(f.driver->openAttempts, std::vector<std::string>{""});
    QCOMPARE(f.editor.dialogs->messages.size(), 1);
}

QTEST_MAIN(LinkingTest)
#include "test_linking.moc"
