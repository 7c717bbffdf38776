// Framing of the pedal's normal-mode commands.
#include "pedal_sim/normal_protocol.h"

#include "pedal_sim/algorithm_image.h"

#include <algorithm>

namespace qeltx::pedal_sim {

namespace {
constexpr std::size_t kUploadHead = 3;
}

bool isUpload(std::uint8_t first) {
    return first == cmd::kUploadPreset || first == cmd::kUploadBank1 || first == cmd::kUploadBank2 ||
           first == cmd::kUploadBank3;
}

std::optional<std::size_t> fixedCommandLength(std::uint8_t first) {
    if (isUpload(first)) return kUploadHead;
    switch (first) {
        case cmd::kParameter: return 7;
        case cmd::kRequest: return 2;
        case cmd::kStore: return 2;
        case cmd::kAssign: return 23;
        case cmd::kRestart: return 8;
        case cmd::kQuery: return 2;
        case cmd::kMidi: return 2;
        case cmd::kReverse: return 3;
        case cmd::kLive: return 3;
        case cmd::kEepromErase: return 5;
        case cmd::kEepromRead: return 6;
        case cmd::kBypass: return 2;
        default: return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> CommandFramer::feed(std::uint8_t byte) {
    if (pending_.empty() && !fixedCommandLength(byte)) return std::nullopt;
    pending_.push_back(byte);
    std::size_t wanted = *fixedCommandLength(pending_[0]);
    if (isUpload(pending_[0]) && pending_.size() >= kUploadHead) {
        // A length field below the head cannot be waited for: the head alone is the command.
        wanted = std::max<std::size_t>(kUploadHead, imageLengthField(pending_));
    }
    if (pending_.size() < wanted) return std::nullopt;
    std::vector<std::uint8_t> command;
    command.swap(pending_);
    return command;
}

}  // namespace qeltx::pedal_sim
