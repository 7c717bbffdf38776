// qeltx-cli's list, query, request and set: the pedal's devices, the algorithm it holds, its
// parameter block, and one parameter value.
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "cli/stored_algorithm.h"
#include "core/assignments.h"
#include "core/commands.h"
#include "core/parameter_block.h"
#include "core/replies.h"
#include "core/settings_backup.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace qeltx::cli {

namespace {

QString text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The control kinds and names are the backup's own (core), so both say the same.
QString kindName(core::ParameterKind kind) { return text(core::parameterKindName(kind)); }

QString nameOfControl(const core::ControlLayout& layout, std::size_t i) {
    return QString::fromStdString(core::controlName(layout, i));
}

const core::MultiSwitchRow& multiSwitchRow(const core::ControlLayout& layout, std::size_t i) {
    return layout.multiSwitchRows[i - static_cast<std::size_t>(layout.counts.pots + layout.counts.switches)];
}

QString footswitchLabel(std::uint8_t code) {
    if (code == core::kNoAssignment) return text(core::kNoAssignmentLabel);
    if (const auto choice = core::footswitchChoiceFromCode(code); choice && *choice < core::kFootswitchNoneIndex) {
        return text(core::kFootswitchChoices[static_cast<std::size_t>(*choice)]);
    }
    return QStringLiteral("code ") + QString::number(code);
}

QString assignmentText(std::uint8_t code) {
    const std::string_view label = core::assignmentLabel(code);
    return label.empty() ? QStringLiteral("code ") + QString::number(code) : text(label);
}

QString readbackLabel(std::uint8_t code) {
    if (code == core::kNoAssignment) return text(core::kNoAssignmentLabel);
    if (code < core::kReadbackChoices.size()) return text(core::kReadbackChoices[code]);
    return QStringLiteral("code ") + QString::number(code);
}

QJsonValue reverseJson(std::uint8_t flag) {
    const auto state = core::reverseFlagState(flag);
    return state ? QJsonValue(*state) : QJsonValue();
}

QString reverseText(std::uint8_t flag) {
    const auto state = core::reverseFlagState(flag);
    return state ? (*state ? QStringLiteral("on") : QStringLiteral("off")) : QStringLiteral("code ") + QString::number(flag);
}

QJsonObject algorithmJson(const StoredAlgorithm& stored) {
    return QJsonObject{{QStringLiteral("number"), static_cast<qint64>(stored.reply.effectNumber)},
                       {QStringLiteral("name"), QString::fromStdString(stored.effect.name)},
                       {QStringLiteral("version"), static_cast<qint64>(stored.reply.effectVersion)},
                       {QStringLiteral("firmwareVersion"), static_cast<qint64>(stored.reply.firmwareVersion)}};
}

}  // namespace

int runList(const Invocation& invocation, const Output& output) {
    PedalLink link(invocation.connection, output);
    const std::vector<ListedDevice> devices = link.listDevices();
    output.log(QStringLiteral("FT device count: ") + QString::number(devices.size()));
    QJsonArray array;
    for (const ListedDevice& d : devices) {
        array.append(QJsonObject{{QStringLiteral("index"), static_cast<qint64>(d.index)},
                                 {QStringLiteral("serial"), QString::fromStdString(d.serial)},
                                 {QStringLiteral("description"), QString::fromStdString(d.description)},
                                 {QStringLiteral("backend"), QString::fromStdString(d.backend)}});
        output.line(QStringLiteral("%1  %2  %3  (%4)")
                        .arg(d.index)
                        .arg(QString::fromStdString(d.serial), QString::fromStdString(d.description),
                             QString::fromStdString(d.backend)));
    }
    if (devices.empty()) output.line(QStringLiteral("No device found"));
    output.result(QJsonObject{{QStringLiteral("devices"), array}});
    return kExitSuccess;
}

int runQuery(const Invocation& invocation, const Output& output) {
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    const auto reply = askStoredEffect(link);
    if (!reply) return output.fail(QString::fromStdString(reply.reason()));

    QJsonObject json{{QStringLiteral("stored"), reply->effectStored},
                     {QStringLiteral("firmwareVersion"), static_cast<qint64>(reply->firmwareVersion)}};
    if (!reply->effectStored) {
        output.line(text(core::kNoEffectMessage));
    } else {
        const auto effect = catalogueEffectByNumber(reply->effectNumber);
        const QString name = effect ? QString::fromStdString(effect->name) : QString();
        if (effect) output.log(QString::fromStdString(core::storedEffectNameLogLine(effect->name)));
        json.insert(QStringLiteral("number"), static_cast<qint64>(reply->effectNumber));
        json.insert(QStringLiteral("name"), effect ? QJsonValue(name) : QJsonValue());
        json.insert(QStringLiteral("version"), static_cast<qint64>(reply->effectVersion));
        output.line(QStringLiteral("algorithm: ") + QString::number(reply->effectNumber) + QStringLiteral(" ") +
                    (effect ? name : QStringLiteral("(not in this catalogue)")));
        output.line(QStringLiteral("version: ") + QString::number(reply->effectVersion));
    }
    output.line(text(core::firmwareVersionLabel(reply->firmwareVersion)));
    output.result(json);
    return kExitSuccess;
}

