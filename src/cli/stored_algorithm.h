// Asking the pedal which algorithm it holds, the first step of query, request and set.
#pragma once

#include "cli/pedal_link.h"
#include "core/catalogue_lists.h"
#include "core/control_layout.h"
#include "core/preset_file.h"
#include "core/refusable.h"
#include "core/stored_effect.h"
#include "session/settings_conversation.h"

#include <optional>

namespace qeltx::cli {

// The stored-effect query (06 00) and its four-line answer, logged as the editor logs them.
// Refused, with the line for the user, when no answer comes or it is not understood.
core::Refusable<core::StoredEffectReply> askStoredEffect(PedalLink& link);

// The line to the pedal for the session's conversations, logging as --verbose shows.
session::PedalLine pedalLineOf(PedalLink& link);
// A session's reason as qeltx-cli words its errors (lower case first, no full stop).
std::string commandLineReason(const std::string& reason);

// The algorithm the pedal holds, with its catalogue entry and control layout: what request and
// set need to know the pedal's parameters. Refused when the pedal holds none, or one this
// catalogue does not have.
struct StoredAlgorithm {
    core::StoredEffectReply reply;
    core::CatalogueEffect effect;
    core::ControlLayout layout;
};
core::Refusable<StoredAlgorithm> storedAlgorithm(PedalLink& link);

// What the pedal holds as a preset file would keep it: its algorithm, and its parameter block
// read with the editor's Request conversation.
struct PedalSound {
    StoredAlgorithm stored;
    core::PresetFile preset;
};
core::Refusable<PedalSound> readPedalSound(PedalLink& link);

}  // namespace qeltx::cli
