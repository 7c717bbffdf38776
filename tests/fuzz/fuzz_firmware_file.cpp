// Firmware files the firmware window and qeltx-cli flash open: Intel HEX text, or a raw .bin
// image written from the start of the flash; either is then cut into Write Memory chunks.
#include "core/bootloader_frames.h"
#include "fuzz_input.h"

#include <cstdlib>

namespace {

void checkChunks(std::span<const std::uint8_t> image, std::uint32_t base) {
    using namespace qeltx::core;
    const auto chunks = chunkFirmware(image, base);
    if (!chunks) return;
    std::size_t total = 0;
    std::uint32_t next = base;
    for (const FlashChunk& chunk : *chunks) {
        if (chunk.address != next || chunk.data.empty() || chunk.data.size() > bootloader::kMaxBlock) std::abort();
        if (!writeDataFrame(chunk.data)) std::abort();
        next += static_cast<std::uint32_t>(chunk.data.size());
        total += chunk.data.size();
    }
    if (total != image.size() || next > kFlashImageEnd) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    const std::span<const std::uint8_t> file(data, size);
    const auto hex = parseIntelHex(qeltx::fuzz::asText(file));
    if (hex) {
        if (hex->bytes.empty() || hex->baseAddress < kFlashBase ||
            hex->baseAddress + hex->bytes.size() > kFlashImageEnd) {
            std::abort();
        }
        checkChunks(hex->bytes, hex->baseAddress);
    }
    checkChunks(file, kFlashBase);
    (void)firmwareNumberFromName(qeltx::fuzz::asText(file));
    return 0;
}
