// Preset files as the editor opens them: the parser, the values applied to a panel whose
// multi-switches have the option counts the fuzzer picks, and writing the file back.
#include "core/parameter_block.h"
#include "core/preset_file.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    qeltx::fuzz::FuzzInput input(data, size);
    const int optionCount = 1 + input.word() % 1024;
    const auto parsed = parsePresetFile(qeltx::fuzz::asText(input.rest()));
    if (!parsed) {
        if (parsed.reason().empty()) std::abort();
        return 0;
    }
    for (const std::int32_t value : parsed->values) {
        (void)potPositionFromValue(value);
        (void)switchStateFromValue(value);
        const auto option = multiSwitchOptionFromValue(value, optionCount);
        if (option && (*option < 0 || *option >= optionCount)) std::abort();
    }
    // What the editor writes, it reads back the same.
    const auto again = parsePresetFile(formatPresetFile(*parsed));
    if (!again || again->values != parsed->values || again->effectNumber != parsed->effectNumber ||
        again->effectVersion != parsed->effectVersion || again->assignments != parsed->assignments ||
        again->readbackAssignments != parsed->readbackAssignments) {
        std::abort();
    }
    return 0;
}
