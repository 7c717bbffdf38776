// qeltx-cli preset save and preset load: the editor's Save Configuration and Load Configuration
// from the command line, on the same query, Request and upload conversations and the same
// preset file reader and writer.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "cli/stored_algorithm.h"
#include "core/preset_algorithm.h"
#include "core/preset_file.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"
#include "session/save_file.h"
#include "session/settings_conversation.h"

#include <QFile>
#include <QJsonObject>

namespace qeltx::cli {

namespace {

std::vector<std::string> effectListLines() {
    const auto list = resources::catalogueResource(core::kEffectListResource);
    return list ? core::splitLines(*list) : std::vector<std::string>{};
}

QJsonObject algorithmJson(std::uint32_t number, const std::string& name, std::uint32_t version) {
    return QJsonObject{{QStringLiteral("number"), static_cast<qint64>(number)},
                       {QStringLiteral("name"), QString::fromStdString(name)},
                       {QStringLiteral("version"), static_cast<qint64>(version)}};
}

}  // namespace

int runPresetSave(const Invocation& invocation, const Output& output) {
    const QString path = QString::fromStdString(invocation.positionals[0]);
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    // A preset holds the pedal's values as the editor's Request reads them.
    const auto sound = readPedalSound(link);
    if (!sound) return output.fail(QString::fromStdString(sound.reason()));
    const StoredAlgorithm* stored = &sound->stored;
    const core::PresetFile& preset = sound->preset;
    const auto numControls = static_cast<std::size_t>(stored->layout.counts.controls());
    const auto numReadbacks = static_cast<std::size_t>(stored->layout.counts.readbacks);
    if (const auto problem = session::saveFile(path, QByteArray::fromStdString(core::formatPresetFile(preset)))) {
        return output.fail(QStringLiteral("error saving file: ") + *problem);
    }
    output.line(QStringLiteral("File saved successfully: ") + path);
    output.result(QJsonObject{{QStringLiteral("algorithm"), algorithmJson(preset.effectNumber, stored->effect.name, preset.effectVersion)},
                              {QStringLiteral("file"), path},
                              {QStringLiteral("controls"), static_cast<qint64>(numControls)},
                              {QStringLiteral("readbacks"), static_cast<qint64>(numReadbacks)}});
    return kExitSuccess;
}

int runPresetLoad(const Invocation& invocation, const Output& output) {
    const QString path = QString::fromStdString(invocation.positionals[0]);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return output.fail(QStringLiteral("error loading file: ") + file.errorString());
    if (file.size() > core::kLargestPresetFile) return output.fail(QStringLiteral("it is not a preset file: ") + path);
    const auto preset = core::parsePresetFile(file.readAll().toStdString());
    if (!preset) {
        return output.fail(QStringLiteral("it is not a preset file: ") + QString::fromStdString(preset.reason()));
    }
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    const auto reply = askStoredEffect(link);
    if (!reply) return output.fail(QString::fromStdString(reply.reason()));
    std::optional<core::HeldForPreset> held;
    if (reply->effectStored) {
        const auto heldEffect = catalogueEffectByNumber(reply->effectNumber);
        held = core::HeldForPreset{reply->effectNumber, heldEffect ? heldEffect->name
                                                                   : "algorithm number " + std::to_string(reply->effectNumber)};
    }
    // The editor's Load Configuration decides the same way; nothing is sent before it has.
    const auto plan = core::planPresetLoad(*preset, held, invocation.has("--bank"), catalogueLookup(), effectListLines());
    if (!plan) return output.fail(QString::fromStdString(commandLineReason(plan.reason())));
    const QString name = QString::fromStdString(plan->effect.name);
    bool uploaded = false;
    if (plan->otherAlgorithm) {
        const QString refusal = QString::fromStdString(commandLineReason(*plan->otherAlgorithm));
        if (!invocation.has("--upload")) return output.fail(refusal + QStringLiteral(" (--upload uploads %1 first)").arg(name));
        output.log(refusal);
        session::PedalLine line = pedalLineOf(link);
        // The catalogue's own image: a response merged for an IR loader belongs to another sound.
        const auto confirmed = session::uploadAndConfirm(line, plan->effect.imageText, uploadTargetOf(invocation), name);
        if (!confirmed) return output.fail(QString::fromStdString(commandLineReason(confirmed.reason())));
        uploaded = true;
    }
    // Every value the editor's panel would show goes out, switches included; the first that does
    // not go out whole ends it.
    qint64 sent = 0;
    for (const core::PresetValueCommand& change : core::presetValueChanges(*preset, plan->layout, plan->effect.header)) {
        output.log(QStringLiteral("data sent %1: ").arg(change.control) + QString::fromStdString(change.command.text));
        if (!link.exchange().send(change.command)) {
            return output.fail(link.exchange().notSentText(QStringLiteral("the preset's values")));
        }
        ++sent;
    }
    output.line(QStringLiteral("File loaded successfully: ") + path);
    output.result(QJsonObject{{QStringLiteral("algorithm"), algorithmJson(preset->effectNumber, plan->effect.name, preset->effectVersion)},
                              {QStringLiteral("file"), path},
                              {QStringLiteral("uploaded"), uploaded},
                              {QStringLiteral("valuesSent"), sent}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
