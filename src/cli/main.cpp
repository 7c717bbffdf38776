// qeltx-cli: the Qelt X pedal from the command line, on the editor's driver layer, protocol
// code, catalogue, IR loader and flasher.
#include "cli/arguments.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/output.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qeltx::cli;

int dispatch(const Invocation& invocation, const Output& output) {
    switch (invocation.command->id) {
        case CommandId::List: return runList(invocation, output);
        case CommandId::Query: return runQuery(invocation, output);
        case CommandId::Upload: return runUpload(invocation, output);
        case CommandId::Request: return runRequest(invocation, output);
        case CommandId::Set: return runSet(invocation, output);
        case CommandId::Backup: return runBackup(invocation, output);
        case CommandId::Restore: return runRestore(invocation, output);
        case CommandId::Flash: return runFlash(invocation, output);
        case CommandId::EepromRead: return runEepromRead(invocation, output);
        case CommandId::EepromErase: return runEepromErase(invocation, output);
        case CommandId::IrMerge: return runIrMerge(invocation, output);
        case CommandId::IrInfo: return runIrInfo(invocation, output);
        case CommandId::CatalogueCheck: return runCatalogueCheck(invocation, output);
        case CommandId::CatalogueList: return runCatalogueList(invocation, output);
        case CommandId::Report: return runReport(invocation, output);
        case CommandId::PresetSave: return runPresetSave(invocation, output);
        case CommandId::PresetLoad: return runPresetLoad(invocation, output);
        case CommandId::Diff: return runDiff(invocation, output);
    }
    return kExitUsage;
}

void print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// Drawing text into a picture needs a GUI application; a window system does not: the offscreen
// platform draws on any machine, with or without a display.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[], bool draws) {
    if (!draws) return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);
    if (words.size() == 1 && words.front() == "--version") {
        print("qeltx-cli " QELTX_APP_VERSION "\n");
        return kExitSuccess;
    }
    const auto parsed = parseCommandLine(words);
    // The serial port backend runs on Qt's event notifiers, which need an application object.
    const auto application = makeApplication(argc, argv, parsed && parsed->has("--plot"));
    QCoreApplication::setApplicationName(QStringLiteral("qeltx-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QELTX_APP_VERSION));

    if (!parsed) {
        const Output output(false, false);
        output.usage(QString::fromStdString(parsed.reason()));
        output.note(QStringLiteral("Try 'qeltx-cli --help'."));
        return kExitUsage;
    }
    const Invocation& invocation = *parsed;
    if (invocation.help) {
        print(invocation.command              ? commandHelp(*invocation.command)
              : invocation.helpGroup.empty() ? overviewHelp()
                                             : groupHelp(invocation.helpGroup));
        return kExitSuccess;
    }
    const Output output(invocation.json, invocation.verbose);
    return dispatch(invocation, output);
}
