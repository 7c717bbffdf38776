// Screenshots of the editor's windows in every look, for people to look at: the main window
// linked to the virtual pedal, the parameter panel of a 16-control algorithm with the pedal's
// values, and the debug console; last, the firmware upgrade window while it writes the
// built-in firmware. Writes DIR/<window>-look<N>.png. The editor keeps its files in a
// temporary documents folder: a run never reads or changes the player's.
#include "app/editor.h"
#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "app/qt_seams.h"
#include "link/forwarding_driver.h"
#include "pedal_sim/pedal_model.h"
#include "pedal_sim/virtual_pedal_driver.h"
#include "session/save_file.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <span>

using namespace qeltx;

namespace {

// The editor's questions answered Yes and its messages printed, so nothing waits for a person.
class AnsweringDialogs : public session::Dialogs {
public:
    void message(const QString& text, session::MessageKind) override { std::printf("message: %s\n", qPrintable(text)); }
    bool confirm(const QString&) override { return true; }
    bool messageOffering(const QString& text, const QString&) override {
        message(text, session::MessageKind::Information);
        return false;
    }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    void errorReport(const QString& text) override { std::printf("error: %s\n", qPrintable(text)); }
};

// The desktop's folders, but documents in a folder of this run's own.
class TemporaryDocuments : public app::DesktopPlatform {
public:
    bool ok() const { return folder_.isValid(); }
    QString documentsFolder() override { return folder_.path(); }

private:
    QTemporaryDir folder_;
};

// The virtual pedal, and a look at every frame the editor writes to it: the flash job's Write
// Memory commands are where its writing stage can be caught, however fast the flash is.
class WatchedPedal : public link::ForwardingDriver {
public:
    WatchedPedal() : ForwardingDriver(inner_) {}
    pedal_sim::PedalModel pedal;
    std::function<void(std::span<const std::uint8_t>)> onWrite;

    core::FtStatus write(link::FtHandle h, const std::uint8_t* data, std::uint32_t count, std::uint32_t& n) override {
        if (onWrite) onWrite({data, count});
        return ForwardingDriver::write(h, data, count, n);
    }
    std::string backendName() const override { return inner_.backendName(); }

private:
    pedal_sim::VirtualPedalDriver inner_{pedal};
};

// A window's picture as PNG, written as the editor writes every file.
bool savePicture(QWidget* window, const QString& path) {
    QByteArray png;
    QBuffer buffer(&png);
    return buffer.open(QIODevice::WriteOnly) && window->grab().save(&buffer, "PNG") && !session::saveFile(path, png);
}

bool save(QWidget* window, const QString& path) {
    window->raise();
    QTest::qWait(150);
    const bool saved = savePicture(window, path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// The upgrade window in the middle of writing the built-in firmware, after someone tried to
// close the editor: the stage line and the note saying why it stays open. Taken at the first
// Write Memory the flasher sends, so it does not depend on how long the flash takes.
bool saveUpgradeWindow(app::Editor& editor, WatchedPedal& line, const QString& path) {
    app::TformMain* main = editor.formMain();
    app::TformFirmwareUpgrade* upgrade = editor.formFirmwareUpgrade();
    line.pedal.setButton(pedal_sim::control::kB2, true);
    main->menuFirmwareUpgradeMode->trigger();
    line.pedal.setButton(pedal_sim::control::kB2, false);
    main->menuStartFirmwareUpgrade->trigger();
    upgrade->move(main->frameGeometry().right() + 30, main->frameGeometry().top());
    QTest::qWait(300);
    bool taken = false;
    bool saved = false;
    line.onWrite = [&](std::span<const std::uint8_t> frame) {
        const bool writeMemory = frame.size() == 2 && frame[0] == 0x31 && frame[1] == 0xCE;
        if (taken || !writeMemory || !upgrade->lblFirmwareStep->text().startsWith(QStringLiteral("Writing"))) return;
        taken = true;
        main->close();  // refused while the flash is written: the note says why
        saved = upgrade->lblFirmwareNote->isVisible() && savePicture(upgrade, path);
        std::printf("%s %s (%s)\n", saved ? "wrote" : "could not write", qPrintable(path),
                    qPrintable(upgrade->lblFirmwareStep->text()));
    };
    upgrade->btnUpgradeFirmware->click();
    line.onWrite = nullptr;
    if (!taken) std::printf("the flash never reached its writing stage\n");
    return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) return 1;

    auto platform = std::make_unique<TemporaryDocuments>();
    if (!platform->ok()) return 1;
    auto driver = std::make_unique<WatchedPedal>();
    WatchedPedal& line = *driver;
    app::EditorSetup setup;
    setup.driver = std::move(driver);
    setup.platform = std::move(platform);
    setup.dialogs = std::make_unique<AnsweringDialogs>();
    setup.systemBackends = false;
    app::Editor editor(std::move(setup));
    editor.start();
    app::TformMain* main = editor.formMain();
    main->menuConnect->trigger();
    // The 16-control algorithm, uploaded and read back as a player would.
    main->lstCategoryClick(2);
    const auto found = main->lstEffects->findItems(QStringLiteral("Filter Sweep Synth"), Qt::MatchExactly);
    if (found.isEmpty()) return 1;
    main->lstEffects->setCurrentItem(found.first());
    main->effectListItemClicked(found.first());
    main->btnUpload->click();
    for (int k = 0; k < 50 && main->Timer_USB_read.isActive(); ++k) QTest::qWait(20);
    QTest::qWait(300);
    editor.formPrint()->show();
    editor.formPrint()->move(main->frameGeometry().left(), main->frameGeometry().bottom() + 30);

    bool ok = true;
    for (int look = 0; look < static_cast<int>(main->lookMenuItems.size()); ++look) {
        QAction* item = main->lookMenuItems[static_cast<std::size_t>(look)];
        if (!item) continue;
        item->trigger();
        QTest::qWait(200);
        const QString suffix = QStringLiteral("-look%1.png").arg(look);
        ok &= save(main, out.filePath(QStringLiteral("main") + suffix));
        ok &= save(editor.formFXParameters(), out.filePath(QStringLiteral("panel") + suffix));
        ok &= save(editor.formPrint(), out.filePath(QStringLiteral("console") + suffix));
    }
    main->lookMenuItems[0]->trigger();
    ok &= saveUpgradeWindow(editor, line, out.filePath(QStringLiteral("upgrade-writing-look0.png")));
    return ok ? 0 : 1;
}
