// The test firmware image: vector table, two idle handlers, then a fixed byte pattern.
#include "test_image.h"

namespace qeltx::firmware_tools {

namespace {

// The medium-density part's table: 16 core entries and 43 interrupt lines.
constexpr std::size_t kVectorCount = 16 + 43;
constexpr std::size_t kVectorTableBytes = kVectorCount * 4;
// Code starts right after the table, word aligned.
constexpr std::uint32_t kResetHandlerOffset = kVectorTableBytes;
constexpr std::uint32_t kDefaultHandlerOffset = kResetHandlerOffset + 4;
constexpr std::uint32_t kThumbBit = 1;
// Entries the core reserves (7-10, 13) hold zero.
constexpr bool reservedEntry(std::size_t i) { return (i >= 7 && i <= 10) || i == 13; }
// Thumb "b ." : the handlers wait where they are.
constexpr std::uint8_t kBranchToSelf[] = {0xFE, 0xE7};
constexpr std::uint8_t kNop[] = {0x00, 0xBF};

void putWord(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    for (std::size_t k = 0; k < 4; ++k) image[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

}  // namespace

std::vector<std::uint8_t> makeTestImage() {
    std::vector<std::uint8_t> image(kTestImageSize);
    // Bulk: a pattern that never repeats within a chunk and is rarely 0xFF, so a chunk
    // written to the wrong place or not at all shows in a comparison.
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>((i * 131 + (i >> 8) * 7 + 0x5A) & 0xFF);
    }
    putWord(image, 0, kInitialStackPointer);
    for (std::size_t i = 1; i < kVectorCount; ++i) {
        std::uint32_t target = 0;
        if (i == 1) {
            target = kTestImageBase + kResetHandlerOffset + kThumbBit;
        } else if (!reservedEntry(i)) {
            target = kTestImageBase + kDefaultHandlerOffset + kThumbBit;
        }
        putWord(image, 4 * i, target);
    }
    const std::uint8_t code[] = {kNop[0], kNop[1], kBranchToSelf[0], kBranchToSelf[1],   // reset
                                 kBranchToSelf[0], kBranchToSelf[1], kNop[0], kNop[1]};  // default
    for (std::size_t k = 0; k < sizeof code; ++k) image[kResetHandlerOffset + k] = code[k];
    return image;
}

}  // namespace qeltx::firmware_tools
