// The pedal's command bytes in normal operation and the framing that cuts the byte stream
// into whole commands (each command's length follows from its first byte; an upload's from
// the image header's length field).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qeltx::pedal_sim {

namespace cmd {
inline constexpr std::uint8_t kUploadPreset = 0x00;
inline constexpr std::uint8_t kParameter = 0x01;
inline constexpr std::uint8_t kRequest = 0x02;
inline constexpr std::uint8_t kStore = 0x03;
inline constexpr std::uint8_t kAssign = 0x04;
inline constexpr std::uint8_t kRestart = 0x05;
inline constexpr std::uint8_t kQuery = 0x06;
inline constexpr std::uint8_t kMidi = 0x07;
inline constexpr std::uint8_t kReverse = 0x08;
inline constexpr std::uint8_t kLive = 0x0A;
inline constexpr std::uint8_t kEepromErase = 0x0B;
inline constexpr std::uint8_t kEepromRead = 0x0C;
inline constexpr std::uint8_t kBypass = 0x0D;
inline constexpr std::uint8_t kUploadBank1 = 0x0E;
inline constexpr std::uint8_t kUploadBank2 = 0x0F;
inline constexpr std::uint8_t kUploadBank3 = 0x10;
}  // namespace cmd

// What the pedal sends.
inline constexpr std::uint8_t kControlFrame = 0xAA;
inline constexpr std::uint8_t kEepromDumpFrame = 0xAB;
inline constexpr char kUploadComplete[] = "Upload complete";
inline constexpr std::uint8_t kBankReportPrefix = '0';
inline constexpr std::uint8_t kAlgorithmReportPrefix = '1';
// The restart command's bytes after its first.
inline constexpr std::uint8_t kRestartTail[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

bool isUpload(std::uint8_t first);
// The whole length of a command with this first byte, or nothing for a byte that starts no
// command (the pedal drops it). Uploads report their 3-byte head; see CommandFramer.
std::optional<std::size_t> fixedCommandLength(std::uint8_t first);

// Collects bytes until they make one whole command.
class CommandFramer {
public:
    // The command completed by `byte`, if any.
    std::optional<std::vector<std::uint8_t>> feed(std::uint8_t byte);
    void reset() { pending_.clear(); }
    std::size_t pendingSize() const { return pending_.size(); }

private:
    std::vector<std::uint8_t> pending_;
};

}  // namespace qeltx::pedal_sim