int runRequest(const Invocation& invocation, const Output& output) {
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    const auto stored = storedAlgorithm(link);
    if (!stored) return output.fail(QString::fromStdString(stored.reason()));
    const core::ControlLayout& layout = stored->layout;
    const auto numControls = static_cast<std::size_t>(layout.counts.controls());
    const auto numReadbacks = static_cast<std::size_t>(layout.counts.readbacks);

    // The editor's own Request conversation.
    session::PedalLine line = pedalLineOf(link);
    session::LatencyLowered latency(link.usb());
    const auto block = session::requestParameterBlock(line, numControls, numReadbacks);
    if (!block) return output.fail(QString::fromStdString(commandLineReason(block.reason())));

    output.line(QStringLiteral("algorithm: %1 %2 v%3")
                    .arg(stored->reply.effectNumber)
                    .arg(QString::fromStdString(stored->effect.name))
                    .arg(stored->reply.effectVersion));
    QJsonArray controls;
    for (std::size_t i = 0; i < numControls; ++i) {
        const core::ParameterKind kind = core::parameterKindOf(layout, i);
        const std::int32_t value = block->values[i];
        QJsonObject control{{QStringLiteral("index"), static_cast<qint64>(i)},
                            {QStringLiteral("name"), nameOfControl(layout, i)},
                            {QStringLiteral("kind"), kindName(kind)},
                            {QStringLiteral("value"), value},
                            {QStringLiteral("assignment"), assignmentText(block->assignments[i])},
                            {QStringLiteral("reverse"), reverseJson(block->reverseFlags[i])}};
        QString shown = QString::number(value);
        if (kind == core::ParameterKind::Switch || kind == core::ParameterKind::Button) {
            if (const auto on = core::switchStateFromValue(value)) shown = *on ? QStringLiteral("on") : QStringLiteral("off");
        } else if (kind == core::ParameterKind::MultiSwitch) {
            const core::MultiSwitchRow& row = multiSwitchRow(layout, i);
            const auto option = core::multiSwitchOptionFromValue(value, static_cast<int>(row.options.size()));
            control.insert(QStringLiteral("option"), option ? QJsonValue(*option) : QJsonValue());
            if (option) {
                const QString optionName = QString::fromStdString(row.options[static_cast<std::size_t>(*option)]);
                control.insert(QStringLiteral("optionName"), optionName);
                shown += QStringLiteral(" (") + optionName + QStringLiteral(")");
            }
        }
        controls.append(control);
        output.line(QStringLiteral("  %1 %2 [%3]: %4, assigned %5, reverse %6")
                        .arg(i)
                        .arg(nameOfControl(layout, i), kindName(kind), shown, assignmentText(block->assignments[i]),
                             reverseText(block->reverseFlags[i])));
    }
    QJsonArray readbacks;
    for (std::size_t j = 0; j < numReadbacks; ++j) {
        const QString name = QString::fromStdString(layout.readbackNames[j]);
        readbacks.append(QJsonObject{{QStringLiteral("index"), static_cast<qint64>(j)},
                                     {QStringLiteral("name"), name},
                                     {QStringLiteral("assignment"), readbackLabel(block->readbackAssignments[j])}});
        output.line(QStringLiteral("read-back %1 %2: %3").arg(j).arg(name, readbackLabel(block->readbackAssignments[j])));
    }
    output.line(QStringLiteral("bypass toggle: ") + footswitchLabel(block->bypassAssignment));
    output.line(QStringLiteral("preset change: ") + footswitchLabel(block->presetAssignment));

    QJsonObject json{{QStringLiteral("algorithm"), algorithmJson(*stored)},
                     {QStringLiteral("controls"), controls},
                     {QStringLiteral("readbacks"), readbacks},
                     {QStringLiteral("bypassAssignment"), footswitchLabel(block->bypassAssignment)},
                     {QStringLiteral("presetAssignment"), footswitchLabel(block->presetAssignment)}};
    const auto mode = core::pedalModeFromBlock(block->mode);
    if (mode == core::PedalMode::Bank) {
        const auto bank = core::bankIndexFromBlock(block->bankOrPreset);
        json.insert(QStringLiteral("mode"), QStringLiteral("bank"));
        json.insert(QStringLiteral("bank"), bank ? QJsonValue(*bank + 1) : QJsonValue());
        output.line(QStringLiteral("mode: bank, bank ") + (bank ? QString::number(*bank + 1) : QStringLiteral("none")));
    } else if (mode == core::PedalMode::Preset) {
        json.insert(QStringLiteral("mode"), QStringLiteral("preset"));
        json.insert(QStringLiteral("preset"), block->bankOrPreset);
        output.line(QStringLiteral("mode: preset, preset ") + QString::number(block->bankOrPreset));
    } else {
        json.insert(QStringLiteral("mode"), QJsonValue());
        output.line(QStringLiteral("mode: code ") + QString::number(block->mode));
    }
    const auto midi = core::midiMenuItemFromBlock(block->midiChannel);
    const QJsonValue midiJson = !midi ? QJsonValue() : *midi == 0 ? QJsonValue(QStringLiteral("OMNI")) : QJsonValue(*midi);
    json.insert(QStringLiteral("midiChannel"), midiJson);
    output.line(QStringLiteral("MIDI channel: ") +
                (!midi ? QStringLiteral("code ") + QString::number(block->midiChannel)
                       : *midi == 0 ? QStringLiteral("OMNI") : QString::number(*midi)));
    output.result(json);
    return kExitSuccess;
}

