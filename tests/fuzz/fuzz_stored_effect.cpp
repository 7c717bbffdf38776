// The reply to the stored-effect query: four decimal lines, and the lines and label made of it.
#include "core/stored_effect.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    const std::span<const std::uint8_t> received(data, size);
    const auto fromBytes = parse_stored_effect_reply(received);
    const auto fromText = parse_stored_effect_reply(qeltx::fuzz::asText(received));
    if (fromBytes.ok() != fromText.ok()) std::abort();
    if (!fromBytes) return 0;
    if (fromBytes->effectNumber != fromText->effectNumber || fromBytes->effectStored != fromText->effectStored) std::abort();
    if (storedEffectLogLines(*fromBytes).size() != 4) std::abort();
    (void)firmwareVersionLabel(fromBytes->firmwareVersion);
    return 0;
}
