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

core::Refusable<PedalSound> readPedalSound(PedalLink& link) {
    using Result = core::Refusable<PedalSound>;
    const auto stored = storedAlgorithm(link);
    if (!stored) return Result::refused(stored.reason());
    session::PedalLine line = pedalLineOf(link);
    session::LatencyLowered latency(link.usb());
    const auto block = session::requestParameterBlock(line, static_cast<std::size_t>(stored->layout.counts.controls()),
                                                      static_cast<std::size_t>(stored->layout.counts.readbacks));
    if (!block) return Result::refused(commandLineReason(block.reason()));
    core::PresetFile preset;
    preset.effectNumber = stored->reply.effectNumber;
    preset.effectVersion = stored->reply.effectVersion;
    preset.values = block->values;
    preset.assignments = block->assignments;
    preset.readbackAssignments = block->readbackAssignments;
    return Result::accepted(PedalSound{*stored, std::move(preset)});
}

}  // namespace qeltx::cli
