// Bootloader frames, firmware chunks and Intel HEX reading.
#include "core/bootloader_frames.h"

#include "core/hex.h"

#include <algorithm>

namespace qeltx::core {

namespace {

constexpr std::size_t kMaxExtendedErasePages = 0xFFF0;  // N − 1 from 0xFFF0 up selects special erases
constexpr std::uint8_t kFirmwareMarkerNumber = 1;
constexpr std::size_t kFirmwareMarkerSize = 8;

// Intel HEX record types.
constexpr std::uint8_t kHexData = 0x00;
constexpr std::uint8_t kHexEndOfFile = 0x01;
constexpr std::uint8_t kHexExtendedSegment = 0x02;
constexpr std::uint8_t kHexStartSegment = 0x03;
constexpr std::uint8_t kHexExtendedLinear = 0x04;
constexpr std::uint8_t kHexStartLinear = 0x05;
constexpr std::size_t kHexRecordOverhead = 5;  // count, address (2), type, checksum

std::string hex32(std::uint32_t value) { return "0x" + word32ToHex(value); }

}  // namespace

std::uint8_t xorChecksum(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum ^= b;
    return sum;
}

Frame commandFrame(std::uint8_t code) { return {code, static_cast<std::uint8_t>(~code)}; }

Frame addressFrame(std::uint32_t address) {
    Frame frame{static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
                static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    frame.push_back(xorChecksum(frame));
    return frame;
}

std::optional<Frame> writeDataFrame(std::span<const std::uint8_t> data) {
    if (data.empty() || data.size() > bootloader::kMaxBlock) return std::nullopt;
    Frame frame{static_cast<std::uint8_t>(data.size() - 1)};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(xorChecksum(frame));
    return frame;
}

Frame globalEraseFrame() { return {0xFF, 0x00}; }

std::optional<Frame> pageEraseFrame(std::span<const std::uint8_t> pages) {
    if (pages.empty() || pages.size() > bootloader::kMaxErasePages) return std::nullopt;
    Frame frame{static_cast<std::uint8_t>(pages.size() - 1)};
    frame.insert(frame.end(), pages.begin(), pages.end());
    frame.push_back(xorChecksum(frame));
    return frame;
}

Frame extendedGlobalEraseFrame() { return {0xFF, 0xFF, 0x00}; }

std::optional<Frame> extendedPageEraseFrame(std::span<const std::uint16_t> pages) {
    if (pages.empty() || pages.size() > kMaxExtendedErasePages) return std::nullopt;
    const auto n = static_cast<std::uint16_t>(pages.size() - 1);
    Frame frame{static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    for (std::uint16_t page : pages) {
        frame.push_back(static_cast<std::uint8_t>(page >> 8));
        frame.push_back(static_cast<std::uint8_t>(page));
    }
    frame.push_back(xorChecksum(frame));
    return frame;
}

std::optional<Frame> readLengthFrame(std::size_t byteCount) {
    if (byteCount == 0 || byteCount > bootloader::kMaxBlock) return std::nullopt;
    return commandFrame(static_cast<std::uint8_t>(byteCount - 1));
}

std::string bootloaderReplyText(std::span<const std::uint8_t> reply) {
    return reply.empty() ? std::string{} : byteToHex(reply.front());
}

BootloaderReply classifyBootloaderReply(std::span<const std::uint8_t> reply) {
    if (reply.empty()) return BootloaderReply::None;
    if (reply.front() == bootloader::kAck) return BootloaderReply::Ack;
    if (reply.front() == bootloader::kNack) return BootloaderReply::Nack;
    return BootloaderReply::Unexpected;
}

Refusable<std::vector<FlashChunk>> chunkFirmware(std::span<const std::uint8_t> image, std::uint32_t base) {
    using Result = Refusable<std::vector<FlashChunk>>;
    if (image.empty()) return Result::refused("the firmware image is empty");
    // After a reset the pedal always starts the firmware whose vector table lies at the flash
    // base; an image linked elsewhere would be written, started once by Go, and never again.
    if (base != kFlashBase) {
        return Result::refused("the firmware image starts at " + hex32(base) + ", not at the flash base " +
                               hex32(kFlashBase) + " where the pedal starts its firmware");
    }
    if (image.size() > kFlashImageEnd - base) {
        return Result::refused("the firmware image (" + std::to_string(image.size()) + " bytes at " + hex32(base) +
                               ") does not fit the flash from " + hex32(kFlashBase) + " below the marker at " +
                               hex32(kFirmwareMarkerAddress) + " (at most " + std::to_string(kMaxFirmwareSize) +
                               " bytes)");
    }
    std::vector<FlashChunk> chunks;
    chunks.reserve((image.size() + bootloader::kMaxBlock - 1) / bootloader::kMaxBlock);
    for (std::size_t offset = 0; offset < image.size(); offset += bootloader::kMaxBlock) {
        const auto piece = image.subspan(offset, std::min(bootloader::kMaxBlock, image.size() - offset));
        chunks.push_back({base + static_cast<std::uint32_t>(offset), {piece.begin(), piece.end()}});
    }
    return Result::accepted(std::move(chunks));
}

std::optional<FlashChunk> firmwareMarker(int firmwareNumber) {
    if (firmwareNumber != kFirmwareMarkerNumber) return std::nullopt;
    FlashChunk marker{kFirmwareMarkerAddress, std::vector<std::uint8_t>(kFirmwareMarkerSize, 0x00)};
    marker.data.back() = kFirmwareMarkerNumber;
    return marker;
}

int firmwareNumberFromName(std::string_view name) {
    const auto underscore = name.rfind('_');
    if (underscore == std::string_view::npos) return 1;
    std::string_view rest = name.substr(underscore + 1);
    const auto digits = std::find_if(rest.begin(), rest.end(), [](char c) { return c < '0' || c > '9'; });
    auto number = decimalDigitsToNumber(rest.substr(0, static_cast<std::size_t>(digits - rest.begin())));
    if (!number || *number > 0x7FFFFFFF) return 1;
    return static_cast<int>(*number);
}

Refusable<FirmwareImage> parseIntelHex(std::string_view text) {
    using Result = Refusable<FirmwareImage>;
    // Every byte the file may hold lies in the flash below the marker: lay them out there.
    std::vector<std::uint8_t> flash(kMaxFirmwareSize, 0xFF);
    std::vector<bool> written(kMaxFirmwareSize, false);
    std::uint32_t lowest = kFlashImageEnd;
    std::uint32_t highestEnd = kFlashBase;
    std::uint32_t upperAddress = 0;
    bool endOfFile = false;

    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;

        const auto refuse = [&](const std::string& why) {
            return Result::refused("firmware file refused: line " + std::to_string(lineNumber) + ": " + why);
        };
        if (endOfFile) return refuse("a record after the end-of-file record");
        if (line.front() != ':') return refuse("a record does not start with ':'");
        const auto bytes = parseHex(line.substr(1));
        if (!bytes || bytes->size() < kHexRecordOverhead) return refuse("not a record of hex digit pairs");
        const auto& record = *bytes;
        const std::size_t count = record[0];
        if (record.size() != count + kHexRecordOverhead) return refuse("the byte count does not match the record");
        std::uint8_t sum = 0;
        for (std::uint8_t b : record) sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0) return refuse("wrong checksum");
        const std::uint32_t offset = (std::uint32_t{record[1]} << 8) | record[2];
        const std::uint8_t type = record[3];
        const auto data = std::span(record).subspan(4, count);

        switch (type) {
            case kHexData: {
                if (count == 0) break;
                const std::uint64_t first = std::uint64_t{upperAddress} + offset;
                const std::uint64_t last = first + count - 1;
                if (first < kFlashBase || last >= kFlashImageEnd) {
                    return refuse("data at " + hex32(static_cast<std::uint32_t>(first)) +
                                  " lies outside " + hex32(kFlashBase) + "-" + hex32(kFlashImageEnd - 1));
                }
                const auto at = static_cast<std::size_t>(first - kFlashBase);
                for (std::size_t i = 0; i < count; ++i) {
                    if (written[at + i]) return refuse("data overlaps earlier data at " + hex32(static_cast<std::uint32_t>(first + i)));
                    written[at + i] = true;
                    flash[at + i] = data[i];
                }
                lowest = std::min(lowest, static_cast<std::uint32_t>(first));
                highestEnd = std::max(highestEnd, static_cast<std::uint32_t>(last + 1));
                break;
            }
            case kHexEndOfFile:
                if (count != 0) return refuse("an end-of-file record with data");
                endOfFile = true;
                break;
            case kHexExtendedSegment:
                if (count != 2) return refuse("an extended segment address record without two bytes");
                upperAddress = ((std::uint32_t{data[0]} << 8) | data[1]) << 4;
                break;
            case kHexExtendedLinear:
                if (count != 2) return refuse("an extended linear address record without two bytes");
                upperAddress = ((std::uint32_t{data[0]} << 8) | data[1]) << 16;
                break;
            case kHexStartSegment:
            case kHexStartLinear:
                if (count != 4) return refuse("a start address record without four bytes");
                break;
            default:
                return refuse("unknown record type " + byteToHex(type));
        }
    }
    if (!endOfFile) return Result::refused("firmware file refused: no end-of-file record");
    if (lowest >= highestEnd) return Result::refused("firmware file refused: it holds no data");
    FirmwareImage image;
    image.baseAddress = lowest;
    image.bytes.assign(flash.begin() + (lowest - kFlashBase), flash.begin() + (highestEnd - kFlashBase));
    return Result::accepted(std::move(image));
}

}  // namespace qeltx::core
