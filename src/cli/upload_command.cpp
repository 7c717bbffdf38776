// qeltx-cli upload: a catalogue algorithm (with an impulse response merged in, for the IR
// loaders) to the pedal as its algorithm or into a bank, confirmed by "Upload complete".
#include "cli/catalogue_access.h"
#include "cli/cli_commands.h"
#include "cli/exit_codes.h"
#include "cli/pedal_link.h"
#include "core/commands.h"
#include "core/effect_browser.h"
#include "core/effect_image.h"
#include "core/pedal_messages.h"

#include <QJsonObject>

#include <algorithm>

namespace qeltx::cli {

namespace {

// The pause after bypass-on before the image goes out, as in the editor.
constexpr int kBypassSettleMs = 40;
constexpr int kLoggedImageChars = 257;
// The largest image takes under a second on the wire; the pedal then stores it in its EEPROM
// before it answers.
constexpr int kUploadConfirmLimitMs = 10000;

core::UploadTarget targetOf(const std::optional<std::string>& bank) {
    if (!bank) return core::UploadTarget::Preset;
    if (*bank == "1") return core::UploadTarget::Bank1;
    if (*bank == "2") return core::UploadTarget::Bank2;
    return core::UploadTarget::Bank3;
}

bool holdsUploadComplete(std::span<const std::uint8_t> bytes) {
    const std::string_view text = core::kUploadCompleteText;
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

}  // namespace

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
    const auto command = core::uploadCommand(image, targetOf(bank));
    if (!command) return output.fail(QStringLiteral("the image of ") + name + QStringLiteral(" is empty"));

    PedalLink link(invocation.connection, output);
    if (const auto problem = link.open()) return output.fail(*problem);
    session::Exchange& exchange = link.exchange();
    link.usb().PurgeFTDeviceRx();
    if (!exchange.send(core::bypassCommand(true))) return output.fail(link.exchange().notSentText(QStringLiteral("the bypass command")));
    link.timing().pause(kBypassSettleMs);

    const QString text = QString::fromStdString(command->text);
    output.log(text.left(kLoggedImageChars));
    output.log(QStringLiteral("size: ") + QString::number(text.size() / 2));
    output.log(QStringLiteral("num of bytes: ") + QString::number(text.size() / 2));
    session::LatencyLowered latency(link.usb());
    if (!exchange.send(*command)) return output.fail(link.exchange().notSentText(QStringLiteral("the image")));
    output.log(QStringLiteral("write to device"));
    output.log(QStringLiteral("Uploading..."));

    // Whatever else the pedal says meanwhile, only its "Upload complete" ends the wait.
    exchange.limits.replyTimeoutMs = kUploadConfirmLimitMs;
    exchange.limits.quietGapMs = kUploadConfirmLimitMs;
    const session::Drained reply = exchange.drainReply(holdsUploadComplete);
    if (reply.outcome != session::DrainOutcome::Complete) {
        if (reply.outcome == session::DrainOutcome::DriverFailed) {
            return output.fail(noReplyText(reply.outcome, QStringLiteral("the upload")));
        }
        return output.fail(QStringLiteral("the pedal did not confirm the upload of ") + name +
                           QStringLiteral(" (no \"Upload complete\" within %1 s)").arg(kUploadConfirmLimitMs / 1000));
    }
    const QString complete = QString::fromUtf8(core::kUploadCompleteText.data(), static_cast<qsizetype>(core::kUploadCompleteText.size()));
    output.log(complete);
    const QString where = bank ? QStringLiteral("bank ") + QString::fromStdString(*bank) : QStringLiteral("preset");
    output.line(complete + QStringLiteral(": ") + name + QStringLiteral(" (") + QString::number(text.size() / 2) +
                QStringLiteral(" bytes, ") + where + QStringLiteral(")"));
    output.result(QJsonObject{{QStringLiteral("name"), name},
                              {QStringLiteral("number"), static_cast<qint64>(effect->number)},
                              {QStringLiteral("bytes"), static_cast<qint64>(text.size() / 2)},
                              {QStringLiteral("target"), where},
                              {QStringLiteral("ir"), irFile ? QJsonValue(QString::fromStdString(*irFile)) : QJsonValue()},
                              {QStringLiteral("confirmed"), true}});
    return kExitSuccess;
}

}  // namespace qeltx::cli
