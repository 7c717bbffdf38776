// Screenshots of the editor's windows in every look, for people to look at: the main window
// linked to the virtual pedal, the parameter panel of a 16-control algorithm with the pedal's
// values, and the debug console; last, the firmware upgrade window while it writes the
// built-in firmware. Writes DIR/<window>-look<N>.png.
#include "app/editor.h"
#include "app/firmware_upgrade.h"
#include "app/fx_parameters.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "pedal_sim/pedal_model.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

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

bool save(QWidget* window, const QString& path) {
    window->raise();
    QTest::qWait(150);
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// The upgrade window in the middle of writing the built-in firmware, after someone tried to
// close the editor: the stage line and the note saying why it stays open.
bool saveUpgradeWindow(app::Editor& editor, const QString& path) {
    app::TformMain* main = editor.formMain();
    app::TformFirmwareUpgrade* upgrade = editor.formFirmwareUpgrade();
    pedal_sim::PedalModel* pedal = editor.virtualPedal();
    pedal->setButton(pedal_sim::control::kB2, true);
    main->menuFirmwareUpgradeMode->trigger();
    pedal->setButton(pedal_sim::control::kB2, false);
    main->menuStartFirmwareUpgrade->trigger();
    upgrade->move(main->frameGeometry().right() + 30, main->frameGeometry().top());
    QTest::qWait(300);
    bool saved = false;
    QTimer watch;
    // Timers run during the upgrade's waits: this one acts once the writing has begun.
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!upgrade->lblFirmwareStep->text().startsWith(QStringLiteral("Writing"))) return;
        if (!upgrade->lblFirmwareNote->isVisible()) {
            main->close();
            return;
        }
        watch.stop();
        saved = upgrade->grab().save(path);
        std::printf("%s %s (%s)\n", saved ? "wrote" : "could not write", qPrintable(path),
                    qPrintable(upgrade->lblFirmwareStep->text()));
    });
    watch.start(100);
    upgrade->btnUpgradeFirmware->click();
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

    app::EditorSetup setup;
    setup.virtualPedal = true;
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
    main->effetto_cliccato(found.first());
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
    ok &= saveUpgradeWindow(editor, out.filePath(QStringLiteral("upgrade-writing-look0.png")));
    return ok ? 0 : 1;
}
