// The algorithm image as the catalogue stores it: one line of upper-case hex, two digits per
// byte, holding a 128-byte header (destination, length, the 16 parameter addresses, the
// algorithm number and control count) and the load records for the pedal's audio processor.
// The editor itself uses only the size and the address fields; the virtual pedal and the
// catalogue tools read the rest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

namespace image_layout {
inline constexpr std::size_t kHeaderSize = 128;
inline constexpr std::size_t kDestinationOffset = 0;    // 0x00 in the catalogue; the bank code on upload
inline constexpr std::size_t kLengthOffset = 1;         // 16-bit, header included
inline constexpr std::size_t kAddressTableOffset = 3;   // 16 entries of 16 bits
inline constexpr std::size_t kAddressCount = 16;
inline constexpr std::size_t kTablesOffset = 35;        // 91 bytes for the pedal's own use
inline constexpr std::size_t kNumberOffset = 126;       // the algorithm's EFFECT_LIST number
inline constexpr std::size_t kControlCountOffset = 127;
inline constexpr std::size_t kRecordsOffset = 128;
// In the image text the address fields are four hex characters each from character 7 (1-based).
inline constexpr std::size_t kAddressTextOffset = 6;
inline constexpr std::size_t kAddressFieldLength = 4;
}  // namespace image_layout

namespace load_record {
inline constexpr std::uint8_t kWrite = 0x01;   // 16-bit length L, device byte, 16-bit target, L - 3 data bytes
inline constexpr std::uint8_t kFiller = 0x03;  // the one byte alone
inline constexpr std::uint8_t kEnd = 0x06;     // zero bytes follow up to the image length
inline constexpr std::size_t kWritePrefix = 3;  // device byte and target address, counted in L
// Targets of the processor's memories: parameter words (4 bytes each, one address per word),
// program, and the small register writes.
inline constexpr std::uint16_t kParameterArea = 0x0000;
inline constexpr std::uint16_t kProgramArea = 0x0400;
inline constexpr std::uint16_t kRegisterArea = 0x0800;
inline constexpr std::size_t kParameterWordSize = 4;
}  // namespace load_record

// The size measure of the browser and the upload: the image text's length div 2, as a 16-bit
// unsigned number. The text decides, not the length field.
std::uint16_t imageSizeOfText(std::string_view imageText);

// The 16 address fields of an image text, verbatim (characters 7 + 4i to 10 + 4i, 1-based).
// A text shorter than 70 characters gives short or empty fields from that point on.
std::array<std::string, image_layout::kAddressCount> parameterAddressFields(std::string_view imageText);

struct ImageHeader {
    std::uint8_t destination = 0;
    std::uint16_t length = 0;
    std::array<std::uint16_t, image_layout::kAddressCount> addresses{};
    std::uint8_t effectNumber = 0;
    std::uint8_t controlCount = 0;
};

struct ImageHeaderResult {
    std::optional<ImageHeader> header;
    std::string error;  // empty when read
};

// The header of image bytes; refused when fewer than 128 bytes are given.
ImageHeaderResult parseImageHeader(std::span<const std::uint8_t> image);
// The same from image text (only its first 256 characters are read); refused when they are
// not 128 bytes of hex.
ImageHeaderResult parseImageHeaderText(std::string_view imageText);

struct LoadRecord {
    std::uint8_t type = 0;
    std::size_t offset = 0;  // of the type byte in the image
    // Writes only:
    std::uint8_t deviceAddress = 0;
    std::uint16_t targetAddress = 0;
    std::size_t dataOffset = 0;
    std::size_t dataLength = 0;
};

struct LoadRecordsResult {
    std::vector<LoadRecord> records;  // in image order, the end record last
    std::string error;                // empty when every record up to the end record reads
    std::size_t errorOffset = 0;      // the byte where reading stopped, when refused
};

// The load records from byte 128: writes, fillers and the end record, then only zero bytes.
// Refused at the first byte that is not a record type, a write that runs past the image, a
// missing end record, or a non-zero byte after it.
LoadRecordsResult parseLoadRecords(std::span<const std::uint8_t> image);

}  // namespace qeltx::core
