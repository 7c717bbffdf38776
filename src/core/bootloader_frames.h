// The frames of the microcontroller's serial bootloader (ST AN3155, USART, even parity) that
// the flasher writes, the firmware image cut into Write Memory chunks, the firmware marker,
// and Intel HEX firmware files read into an image. Frames are raw bytes, never command text.
#pragma once

#include "core/refusable.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::core {

// ---- Bytes of the protocol (AN3155) -----------------------------------------------------

namespace bootloader {
inline constexpr std::uint8_t kSync = 0x7F;  // answered by kAck
inline constexpr std::uint8_t kAck = 0x79;
inline constexpr std::uint8_t kNack = 0x1F;

inline constexpr std::uint8_t kGet = 0x00;
inline constexpr std::uint8_t kGetVersion = 0x01;
inline constexpr std::uint8_t kGetId = 0x02;
inline constexpr std::uint8_t kReadMemory = 0x11;
inline constexpr std::uint8_t kGo = 0x21;
inline constexpr std::uint8_t kWriteMemory = 0x31;
inline constexpr std::uint8_t kErase = 0x43;
inline constexpr std::uint8_t kExtendedErase = 0x44;

// The most data bytes one Write Memory or Read Memory carries.
inline constexpr std::size_t kMaxBlock = 256;
// The most pages one (standard) Erase lists.
inline constexpr std::size_t kMaxErasePages = 255;
}  // namespace bootloader

// ---- Flash layout of the pedal's microcontroller ----------------------------------------

inline constexpr std::uint32_t kFlashBase = 0x08000000;
// The firmware marker's address; the application must end below it.
inline constexpr std::uint32_t kFirmwareMarkerAddress = 0x0801FC00;
inline constexpr std::uint32_t kFlashImageEnd = kFirmwareMarkerAddress;           // exclusive
inline constexpr std::size_t kMaxFirmwareSize = kFlashImageEnd - kFlashBase;       // 130,048 bytes

// ---- Frames ------------------------------------------------------------------------------

using Frame = std::vector<std::uint8_t>;

// The XOR of all bytes.
std::uint8_t xorChecksum(std::span<const std::uint8_t> bytes);

// A command code and its complement (Write Memory: 31 CE).
Frame commandFrame(std::uint8_t code);
// The four address bytes, most significant first, and their XOR (0x08000000 → 08 00 00 00 08).
Frame addressFrame(std::uint32_t address);
// Write Memory's data block: N − 1, the N data bytes, the XOR of N − 1 and the data. Nothing
// for an empty block or one above 256 bytes.
std::optional<Frame> writeDataFrame(std::span<const std::uint8_t> data);
// Erase's whole-memory selector: FF 00.
Frame globalEraseFrame();
// Erase's page list: N − 1, the page numbers, their XOR with N − 1. Nothing for no page or
// more than 255.
std::optional<Frame> pageEraseFrame(std::span<const std::uint8_t> pages);
// Extended Erase's whole-memory selector: FF FF 00.
Frame extendedGlobalEraseFrame();
// Extended Erase's page list: N − 1 and each page number as two bytes (most significant
// first), then the XOR of them all. Nothing for no page or more than 65,520.
std::optional<Frame> extendedPageEraseFrame(std::span<const std::uint16_t> pages);
// Read Memory's length: N − 1 and its complement. Nothing for 0 or above 256.
std::optional<Frame> readLengthFrame(std::size_t byteCount);

// A bootloader's reply as the flasher logs it ("received: 79"): its first byte as two upper-case
// hex digits, empty when nothing came.
std::string bootloaderReplyText(std::span<const std::uint8_t> reply);
enum class BootloaderReply { None, Ack, Nack, Unexpected };
BootloaderReply classifyBootloaderReply(std::span<const std::uint8_t> reply);

// ---- The firmware image ------------------------------------------------------------------

// One Write Memory: where, and the 1..256 bytes.
struct FlashChunk {
    std::uint32_t address;
    std::vector<std::uint8_t> data;
};

// Cuts an image for `base` into 256-byte chunks in order (the last one holds the remaining 1 to
// 256 bytes), each at the address after the previous. Refused, naming `base`, when the image does
// not start at the flash base 0x08000000 (the pedal starts its firmware only from there), and
// refused when it is empty or would reach the firmware marker (beyond 0x0801FBFF).
Refusable<std::vector<FlashChunk>> chunkFirmware(std::span<const std::uint8_t> image, std::uint32_t base = kFlashBase);

// The marker written after the image: for firmware number 1 the eight bytes
// 00 00 00 00 00 00 00 01 at 0x0801FC00. No marker is defined for other numbers (nothing).
std::optional<FlashChunk> firmwareMarker(int firmwareNumber);

// The firmware number of a firmware entry or file name: the number after the last underscore,
// up to an extension ("Firmware_1" → 1, "qeltx_fw_3.hex" → 3); 1 when there is none.
int firmwareNumberFromName(std::string_view name);

// ---- Intel HEX ---------------------------------------------------------------------------

// A firmware file's bytes laid out from its lowest address: gaps between records are 0xFF (as
// the erased flash reads).
struct FirmwareImage {
    std::uint32_t baseAddress = kFlashBase;
    std::vector<std::uint8_t> bytes;
};

// Reads an Intel HEX text (records 00 data, 01 end of file, 02 extended segment address,
// 04 extended linear address, 03 and 05 start addresses, which are ignored; lines end with
// CR LF or LF; blank lines are skipped). Refused, naming the line, on a malformed record, a
// wrong checksum, data overlapping earlier data, no end-of-file record, records after it, no
// data at all, or any byte outside 0x08000000-0x0801FBFF (the flash below the marker).
Refusable<FirmwareImage> parseIntelHex(std::string_view text);

}  // namespace qeltx::core
