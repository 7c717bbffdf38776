// qeltx-cli upload: a catalogue algorithm (with an impulse response merged in, for the IR
// loaders) to the pedal as its algorithm or into a bank, confirmed by "Upload complete".
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "cli/stored_algorithm.h"
#include "core/commands.h"
#include "core/effect_browser.h"
#include "core/effect_image.h"
#include "core/pedal_messages.h"
#include "session/settings_conversation.h"

#include <QJsonObject>

namespace qeltx::cli {

int runUpload(const Invocation& invocation, const Output& output) {
    const auto effect = catalogueEffectByName(invocation.positionals[0]);
    if (!effect) return output.usage(QString::fromStdString(effect.reason()));
    const QString name = QString::fromStdString(effect->name);
    std::string image = effect->imageText;
    const std::optional<std::string> irFile = invocation.value("--ir");
    if (irFile) {
        if (const auto geometry = core::irLoaderGeometry(effect->name); !geometry) {
            return output.usage(QStringLiteral("--ir needs an IR-loader algorithm: ") + QString::fromStdString(geometry.reason()));
        }
        const auto shaping = irShapingOf(invocation);
        if (!shaping) return output.usage(QString::fromStdString(shaping.reason()));
        const auto merged = mergeImpulseResponse(*effect, QString::fromStdString(*irFile), *shaping, output);
        if (!merged) return output.fail(QString::fromStdString(merged.reason()));
        output.log(QString::fromStdString(core::irSummaryText(merged->summary)));
        image = merged->image;
        output.log(QStringLiteral("file content size: ") + QString::number(image.size() / 2));
    } else {
        output.log(QStringLiteral("resource name: ") + QString::fromStdString(effect->baseName));
    }
    const std::optional<std::string> bank = invocation.value("--bank");
    if (bank && core::exceedsBankModeLimit(core::imageSizeOfText(image))) {
        return output.usage(name + QStringLiteral(" is larger than 5440 bytes and cannot be stored in a bank."));
    }
    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    // The editor's own upload, waiting for the pedal's "Upload complete".
    session::PedalLine line = pedalLineOf(link);
    session::LatencyLowered latency(link.usb());
    const auto confirmed = session::uploadAndConfirm(line, image, uploadTargetOf(invocation), name);
    if (!confirmed) return output.fail(QString::fromStdString(commandLineReason(confirmed.reason())));
    const QString complete = QString::fromUtf8(core::kUploadCompleteText.data(), static_cast<qsizetype>(core::kUploadCompleteText.size()));
    const QString where = bank ? QStringLiteral("bank ") + QString::fromStdString(*bank) : QStringLiteral("preset");
    output.line(complete + QStringLiteral(": ") + name + QStringLiteral(" (") + QString::number(*confirmed) +
                QStringLiteral(" bytes, ") + where + QStringLiteral(")"));
    output.result(QJsonObject{{QStringLiteral("name"), name},
                              {QStringLiteral("number"), static_cast<qint64>(effect->number)},
                              {QStringLiteral("bytes"), static_cast<qint64>(*confirmed)},
                              {QStringLiteral("target"), where},
                              {QStringLiteral("ir"), irFile ? QJsonValue(QString::fromStdString(*irFile)) : QJsonValue()},
                              {QStringLiteral("confirmed"), true}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
