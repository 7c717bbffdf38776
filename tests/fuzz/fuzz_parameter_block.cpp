// The parameter block that answers Request, as the panel applies it: the block of N controls
// and R read-backs, then every value through the pot, switch and multi-switch rules with
// option counts the fuzzer picks (a catalogue layout allows 1 to 1024).
#include "core/parameter_block.h"
#include "fuzz_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    qeltx::fuzz::FuzzInput input(data, size);
    const std::size_t numControls = input.byte() % 18;   // 17 is refused
    const std::size_t numReadbacks = input.byte() % 6;   // 5 is refused
    const int optionCount = input.word() % 1026;         // 0 and 1025 have no option step
    const auto block = input.rest();

    const auto parsed = parseParameterBlock(block, numControls, numReadbacks);
    if (!parsed) return 0;
    const ParameterBlock& p = *parsed;
    if (p.values.size() != numControls || p.assignments.size() != numControls ||
        p.readbackAssignments.size() != numReadbacks || p.reverseFlags.size() != numControls) {
        std::abort();
    }
    for (const std::int32_t value : p.values) {
        const int pot = potPositionFromValue(value);
        if (pot < 0 || pot > 1023) std::abort();
        (void)switchStateFromValue(value);
        const auto option = multiSwitchOptionFromValue(value, optionCount);
        if (option && (*option < 0 || *option >= optionCount)) std::abort();
    }
    for (const std::uint8_t flag : p.reverseFlags) (void)reverseFlagState(flag);
    (void)pedalModeFromBlock(p.mode);
    (void)bankIndexFromBlock(p.bankOrPreset);
    (void)midiMenuItemFromBlock(p.midiChannel);
    return 0;
}
