// Algorithm images: the header and the load records read from the bytes, the address fields
// and the size measure read from the text, and an impulse response merged into the text.
#include "core/effect_image.h"
#include "core/hex.h"
#include "core/impulse_response.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    qeltx::fuzz::FuzzInput input(data, size);
    const std::uint8_t geometry = input.byte();
    const auto bytes = input.rest();

    // As bytes: what the virtual pedal and the catalogue tools read.
    const ImageHeaderResult header = parseImageHeader(bytes);
    if (header.header.has_value() != (bytes.size() >= image_layout::kHeaderSize)) std::abort();
    const LoadRecordsResult records = parseLoadRecords(bytes);
    for (const LoadRecord& r : records.records) {
        if (r.offset >= bytes.size() || r.dataOffset + r.dataLength > bytes.size()) std::abort();
    }

    // As text: what the editor reads from the catalogue.
    const std::string_view text = qeltx::fuzz::asText(bytes);
    (void)imageSizeOfText(text);
    (void)parameterAddressFields(text);
    const ImageHeaderResult fromText = parseImageHeaderText(text);
    if (fromText.header.has_value() == !fromText.error.empty()) std::abort();
    if (const auto parsed = parseHex(text)) {
        if (toHex(*parsed).size() != text.size()) std::abort();
    }

    const TapGeometry& g = kIrLoaderGeometry[geometry % kIrLoaderGeometry.size()];
    const std::vector<std::int32_t> taps(static_cast<std::size_t>(g.taps), -1);
    const auto merged = mergeTaps(text, g, taps);
    if (merged && merged->size() != text.size()) std::abort();
    return 0;
}
