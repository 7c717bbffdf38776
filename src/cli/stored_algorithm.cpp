// The stored-effect query over qeltx-cli's link.
#include "cli/stored_algorithm.h"

#include "cli/catalogue_access.h"
#include "core/commands.h"
#include "core/replies.h"

namespace qeltx::cli {

core::Refusable<core::StoredEffectReply> askStoredEffect(PedalLink& link) {
    using Result = core::Refusable<core::StoredEffectReply>;
    session::Exchange& exchange = link.exchange();
    if (!exchange.send(core::storedEffectQueryCommand())) {
        return Result::refused(link.exchange().notSentText(QStringLiteral("the stored-effect query")).toStdString());
    }
    const session::Drained reply =
        exchange.drainReply([](std::span<const std::uint8_t> bytes) { return core::isTextReplyComplete(bytes); },
                            core::kStoredEffectQuerySpec.replyLimitMs);
    link.output().log(QString::fromStdString(core::receivedBytesLogLine(reply.bytes.size())));
    link.usb().PurgeFTDeviceRx();
    if (reply.bytes.empty() || reply.outcome == session::DrainOutcome::DriverFailed) {
        return Result::refused(noReplyText(reply.outcome, QStringLiteral("the stored-effect query")).toStdString());
    }
    const auto parsed = core::parse_stored_effect_reply(std::span<const std::uint8_t>(reply.bytes));
    if (!parsed) return Result::refused("the pedal's answer to the stored-effect query was not understood: " + parsed.reason());
    for (const std::string& line : core::storedEffectLogLines(*parsed)) link.output().log(QString::fromStdString(line));
    return parsed;
}

core::Refusable<StoredAlgorithm> storedAlgorithm(PedalLink& link) {
    using Result = core::Refusable<StoredAlgorithm>;
    const auto reply = askStoredEffect(link);
    if (!reply) return Result::refused(reply.reason());
    if (!reply->effectStored) return Result::refused(std::string(core::kNoEffectMessage));
    const auto effect = catalogueEffectByNumber(reply->effectNumber);
    if (!effect) {
        return Result::refused("the pedal holds algorithm number " + std::to_string(reply->effectNumber) +
                               ", which this catalogue cannot give: " + effect.reason());
    }
    link.output().log(QString::fromStdString(core::storedEffectNameLogLine(effect->name)));
    const auto layout = layoutOf(*effect);
    if (!layout) return Result::refused(layout.reason());
    return Result::accepted(StoredAlgorithm{*reply, *effect, *layout});
}

}  // namespace qeltx::cli
