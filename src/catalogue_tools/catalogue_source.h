// The readable source of the catalogue (catalogue.txt) from which qeltx-catalogue-gen
// writes resources/catalogue/: one block per algorithm number with its display name, category,
// image size and control layout. See catalogue.txt for the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qeltx::catalogue_tools {

// Where the IR loader merges its taps: the first image byte and the tap count.
struct TapBlock {
    std::size_t startByte = 0;
    std::size_t taps = 0;
};

struct EffectSource {
    std::uint32_t number = 0;
    std::string name;
    int sourceLine = 0;                    // where the block starts in the source
    std::string category;                  // a category resource name ("gain"), or "" for none
    std::size_t imageSize = 0;             // bytes
    std::optional<int> imageControls;      // byte 127 when the layout's counts cannot give it
    std::optional<TapBlock> tapBlock;      // IR loaders only
    bool layoutCrLf = true;                // the layout's line ends: CR LF or LF alone
    bool layoutFinalBreak = true;          // whether the layout's last line ends with one
    std::vector<std::string> layoutLines;  // counts line first
};

struct CatalogueSource {
    std::vector<EffectSource> effects;  // by number, 0 first
};

struct SourceResult {
    std::optional<CatalogueSource> source;
    std::vector<std::string> errors;  // "catalogue.txt:12: ..." each
};

// Reads the source; `fileLabel` names it in the error texts.
SourceResult parseCatalogueSource(std::string_view text, std::string_view fileLabel);

}  // namespace qeltx::catalogue_tools
