// Named read-only resources built into the program: the catalogue (looked up without regard
// to letter case), the firmware images and the style sheets.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::resources {

// The text of a catalogue resource ("EFFECT_LIST", "gain", "corvel_ctrls"), any case.
std::optional<std::string> catalogueResource(std::string_view name);
// The names of every catalogue resource, as stored.
std::vector<std::string> catalogueResourceNames();

// A file of resources/firmware or resources/styles, any case.
std::optional<std::string> firmwareResource(std::string_view name);
std::optional<std::string> styleResource(std::string_view name);
std::vector<std::string> firmwareResourceNames();

}  // namespace qeltx::resources