int runSet(const Invocation& invocation, const Output& output) {
    const std::string& indexText = invocation.positionals[0];
    const std::string& valueText = invocation.positionals[1];
    const auto index = parseDecimal(indexText, core::kMaxControls - 1);
    if (!index) return output.usage(QStringLiteral("INDEX is a control number 0..15, not '") + QString::fromStdString(indexText) + "'");

    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    const auto stored = storedAlgorithm(link);
    if (!stored) return output.fail(QString::fromStdString(stored.reason()));
    const core::ControlLayout& layout = stored->layout;
    const auto numControls = static_cast<std::uint32_t>(layout.counts.controls());
    if (*index >= numControls) {
        return output.usage(QStringLiteral("%1 has %2 controls (0..%3); there is no control %4")
                                .arg(QString::fromStdString(stored->effect.name))
                                .arg(numControls)
                                .arg(static_cast<int>(numControls) - 1)
                                .arg(*index));
    }
    const std::uint16_t address = stored->effect.header.addresses[*index];
    const core::ParameterKind kind = core::parameterKindOf(layout, *index);
    std::optional<core::PedalCommand> command;
    QString label;
    switch (kind) {
        case core::ParameterKind::Pot:
            if (const auto v = parseDecimal(valueText, core::kPotMax)) command = core::potCommand(address, *v);
            label = QStringLiteral("data sent pot ");
            break;
        case core::ParameterKind::Switch:
        case core::ParameterKind::Button: {
            const bool on = valueText == "on" || valueText == "1" || valueText == "1024";
            const bool off = valueText == "off" || valueText == "0";
            if (on || off) command = kind == core::ParameterKind::Switch ? core::switchCommand(address, on) : core::buttonCommand(address, on);
            label = kind == core::ParameterKind::Switch ? QStringLiteral("data sent switch ") : QStringLiteral("data sent button ");
            break;
        }
        case core::ParameterKind::MultiSwitch: {
            const core::MultiSwitchRow& row = multiSwitchRow(layout, *index);
            const int count = static_cast<int>(row.options.size());
            std::optional<std::uint32_t> option = parseDecimal(valueText, static_cast<std::uint32_t>(count - 1));
            for (int k = 0; !option && k < count; ++k) {
                if (sameNameIgnoringCase(row.options[static_cast<std::size_t>(k)], valueText)) option = static_cast<std::uint32_t>(k);
            }
            if (option) command = core::multiSwitchCommand(address, count, static_cast<int>(*option));
            label = QStringLiteral("data sent multiswitch ");
            break;
        }
    }
    if (!command) {
        const QString expected = kind == core::ParameterKind::Pot ? QStringLiteral("0..1023")
                                 : kind == core::ParameterKind::MultiSwitch
                                     ? QStringLiteral("an option 0..%1 or its name").arg(multiSwitchRow(layout, *index).options.size() - 1)
                                     : QStringLiteral("on or off");
        return output.usage(QStringLiteral("control %1 (%2) is a %3 and takes %4, not '%5'")
                                .arg(*index)
                                .arg(nameOfControl(layout, *index), kindName(kind), expected, QString::fromStdString(valueText)));
    }
    const QString commandText = QString::fromStdString(command->text);
    output.log(label + QString::number(*index) + QStringLiteral(": ") + commandText);
    if (!link.exchange().send(*command)) return output.fail(link.exchange().notSentText(QStringLiteral("the parameter command")));
    output.line(QStringLiteral("%1 %2 = %3 (sent %4)")
                    .arg(*index)
                    .arg(nameOfControl(layout, *index), QString::fromStdString(valueText), commandText));
    output.result(QJsonObject{{QStringLiteral("algorithm"), algorithmJson(*stored)},
                              {QStringLiteral("index"), static_cast<qint64>(*index)},
                              {QStringLiteral("name"), nameOfControl(layout, *index)},
                              {QStringLiteral("kind"), kindName(kind)},
                              {QStringLiteral("command"), commandText}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
