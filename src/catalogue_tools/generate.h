// The catalogue files made from a source: every resource's stored (upper-case) name and
// its exact bytes. The same source always gives the same bytes, on every machine: the
// image contents come from a fixed integer generator seeded by the algorithm number.
#pragma once

#include "catalogue_tools/catalogue_source.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::catalogue_tools {

using CatalogueFiles = std::map<std::string, std::string>;  // stored name -> content

struct GenerateResult {
    CatalogueFiles files;
    std::vector<std::string> errors;  // a source that cannot be built, naming the effect
};

GenerateResult generateCatalogue(const CatalogueSource& source);

// The image of one algorithm (bytes), as the generator builds it; `controlCount` controls get
// distinct parameter addresses inside the 0x0000 write, outside the tap block if there is one.
struct ImageRequest {
    std::uint32_t number = 0;
    std::size_t size = 0;
    int controlCount = 0;
    std::optional<TapBlock> tapBlock;
    // The value word each control starts with (by control index), so that the pedal starts an
    // algorithm with values its controls can show; controls beyond the list keep the sequence's.
    std::vector<std::uint32_t> startWords;
};
// Start words for a layout: pots somewhere in 0..1023, switches off or on, buttons released,
// multi-switches on one of their options; all value × 8192. Empty for a layout that cannot be read.
std::vector<std::uint32_t> layoutStartWords(std::uint32_t number, std::string_view name,
                                            const std::vector<std::string>& layoutLines);
struct ImageResult {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty when built
};
ImageResult buildImage(const ImageRequest& request);

}  // namespace qeltx::catalogue_tools
