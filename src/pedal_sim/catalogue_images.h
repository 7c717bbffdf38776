// Where the pedal's algorithms come from when a test does not hand them in: the images of
// the catalogue built into the program, found by algorithm number. (Finding them is the
// harness's job, done with the editor's resource naming; reading them is the pedal's.)
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qeltx::pedal_sim {

// The image bytes of algorithm `number`, or nothing when there is none.
using ImageSource = std::function<std::optional<std::vector<std::uint8_t>>(std::uint8_t number)>;

// Reads the algorithm list and the images from the embedded catalogue.
ImageSource catalogueImageSource();

// The lowest algorithm number with an image in the catalogue, if the catalogue is there.
std::optional<std::uint8_t> firstCatalogueAlgorithm();

}  // namespace qeltx::pedal_sim
