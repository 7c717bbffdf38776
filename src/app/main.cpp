// Program entry of the Qelt X Editor.
#include "app/editor.h"
#include "app/main_window.h"
#include "session/save_file.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Qelt X Editor"));
    QApplication::setApplicationVersion(QStringLiteral(QELTX_APP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor for the Qelt X effects pedal"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtualPedal(QStringLiteral("virtual-pedal"),
                                          QStringLiteral("List the virtual pedal and link to it at start."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Also list the serial port at PATH (e.g. a pty of qeltx-pedal-sim)."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a screenshot of the main window to FILE and quit."),
                                        QStringLiteral("FILE"));
    parser.addOptions({virtualPedal, port, screenshot});
    parser.process(application);

    qeltx::app::EditorSetup setup;
    setup.virtualPedal = parser.isSet(virtualPedal);
    setup.explicitPorts = parser.values(port);
    qeltx::app::Editor editor(std::move(setup));
    editor.start();

    qeltx::app::TformMain* main = editor.formMain();
    if (parser.isSet(virtualPedal) || parser.isSet(port)) {
        // As if the user had chosen Link.
        QTimer::singleShot(0, main, [main] { main->menuConnect->trigger(); });
    }
    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(1500, main, [main, file] {
            // Encoded as the name says (PNG when it says nothing), then written as every file is.
            const QByteArray format = QFileInfo(file).suffix().toLatin1();
            QByteArray picture;
            QBuffer buffer(&picture);
            const bool saved = buffer.open(QIODevice::WriteOnly) &&
                               main->grab().save(&buffer, format.isEmpty() ? "PNG" : format.constData()) &&
                               !qeltx::session::saveFile(file, picture);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
