// The test firmware image the editor ships as "Firmware_1" in place of the maker's: a
// Cortex-M application for flash address 0x08000000 that a flasher treats exactly like the
// real one (a vector table, code the reset vector points at, then bulk bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qeltx::firmware_tools {

inline constexpr std::size_t kTestImageSize = 41252;
inline constexpr std::uint32_t kTestImageBase = 0x08000000;
inline constexpr std::uint32_t kInitialStackPointer = 0x20005000;  // top of the part's 20 KiB of RAM

// The same bytes on every run and every machine.
std::vector<std::uint8_t> makeTestImage();

}  // namespace qeltx::firmware_tools
