// The catalogue built into the program as qeltx-cli reads it: algorithms by name, their control
// layouts, and an impulse response merged into an IR-loader image.
#pragma once

#include "cli/arguments.h"
#include "cli/output.h"
#include "core/catalogue_lists.h"
#include "core/control_layout.h"
#include "core/impulse_response.h"
#include "core/ir_preparation.h"
#include "core/refusable.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace qeltx::cli {

// Names as the user types them: equal when letter case is ignored.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);

// The lookup the core loaders take, over the embedded catalogue.
core::ResourceLookup catalogueLookup();

// The algorithm called `name`: its exact name first, else the one name equal to it when letter
// case is ignored. Refused when the catalogue has none (or, ignoring case, more than one).
core::Refusable<core::CatalogueEffect> catalogueEffectByName(std::string_view name);
// Algorithm `number` of the list, as the pedal reports it.
core::Refusable<core::CatalogueEffect> catalogueEffectByNumber(std::uint32_t number);

core::Refusable<core::ControlLayout> layoutOf(const core::CatalogueEffect& effect);

// The shaping options of an invocation (--no-resample, --fade-ms, --normalize); refused with
// one line for the user when a value is not a number in its range.
core::Refusable<core::IrShaping> irShapingOf(const Invocation& invocation);

struct MergedImpulseResponse {
    std::string image;  // the image text with the taps in place
    core::IrSummary summary;
};

// Reads `path`, shapes its first channel as asked (resampled to the pedal's rate by default)
// and merges the taps into `effect`'s image, logging as Load IR does. Refused when the
// algorithm is no IR loader, or the file cannot be read or used.
core::Refusable<MergedImpulseResponse> mergeImpulseResponse(const core::CatalogueEffect& effect, const QString& path,
                                                            const core::IrShaping& shaping, const Output& output);

}  // namespace qeltx::cli
