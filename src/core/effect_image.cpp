// Reading algorithm images: size, address fields, header and load records.
#include "core/effect_image.h"

#include "core/hex.h"

#include <algorithm>

namespace qeltx::core {

namespace {

std::uint16_t be16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

}  // namespace

std::uint16_t imageSizeOfText(std::string_view imageText) {
    return static_cast<std::uint16_t>(imageText.size() / 2);
}

std::array<std::string, image_layout::kAddressCount> parameterAddressFields(std::string_view imageText) {
    using namespace image_layout;
    std::array<std::string, kAddressCount> fields;
    for (std::size_t i = 0; i < kAddressCount; ++i) {
        const std::size_t at = kAddressTextOffset + kAddressFieldLength * i;
        if (at < imageText.size()) fields[i] = std::string(imageText.substr(at, kAddressFieldLength));
    }
    return fields;
}

ImageHeaderResult parseImageHeader(std::span<const std::uint8_t> image) {
    using namespace image_layout;
    ImageHeaderResult result;
    if (image.size() < kHeaderSize) {
        result.error = "the image holds " + std::to_string(image.size()) + " bytes, fewer than its " +
                       std::to_string(kHeaderSize) + "-byte header";
        return result;
    }
    ImageHeader header;
    header.destination = image[kDestinationOffset];
    header.length = be16(image, kLengthOffset);
    for (std::size_t i = 0; i < kAddressCount; ++i) header.addresses[i] = be16(image, kAddressTableOffset + 2 * i);
    header.effectNumber = image[kNumberOffset];
    header.controlCount = image[kControlCountOffset];
    result.header = header;
    return result;
}

ImageHeaderResult parseImageHeaderText(std::string_view imageText) {
    using namespace image_layout;
    const auto bytes = parseHex(imageText.substr(0, std::min(imageText.size(), 2 * kHeaderSize)));
    if (!bytes || bytes->size() < kHeaderSize) {
        ImageHeaderResult result;
        result.error = "the image text does not begin with a " + std::to_string(kHeaderSize) + "-byte header in hex";
        return result;
    }
    return parseImageHeader(*bytes);
}

LoadRecordsResult parseLoadRecords(std::span<const std::uint8_t> image) {
    using namespace load_record;
    LoadRecordsResult result;
    auto refuse = [&](std::size_t at, std::string text) {
        result.error = std::move(text);
        result.errorOffset = at;
        return result;
    };
    std::size_t at = image_layout::kRecordsOffset;
    for (;;) {
        if (at >= image.size()) return refuse(at, "the load records have no end record (0x06)");
        LoadRecord record;
        record.type = image[at];
        record.offset = at;
        if (record.type == kWrite) {
            if (at + 3 > image.size()) return refuse(at, "a write record is cut short by the end of the image");
            const std::size_t length = be16(image, at + 1);
            if (length < kWritePrefix) {
                return refuse(at, "a write record's length " + std::to_string(length) + " is shorter than its address");
            }
            if (at + 3 + length > image.size()) {
                return refuse(at, "a write record of " + std::to_string(length) + " bytes runs past the end of the image");
            }
            record.deviceAddress = image[at + 3];
            record.targetAddress = be16(image, at + 4);
            record.dataOffset = at + 3 + kWritePrefix;
            record.dataLength = length - kWritePrefix;
            result.records.push_back(record);
            at += 3 + length;
        } else if (record.type == kFiller) {
            result.records.push_back(record);
            ++at;
        } else if (record.type == kEnd) {
            result.records.push_back(record);
            ++at;
            break;
        } else {
            return refuse(at, "byte " + std::to_string(at) + " (0x" + byteToHex(record.type) +
                                  ") is not a load record type");
        }
    }
    for (; at < image.size(); ++at) {
        if (image[at] != 0) return refuse(at, "byte " + std::to_string(at) + " after the end record is not zero");
    }
    return result;
}

}  // namespace qeltx::core
