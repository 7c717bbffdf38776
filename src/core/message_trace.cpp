// The bounded trace of messages to and from the pedal.
#include "core/message_trace.h"

#include <algorithm>

namespace qeltx::core {

MessageTrace::MessageTrace(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void MessageTrace::record(std::int64_t ms, TraceDirection direction, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    const auto kept = bytes.first(std::min(bytes.size(), kTraceBytesKept));
    TraceEntry entry{ms, direction, std::vector<std::uint8_t>(kept.begin(), kept.end()), bytes.size()};
    ++recorded_;
    if (ring_.size() < capacity_) {
        ring_.push_back(std::move(entry));
        return;
    }
    ring_[next_] = std::move(entry);
    next_ = (next_ + 1) % capacity_;
}

std::vector<TraceEntry> MessageTrace::entries() const {
    std::vector<TraceEntry> ordered;
    ordered.reserve(ring_.size());
    // Once full, the oldest sits where the next message will go.
    ordered.insert(ordered.end(), ring_.begin() + static_cast<std::ptrdiff_t>(next_), ring_.end());
    ordered.insert(ordered.end(), ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(next_));
    return ordered;
}

}  // namespace qeltx::core
