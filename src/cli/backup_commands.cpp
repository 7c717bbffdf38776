// qeltx-cli's backup and restore: everything the pedal keeps, to a settings backup file and back.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "cli/stored_algorithm.h"
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "session/save_file.h"
#include "session/settings_backup_file.h"
#include "session/settings_conversation.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

namespace qeltx::cli {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

int runBackup(const Invocation& invocation, const Output& output) {
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    session::PedalLine line = pedalLineOf(link);
    auto read = session::readPedalSettings(line, catalogueLookup());
    if (!read) return output.fail(text(read.reason()));
    core::SettingsBackup backup = read->backup;

    if (const auto irFile = invocation.value("--ir")) {
        const auto effect = catalogueEffectByNumber(backup.effectNumber);
        if (!effect) return output.fail(text(effect.reason()));
        if (const auto geometry = core::irLoaderGeometry(effect->name); !geometry) {
            return output.usage(QStringLiteral("--ir needs a pedal holding an IR-loader algorithm: ") + text(geometry.reason()));
        }
        const auto merged = mergeImpulseResponse(*effect, QString::fromStdString(*irFile), core::IrShaping{}, output);
        if (!merged) return output.fail(text(merged.reason()));
        backup.irImage = merged->image;
    }

    const QByteArray file = session::encodeBackup(
        backup, &read->layout, session::BackupOrigin{QCoreApplication::applicationVersion(), QDateTime::currentDateTime()});
    const QString name = text(backup.effectName);
    const QString summary = QStringLiteral("%1 v%2, %3 settings").arg(name).arg(backup.effectVersion).arg(core::settingsCount(backup));
    QJsonObject json{{QStringLiteral("algorithm"), name},
                     {QStringLiteral("number"), static_cast<qint64>(backup.effectNumber)},
                     {QStringLiteral("settings"), static_cast<qint64>(core::settingsCount(backup))},
                     {QStringLiteral("impulseResponse"), !backup.irImage.empty()}};
    if (const auto out = invocation.value("-o")) {
        const QString path = QString::fromStdString(*out);
        if (const auto problem = session::saveFile(path, file)) {
            return output.fail(QStringLiteral("cannot write ") + path + QStringLiteral(": ") + *problem);
        }
        json.insert(QStringLiteral("output"), path);
        output.line(QStringLiteral("backed up ") + summary + QStringLiteral(" to ") + path);
        output.result(json);
    } else if (output.json()) {
        output.result(json);
        output.note(QStringLiteral("--json without -o: the backup itself is not written"));
    } else {
        std::fwrite(file.constData(), 1, static_cast<std::size_t>(file.size()), stdout);
        std::fflush(stdout);
    }
    return kExitSuccess;
}

int runRestore(const Invocation& invocation, const Output& output) {
    const QString path = QString::fromStdString(invocation.positionals[0]);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return output.fail(QStringLiteral("cannot read ") + path + QStringLiteral(": ") + file.errorString());
    // Everything about the file is checked before the pedal is touched: a refusal sends nothing.
    const auto backup = session::decodeBackup(file.readAll());
    if (!backup) return output.fail(path + QStringLiteral(": ") + text(backup.reason()));
    if (const auto target = core::checkBackup(*backup, catalogueLookup()); !target) {
        return output.fail(path + QStringLiteral(": ") + text(target.reason()));
    }

    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    session::PedalLine line = pedalLineOf(link);
    const auto outcome = session::restorePedalSettings(line, *backup, catalogueLookup());
    if (!outcome) return output.fail(text(outcome.reason()));

    QJsonArray differences;
    for (const std::string& d : outcome->differences) differences.append(text(d));
    output.result(QJsonObject{{QStringLiteral("algorithm"), text(backup->effectName)},
                              {QStringLiteral("uploaded"), outcome->uploaded},
                              {QStringLiteral("total"), static_cast<qint64>(outcome->total)},
                              {QStringLiteral("restored"), static_cast<qint64>(outcome->total - outcome->differences.size())},
                              {QStringLiteral("differences"), differences}});
    if (outcome->uploaded) output.line(QStringLiteral("uploaded ") + text(backup->effectName));
    output.line(text(outcome->summary));
    // The restore ran: what did not take is a warning, with its own status for scripts.
    if (!outcome->differences.empty()) {
        output.note(QStringLiteral("qeltx-cli: warning: %1 of %2 settings did not take")
                        .arg(outcome->differences.size())
                        .arg(outcome->total));
        return kExitPartial;
    }
    return kExitSuccess;
}

}  // namespace qeltx::cli
