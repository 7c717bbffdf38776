// Pedal-side checks of algorithm images.
#include "pedal_sim/algorithm_image.h"

namespace qeltx::pedal_sim {

namespace {

std::uint16_t be16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

std::optional<AlgorithmImage> refuse(std::string* problem, std::string text) {
    if (problem) *problem = std::move(text);
    return std::nullopt;
}

}  // namespace

std::uint16_t imageLengthField(std::span<const std::uint8_t> firstBytes) {
    return be16(firstBytes, kImageLengthOffset);
}

std::optional<AlgorithmImage> parseAlgorithmImage(std::span<const std::uint8_t> bytes, std::string* problem) {
    if (bytes.size() < kImageHeaderSize) return refuse(problem, "image shorter than its header");
    AlgorithmImage image;
    image.length = imageLengthField(bytes);
    if (image.length != bytes.size()) return refuse(problem, "length field does not match the image");
    for (std::size_t i = 0; i < kMaxControls; ++i) image.addresses[i] = be16(bytes, kImageAddressTableOffset + 2 * i);
    image.number = bytes[kImageNumberOffset];
    image.controlCount = bytes[kImageControlCountOffset];
    if (image.controlCount > kMaxControls) return refuse(problem, "more than 16 controls");

    std::size_t at = kImageHeaderSize;
    bool ended = false;
    while (at < bytes.size() && !ended) {
        const std::uint8_t type = bytes[at++];
        switch (type) {
            case kRecordWrite: {
                if (at + 2 > bytes.size()) return refuse(problem, "write record cut short");
                const std::size_t length = be16(bytes, at);
                at += 2;
                if (length < kWriteRecordPrefix || at + length > bytes.size()) {
                    return refuse(problem, "write record length out of range");
                }
                LoadWrite write;
                write.device = bytes[at];
                write.target = be16(bytes, at + 1);
                write.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + kWriteRecordPrefix),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
                image.writes.push_back(std::move(write));
                at += length;
                break;
            }
            case kRecordFiller:  // the type byte is the whole record
                break;
            case kRecordEnd:
                ended = true;
                break;
            default:
                return refuse(problem, "unknown load record type");
        }
    }
    if (!ended) return refuse(problem, "no end record");
    for (; at < bytes.size(); ++at) {
        if (bytes[at] != 0) return refuse(problem, "non-zero bytes after the end record");
    }
    image.bytes.assign(bytes.begin(), bytes.end());
    return image;
}

std::map<std::uint16_t, std::uint32_t> initialParameterWords(const AlgorithmImage& image) {
    std::map<std::uint16_t, std::uint32_t> words;
    for (const auto& write : image.writes) {
        if (write.target != kParameterArea) continue;
        for (std::size_t k = 0; k + 4 <= write.data.size(); k += 4) {
            const auto& d = write.data;
            words[static_cast<std::uint16_t>(k / 4)] = (std::uint32_t{d[k]} << 24) | (std::uint32_t{d[k + 1]} << 16) |
                                                       (std::uint32_t{d[k + 2]} << 8) | d[k + 3];
        }
        break;
    }
    return words;
}

std::vector<std::uint8_t> minimalImage(std::uint8_t number, std::uint8_t controlCount) {
    const std::size_t words = controlCount;
    const std::size_t recordLength = kWriteRecordPrefix + 4 * words;
    const std::size_t length = kImageHeaderSize + 3 + recordLength + 1;
    std::vector<std::uint8_t> image(length, 0);
    image[1] = static_cast<std::uint8_t>(length >> 8);
    image[2] = static_cast<std::uint8_t>(length & 0xFF);
    for (std::size_t i = 0; i < controlCount && i < kMaxControls; ++i) {
        image[kImageAddressTableOffset + 2 * i + 1] = static_cast<std::uint8_t>(i);
    }
    image[kImageNumberOffset] = number;
    image[kImageControlCountOffset] = controlCount;
    std::size_t at = kImageHeaderSize;
    image[at++] = kRecordWrite;
    image[at++] = static_cast<std::uint8_t>(recordLength >> 8);
    image[at++] = static_cast<std::uint8_t>(recordLength & 0xFF);
    at += recordLength;  // device 0, target 0x0000, zero words
    image[at] = kRecordEnd;
    return image;
}

}  // namespace qeltx::pedal_sim
