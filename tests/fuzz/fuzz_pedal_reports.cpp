// What the 20 ms poll reads from the pedal: reports, control frames and EEPROM dumps, cut into
// reads at points the fuzzer picks, so frames and dumps arrive split and back to back.
#include "core/pedal_messages.h"
#include "fuzz_input.h"

#include <cstdlib>
#include <variant>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qeltx::core;
    qeltx::fuzz::FuzzInput input(data, size);
    const int optionCount = input.word() % 1026;
    // Each read: a length byte, then that many bytes.
    PedalMessageReader reader;
    std::size_t fed = 0;
    std::size_t used = 0;
    std::vector<std::uint8_t> all;
    while (!input.empty()) {
        const auto read = input.take(input.byte());
        fed += read.size();
        all.insert(all.end(), read.begin(), read.end());
        for (const PedalMessage& message : reader.feed(read)) {
            if (const auto* frame = std::get_if<ControlFrame>(&message)) {
                used += kControlFrameSize;
                (void)controlHandling(frame->code);
                const auto option = multiSwitchOptionFromReport(frame->value, optionCount);
                if (option && (*option < 0 || *option >= optionCount)) std::abort();
            } else if (const auto* dump = std::get_if<EepromDump>(&message)) {
                used += kEepromDumpFrameSize;
                if (dump->contents.size() != kEepromSize) std::abort();
                (void)isMemoryErased(*dump);
            } else if (const auto* text = std::get_if<UnconvertibleReport>(&message)) {
                if (text->consoleLine.empty()) std::abort();
            }
        }
        if (reader.collectingDump() && reader.heldBytes() == 0) std::abort();
    }
    // Frames and dumps are made of bytes fed, never more; what is held was fed too.
    if (used + reader.heldBytes() > fed) std::abort();
    (void)reader.discardHeld();
    // The same bytes as the answer to an EEPROM read.
    const EepromAnswer answer = readEepromAnswer(all);
    if (answer.kind == EepromAnswer::Kind::Dump &&
        (all[answer.dumpStart] != kEepromDumpStart || answer.dumpStart + answer.dumpReceived > all.size())) {
        std::abort();
    }
    if (reader.heldBytes() != 0) std::abort();
    return 0;
}
