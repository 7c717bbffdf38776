// Info ▸ "Save Support Report…": one text file a player sends when asking for help.
#include "app/editor.h"
#include "app/main_window.h"
#include "app/print_console.h"
#include "core/support_report.h"
#include "session/save_file.h"
#include "session/support_facts.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QRadioButton>

namespace qeltx::app {

namespace {

const QString kFilter = QStringLiteral("Text files (*.txt)");
const QString kExtension = QStringLiteral(".txt");

}  // namespace

void TformMain::menuSaveSupportReportClick() {
    const QString proposed = QDir(editor_.platform().documentsFolder())
                                 .filePath(QStringLiteral("Qelt X support report ") +
                                           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) + kExtension);
    const QString path = editor_.dialogs().saveFile(QStringLiteral("Save Support Report"), proposed, kFilter);
    if (path.isEmpty()) return;
    const QString target = path.endsWith(kExtension, Qt::CaseInsensitive) ? path : path + kExtension;
    if (saveSupportReport(target)) {
        editor_.dialogs().message(QStringLiteral("Support report saved: ") + target);
    }
}

std::vector<core::ReportSetting> TformMain::editorSettingsForReport() const {
    const EditorState& state = editor_.state;
    const auto onOff = [](bool on) { return std::string(on ? "on" : "off"); };
    std::string look = "not one of the Look menu's (style.txt)";
    for (std::size_t i = 0; i < lookMenuItems.size(); ++i) {
        if (lookMenuItems[i] && lookMenuItems[i]->isChecked()) look = std::to_string(i);
    }
    std::string mode = state.pedalMode == kBankMode ? "bank" : "preset";
    if (state.pedalMode == kBankMode) {
        for (const QRadioButton* bank : {rdbtnBank1, rdbtnBank2, rdbtnBank3}) {
            if (bank && bank->isChecked()) mode += ", " + bank->text().toStdString();
        }
    }
    return {{"look", look},
            {"mode", mode},
            {"resampling of impulse responses", onOff(state.irShaping.resample)},
            {"automatic reading of the pedal's values", onOff(state.readValuesAutomatically)},
            {"new-version notice", onOff(state.showUpdateMessage)}};
}

bool TformMain::saveSupportReport(const QString& path) {
    const EditorState& state = editor_.state;
    core::SupportReport report =
        session::supportReportBase(editor_.usb(), windowTitle(), state.appVersion);
    const std::string serial = state.linkSerialNumber.toStdString();
    if (!state.linked) {
        report.linkState = "not linked";
    } else if (state.firmwareUpgradeMode) {
        report.linkState = "linked to " + serial + ", upgrade mode (the pedal's bootloader, even parity)";
    } else {
        report.linkState = "linked to " + serial + ", normal operation";
    }
    const session::HeldAlgorithm& held = editor_.pedal().algorithm();
    if (!held.known()) {
        report.heldAlgorithm = "not read (Get FX Stored on Pedal reads it)";
    } else {
        report.heldAlgorithm = core::heldAlgorithmText(true, held.number, held.name.toStdString(), held.version.value_or(0),
                                                       editor_.pedal().firmwareVersion());
        if (!state.linked) report.heldAlgorithm += ", as last read";
    }
    report.editorSettings = editorSettingsForReport();
    const TformPrint& console = *editor_.formPrint();
    for (const QString& line : console.reportLines()) report.consoleLines.push_back(line.toStdString());
    report.consoleLinesInAll = console.linesLogged();
    report.privateFolders = session::privateFolders();

    const QByteArray text = QByteArray::fromStdString(core::supportReportText(report));
    if (const auto problem = session::saveFile(path, text)) {
        const QString message = QStringLiteral("The support report could not be saved: ") + *problem;
        editor_.printToConsole(message);
        editor_.dialogs().message(message, session::MessageKind::Error);
        return false;
    }
    return true;
}

}  // namespace qeltx::app
