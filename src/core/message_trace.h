// The last messages between the editor and the pedal, in both directions, with the time each
// went out or came in: what a support report shows of the conversation when something went
// wrong. A bounded ring, so a long session costs no more than its last few hundred messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qeltx::core {

enum class TraceDirection {
    Sent,      // written to the pedal
    Received,  // read from the pedal
};

struct TraceEntry {
    std::int64_t ms = 0;  // a monotonic clock's milliseconds
    TraceDirection direction = TraceDirection::Sent;
    std::vector<std::uint8_t> bytes;  // at most kTraceBytesKept of them
    std::size_t length = 0;           // how many bytes the message had
};

// How many messages the trace keeps, and how many bytes of each: an algorithm image or an
// EEPROM dump is tens of kilobytes, and its first few kilobytes say what support needs.
inline constexpr std::size_t kTraceMessages = 500;
inline constexpr std::size_t kTraceBytesKept = 4096;

class MessageTrace {
public:
    explicit MessageTrace(std::size_t capacity = kTraceMessages);

    // Keeps one message; when the trace is full the oldest goes. An empty one is not kept.
    void record(std::int64_t ms, TraceDirection direction, std::span<const std::uint8_t> bytes);

    // The kept messages, oldest first.
    std::vector<TraceEntry> entries() const;
    // Every message recorded since the start, kept or not.
    std::uint64_t recorded() const { return recorded_; }
    std::size_t capacity() const { return capacity_; }

private:
    std::size_t capacity_;
    std::vector<TraceEntry> ring_;
    std::size_t next_ = 0;  // where the next message goes once the ring is full
    std::uint64_t recorded_ = 0;
};

}  // namespace qeltx::core
