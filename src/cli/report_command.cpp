// qeltx-cli report: the support report of one run, after linking and asking the pedal which
// algorithm it holds.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "cli/stored_algorithm.h"
#include "session/save_file.h"
#include "session/support_facts.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <cstdio>

namespace qeltx::cli {

namespace {

std::string heldAlgorithm(PedalLink& link) {
    const auto reply = askStoredEffect(link);
    if (!reply) return "unknown: " + reply.reason();
    const auto effect = catalogueEffectByNumber(reply->effectNumber);
    const std::string name = effect ? effect->name : "(not in this catalogue)";
    return core::heldAlgorithmText(reply->effectStored, reply->effectNumber, name, reply->effectVersion,
                                   reply->firmwareVersion);
}

}  // namespace

int runReport(const Invocation& invocation, const Output& output) {
    // The report holds this run's console lines whether --verbose shows them or not.
    Output recording(output.json(), output.verbose());
    recording.keepLines(core::kReportConsoleLines);
    PedalLink link(invocation.connection, recording);

    std::string linkState;
    std::string held = "not asked (no link)";
    const auto problem = link.open();
    if (problem) {
        linkState = "not linked: " + problem->toStdString();
        output.note(QStringLiteral("the pedal could not be reached (") + *problem + QStringLiteral("); the report says so"));
    } else {
        linkState = "linked to " + link.chosenSerial() + ", normal operation";
        held = heldAlgorithm(link);
    }

    core::SupportReport report =
        session::supportReportBase(link.usb(), QStringLiteral("qeltx-cli"), QCoreApplication::applicationVersion());
    report.linkState = linkState;
    report.heldAlgorithm = held;
    for (const QString& line : recording.keptLines()) report.consoleLines.push_back(line.toStdString());
    report.privateFolders = session::privateFolders();
    const std::string text = core::supportReportText(report);

    QJsonObject json{{QStringLiteral("linked"), !problem.has_value()},
                     {QStringLiteral("algorithm"), QString::fromStdString(held)},
                     {QStringLiteral("messages"), static_cast<qint64>(report.trace.size())}};
    const auto out = invocation.value("-o");
    if (!out) {
        // As backup does: --json is for the summary, and the text would spoil the document.
        if (output.json()) {
            output.result(json);
            output.note(QStringLiteral("--json without -o: the report itself is not written"));
            return kExitSuccess;
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return kExitSuccess;
    }
    const QString path = QString::fromStdString(*out);
    if (const auto failure = session::saveFile(path, QByteArray::fromStdString(text))) {
        return output.fail(QStringLiteral("cannot write ") + path + QStringLiteral(": ") + *failure);
    }
    output.line(QStringLiteral("support report written to ") + path);
    json.insert(QStringLiteral("output"), path);
    output.result(json);
    return kExitSuccess;
}

}  // namespace qeltx::cli
