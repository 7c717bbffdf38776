// The pedal's numeric and text replies as the exchange drains them: line counting, the
// completeness checks that end a drain, and the decoder with its console lines.
#include "core/replies.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    qeltx::fuzz::FuzzInput input(data, size);
    const std::size_t expected = input.byte();
    const auto received = input.rest();

    const std::size_t lines = countReplyLines(received);
    // The drain and the decoder must count the same lines.
    if (isNumericReplyComplete(received, expected) != (lines >= expected)) std::abort();
    (void)isTextReplyComplete(received, expected);
    (void)bytesAsText(received);

    const auto decoded = DecodeReplyNumbers(received);
    if (decoded) {
        if (decoded->values.size() != lines) std::abort();
        if (decoded->unterminatedBytes > received.size()) std::abort();
        (void)decodeLogLines(*decoded);
    } else if (decoded.reason().empty()) {
        std::abort();
    }
    (void)receivedBytesLogLine(received.size());
    return 0;
}
