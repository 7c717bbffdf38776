// The pedal's reading of an algorithm image: the header (destination, length, parameter
// address table, algorithm number, control count) and the load records that follow it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qeltx::pedal_sim {

inline constexpr std::size_t kImageHeaderSize = 128;
inline constexpr std::size_t kMaxControls = 16;
inline constexpr std::size_t kMaxReadbacks = 4;

// Header offsets.
inline constexpr std::size_t kImageLengthOffset = 1;
inline constexpr std::size_t kImageAddressTableOffset = 3;
inline constexpr std::size_t kImageNumberOffset = 126;
inline constexpr std::size_t kImageControlCountOffset = 127;

// Load record types.
inline constexpr std::uint8_t kRecordWrite = 0x01;
inline constexpr std::uint8_t kRecordFiller = 0x03;  // one byte, nothing follows
inline constexpr std::uint8_t kRecordEnd = 0x06;
// A write record carries a device-address byte and a 16-bit target before its data.
inline constexpr std::size_t kWriteRecordPrefix = 3;
// The first write record targets this processor address; its 4-byte words are the
// parameter memory that the address table points into (word addressing).
inline constexpr std::uint16_t kParameterArea = 0x0000;

struct LoadWrite {
    std::uint8_t device = 0;
    std::uint16_t target = 0;
    std::vector<std::uint8_t> data;
};

struct AlgorithmImage {
    std::vector<std::uint8_t> bytes;  // as stored by the pedal (byte 0 is the destination it came with)
    std::uint16_t length = 0;         // header bytes 1-2
    std::array<std::uint16_t, kMaxControls> addresses{};
    std::uint8_t number = 0;        // byte 126
    std::uint8_t controlCount = 0;  // byte 127
    std::vector<LoadWrite> writes;
};

// The 16-bit length field of bytes 1-2, once three bytes have arrived.
std::uint16_t imageLengthField(std::span<const std::uint8_t> firstBytes);

// Checks an image as the pedal does before taking it: a whole header, a length field equal
// to the bytes given, a control count of at most 16, well-formed load records ending with
// the end record, and zero bytes after it. On failure `problem` says what was wrong.
std::optional<AlgorithmImage> parseAlgorithmImage(std::span<const std::uint8_t> bytes, std::string* problem = nullptr);

// The initial parameter memory: the 4-byte big-endian words of the write record that starts
// at the parameter area, keyed by word address.
std::map<std::uint16_t, std::uint32_t> initialParameterWords(const AlgorithmImage& image);

// The smallest image the pedal accepts: a header naming `number` with `controlCount`
// controls at addresses 0..count-1, a parameter area of zero words and the end record.
// Stands in for an algorithm whose catalogue image is not at hand.
std::vector<std::uint8_t> minimalImage(std::uint8_t number, std::uint8_t controlCount);

}  // namespace qeltx::pedal_sim
