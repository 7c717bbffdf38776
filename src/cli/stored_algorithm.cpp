// The stored-effect query over qeltx-cli's link.
#include "cli/stored_algorithm.h"

#include "cli/catalogue_access.h"
#include "core/commands.h"
#include "core/replies.h"
#include "session/settings_conversation.h"

namespace qeltx::cli {

std::string commandLineReason(const std::string& reason) {
    // The session's sentences, as the command line words its errors: lower case, no full stop.
    std::string text = reason;
    if (!text.empty() && text.back() == '.') text.pop_back();
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

session::PedalLine pedalLineOf(PedalLink& link) {
    return session::PedalLine{link.exchange(), link.usb(), link.line(), link.output().logSink()};
}

core::Refusable<core::StoredEffectReply> askStoredEffect(PedalLink& link) {
    // The editor's own query conversation.
    session::PedalLine line = pedalLineOf(link);
    const auto reply = session::queryStoredEffect(line);
    if (!reply) return core::Refusable<core::StoredEffectReply>::refused(commandLineReason(reply.reason()));
    return reply;
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
