// The virtual pedal: fed with the bytes the editor writes, it answers with the bytes the
// pedal would send. (Minimal for now: it takes bytes and answers nothing.)
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace qeltx::pedal_sim {

struct LineSettings {
    std::uint32_t baud = 115200;
    std::uint8_t wordLength = 8;
    std::uint8_t stopBits = 0;
    std::uint8_t parity = 0;
};

class PedalModel {
public:
    // Bytes from the editor, as sent with `line` settings.
    void receive(const std::uint8_t* data, std::size_t size, const LineSettings& line);
    // Bytes the pedal has sent and the host has not read yet.
    std::deque<std::uint8_t>& output() { return output_; }
    // Everything the editor has written, in order (for tests).
    const std::vector<std::uint8_t>& received() const { return received_; }

private:
    std::deque<std::uint8_t> output_;
    std::vector<std::uint8_t> received_;
};

}  // namespace qeltx::pedal_sim
