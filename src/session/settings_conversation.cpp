// Reading the pedal's settings into a backup and restoring them.
#include "session/settings_conversation.h"

#include "core/bootloader_frames.h"
#include "core/catalogue_lists.h"
#include "core/impulse_response.h"
#include "core/pedal_messages.h"
#include "core/replies.h"

#include <algorithm>

namespace qeltx::session {

namespace {

constexpr int kBypassSettleMs = 40;  // after bypass-on, before the image, as Upload does
constexpr int kLoggedImageChars = 257;

template <typename T>
core::Refusable<T> refused(const QString& why) {
    return core::Refusable<T>::refused(why.toStdString());
}

QString noReply(DrainOutcome outcome, const QString& what) {
    if (outcome == DrainOutcome::DriverFailed) return QStringLiteral("The connection to the pedal failed while waiting for ") + what + '.';
    return QStringLiteral("The pedal did not answer ") + what +
           QStringLiteral(" in time; check the cable and that the pedal is switched on.");
}

std::string busyText(const LineOwner& owner) {
    const auto running = owner.running();
    return ((running ? conversationName(*running) : QStringLiteral("Another conversation with the pedal")) +
            QStringLiteral(" is running; try again when it has ended."))
        .toStdString();
}

bool holdsUploadComplete(std::span<const std::uint8_t> bytes) {
    const std::string_view text = core::kUploadCompleteText;
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

// Puts the exchange's time limits back however the wait ends.
class LimitsKept {
public:
    explicit LimitsKept(Exchange& exchange) : exchange_(exchange), kept_(exchange.limits) {}
    ~LimitsKept() { exchange_.limits = kept_; }
    LimitsKept(const LimitsKept&) = delete;
    LimitsKept& operator=(const LimitsKept&) = delete;

private:
    Exchange& exchange_;
    ReplyLimits kept_;
};

}  // namespace

core::Refusable<core::StoredEffectReply> queryStoredEffect(PedalLine& line, AnswerReport* report) {
    using Result = core::Refusable<core::StoredEffectReply>;
    AnswerReport unused;
    AnswerReport& told = report ? *report : unused;
    if (!line.exchange.send(core::storedEffectQueryCommand())) {
        told.problem = AnswerProblem::NotSent;
        return refused<core::StoredEffectReply>(line.exchange.notSentText(QStringLiteral("The stored-effect query")) + QLatin1Char('.'));
    }
    if (told.whileAnswering) told.whileAnswering();
    const Drained reply = line.exchange.drainReply([](std::span<const std::uint8_t> bytes) { return core::isTextReplyComplete(bytes); },
                                                    core::kStoredEffectQuerySpec.replyLimitMs);
    line.log(QString::fromStdString(core::receivedBytesLogLine(reply.bytes.size())));
    line.usb.PurgeFTDeviceRx();
    if (reply.bytes.empty() || reply.outcome == DrainOutcome::DriverFailed) {
        told.problem = reply.outcome == DrainOutcome::DriverFailed ? AnswerProblem::ConnectionFailed : AnswerProblem::NoAnswer;
        return refused<core::StoredEffectReply>(noReply(reply.outcome, QStringLiteral("the stored-effect query")));
    }
    // A bootloader that was greeted before takes the query for a command it refuses (or, when
    // the command byte happened to complete one, accepts) with one byte.
    if (reply.bytes.size() == 1 && core::classifyBootloaderReply(reply.bytes) != core::BootloaderReply::Unexpected) {
        told.problem = AnswerProblem::FromBootloader;
        return Result::refused(
            "The pedal answered as its bootloader does: it waits for a firmware upgrade. Choose Upgrade Mode to "
            "upgrade its firmware, or switch it off and on without holding B2 (SAVE) to play it.");
    }
    const auto parsed = core::parse_stored_effect_reply(std::span<const std::uint8_t>(reply.bytes));
    if (!parsed) {
        told.problem = AnswerProblem::NotUnderstood;
        return Result::refused("The pedal's answer to the stored-effect query was not understood: " + parsed.reason());
    }
    for (const std::string& text : core::storedEffectLogLines(*parsed)) line.log(QString::fromStdString(text));
    return parsed;
}

core::Refusable<core::ParameterBlock> requestParameterBlock(PedalLine& line, std::size_t numControls,
                                                            std::size_t numReadbacks, AnswerReport* report) {
    using Result = core::Refusable<core::ParameterBlock>;
    AnswerReport unused;
    AnswerReport& told = report ? *report : unused;
    if (!line.exchange.send(core::requestCommand(numControls))) {
        told.problem = AnswerProblem::NotSent;
        return refused<core::ParameterBlock>(line.exchange.notSentText(QStringLiteral("Request")) + QLatin1Char('.'));
    }
    if (told.whileAnswering) told.whileAnswering();
    const std::size_t expected = core::parameterBlockLength(numControls);
    const Drained reply = line.exchange.drainReply(
        [expected](std::span<const std::uint8_t> bytes) { return core::isNumericReplyComplete(bytes, expected); },
        core::kRequestSpec.replyLimitMs);
    line.usb.PurgeFTDeviceTx();
    line.usb.PurgeFTDeviceRx();
    if (reply.bytes.empty() || reply.outcome == DrainOutcome::DriverFailed) {
        told.problem = reply.outcome == DrainOutcome::DriverFailed ? AnswerProblem::ConnectionFailed : AnswerProblem::NoAnswer;
        return refused<core::ParameterBlock>(noReply(reply.outcome, QStringLiteral("Request")));
    }
    const auto decoded = core::DecodeReplyNumbers(reply.bytes);
    if (!decoded) {
        told.problem = AnswerProblem::NotUnderstood;
        return Result::refused("The pedal's parameters were not understood: " + decoded.reason());
    }
    for (const std::string& text : core::decodeLogLines(*decoded)) line.log(QString::fromStdString(text));
    told.numbers = decoded->values;
    if (decoded->values.size() != expected) {
        told.problem = AnswerProblem::WrongLength;
        return Result::refused("parameter block refused: " + std::to_string(decoded->values.size()) + " bytes received, " +
                               std::to_string(expected) + " expected for " + std::to_string(numControls) + " parameters");
    }
    const auto block = core::parseParameterBlock(decoded->values, numControls, numReadbacks);
    if (!block) told.problem = AnswerProblem::WrongLength;
    return block;
}

core::Refusable<std::size_t> sendUpload(PedalLine& line, const std::string& imageHex, core::UploadTarget target,
                                 const QString& name, bool* notSent) {
    const auto command = core::uploadCommand(imageHex, target);
    if (!command) return refused<std::size_t>(QStringLiteral("The image of ") + name + QStringLiteral(" is empty; nothing was uploaded."));
    if (!line.exchange.send(core::bypassCommand(true))) {
        if (notSent) *notSent = true;
        return refused<std::size_t>(line.exchange.notSentText(QStringLiteral("The bypass command")) + QLatin1Char('.'));
    }
    line.owner.timing().pause(kBypassSettleMs);
    const QString text = QString::fromStdString(command->text);
    line.log(text.left(kLoggedImageChars));
    line.log(QStringLiteral("size: ") + QString::number(text.size() / 2));
    line.log(QStringLiteral("num of bytes: ") + QString::number(text.size() / 2));
    if (!line.exchange.send(*command)) {
        if (notSent) *notSent = true;
        return refused<std::size_t>(line.exchange.notSentText(QStringLiteral("The image of ") + name) + QLatin1Char('.'));
    }
    line.log(QStringLiteral("write to device"));
    return core::Refusable<std::size_t>::accepted(static_cast<std::size_t>(text.size() / 2));
}

core::Refusable<bool> awaitUploadComplete(PedalLine& line, const QString& name) {
    line.log(QStringLiteral("Uploading..."));
    // Whatever else the pedal says meanwhile, only its "Upload complete" ends the wait.
    LimitsKept kept(line.exchange);
    line.exchange.limits.replyTimeoutMs = kUploadConfirmLimitMs;
    line.exchange.limits.quietGapMs = kUploadConfirmLimitMs;
    const Drained reply = line.exchange.drainReply(holdsUploadComplete);
    line.usb.PurgeFTDeviceRx();
    if (reply.outcome != DrainOutcome::Complete) {
        if (reply.outcome == DrainOutcome::DriverFailed) return refused<bool>(noReply(reply.outcome, QStringLiteral("the upload")));
        return refused<bool>(QStringLiteral("The pedal did not confirm the upload of ") + name +
                             QStringLiteral(" (no \"Upload complete\" within %1 s).").arg(kUploadConfirmLimitMs / 1000));
    }
    line.log(QString::fromUtf8(core::kUploadCompleteText.data(), static_cast<qsizetype>(core::kUploadCompleteText.size())));
    return core::Refusable<bool>::accepted(true);
}

core::Refusable<std::size_t> uploadAndConfirm(PedalLine& line, const std::string& imageHex, core::UploadTarget target,
                                              const QString& name) {
    line.usb.PurgeFTDeviceRx();
    const auto sent = sendUpload(line, imageHex, target, name);
    if (!sent) return sent;
    const auto confirmed = awaitUploadComplete(line, name);
    if (!confirmed) return core::Refusable<std::size_t>::refused(confirmed.reason());
    return sent;
}

core::Refusable<PedalBackupRead> readPedalSettings(PedalLine& line, const core::ResourceLookup& lookup) {
    using Result = core::Refusable<PedalBackupRead>;
    const LineOwner::Conversation conversation = line.owner.begin(ConversationKind::BackUpSettings);
    if (!conversation) return Result::refused(busyText(line.owner));
    const auto held = queryStoredEffect(line);
    if (!held) return Result::refused(held.reason());
    if (!held->effectStored) return Result::refused(std::string(core::kNoEffectMessage));
    const auto loaded = core::loadCatalogueEffect(held->effectNumber, lookup);
    if (!loaded.effect) {
        return Result::refused("The pedal holds algorithm number " + std::to_string(held->effectNumber) +
                               ", which this editor's catalogue does not have.");
    }
    const auto layout = core::parseControlLayoutText(loaded.effect->name, loaded.effect->layoutText);
    if (!layout.layout) return Result::refused(layout.error);
    const auto block = requestParameterBlock(line, static_cast<std::size_t>(layout.layout->counts.controls()),
                                             static_cast<std::size_t>(layout.layout->counts.readbacks));
    if (!block) return Result::refused(block.reason());
    PedalBackupRead read;
    read.backup.effectNumber = held->effectNumber;
    read.backup.effectName = loaded.effect->name;
    read.backup.effectVersion = held->effectVersion;
    read.backup.firmwareVersion = held->firmwareVersion;
    read.backup.settings = *block;
    read.layout = *layout.layout;
    core::markAlgorithmDefaults(read.backup, read.layout);
    return Result::accepted(std::move(read));
}

core::Refusable<RestoreOutcome> restorePedalSettings(PedalLine& line, const core::SettingsBackup& backup,
                                                     const core::ResourceLookup& lookup, bool* changedPedal) {
    using Result = core::Refusable<RestoreOutcome>;
    const auto target = core::checkBackup(backup, lookup);
    if (!target) return Result::refused(target.reason());
    const LineOwner::Conversation conversation = line.owner.begin(ConversationKind::RestoreSettings);
    if (!conversation) return Result::refused(busyText(line.owner));
    const core::ControlLayout& layout = target->layout;
    const auto numControls = static_cast<std::size_t>(layout.counts.controls());
    const auto numReadbacks = static_cast<std::size_t>(layout.counts.readbacks);

    const auto held = queryStoredEffect(line);
    if (!held) return Result::refused(held.reason());
    std::optional<core::ParameterBlock> heldSettings;
    if (held->effectStored && held->effectNumber == backup.effectNumber) {
        const auto block = requestParameterBlock(line, numControls, numReadbacks);
        if (!block) return Result::refused(block.reason());
        heldSettings = *block;
    }
    RestoreOutcome outcome;
    outcome.uploaded = core::restoreNeedsUpload(backup, held->effectStored, held->effectNumber,
                                                heldSettings ? &*heldSettings : nullptr);
    if (changedPedal) *changedPedal = true;
    if (outcome.uploaded) {
        const std::string& image = backup.irImage.empty() ? target->effect.imageText : backup.irImage;
        const auto uploaded = uploadAndConfirm(line, image, core::uploadTargetOf(backup),
                                               QString::fromStdString(backup.effectName));
        if (!uploaded) return Result::refused(uploaded.reason());
    }
    for (const core::PedalCommand& command : core::restoreCommands(backup, target->effect.header)) {
        line.log(QString::fromStdString(command.text));
        if (!line.exchange.send(command) || line.usb.lastDeviceStatus != core::FT_OK) {
            return Result::refused("The connection to the pedal failed while restoring its settings.");
        }
    }

    const auto after = queryStoredEffect(line);
    if (!after) return Result::refused(after.reason());
    const auto block = requestParameterBlock(line, numControls, numReadbacks);
    if (!block) return Result::refused(block.reason());
    outcome.readBack = backup;
    outcome.readBack.effectNumber = after->effectNumber;
    outcome.readBack.effectVersion = after->effectVersion;
    outcome.readBack.firmwareVersion = after->firmwareVersion;
    outcome.readBack.settings = *block;
    outcome.total = core::settingsCount(backup);
    outcome.differences = core::settingsDifferences(backup, layout, after->effectStored ? after->effectNumber : 0, *block);
    outcome.summary = core::restoreSummary(outcome.total, outcome.differences);
    // An impulse-response algorithm uploaded from a backup without its response runs the
    // catalogue's own: said, since the player's response is not on the pedal.
    if (outcome.uploaded && backup.irImage.empty() && core::irLoaderGeometry(backup.effectName)) {
        outcome.summary += "; the backup holds no impulse response, so " + backup.effectName +
                           " was uploaded with its own";
    }
    line.log(QString::fromStdString(outcome.summary));
    return Result::accepted(std::move(outcome));
}

}  // namespace qeltx::session
