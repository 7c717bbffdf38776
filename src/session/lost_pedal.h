// What the player is told, once, when the pedal goes away: what it was doing and what the pedal
// may now hold.
#pragma once

#include "session/line_owner.h"

#include <QString>

#include <optional>

namespace qeltx::session {

// The one box for a pedal lost during `during` (none: while nothing was being said to it, as
// the poll finds). The driver's details belong in the console, not here.
QString lostPedalMessage(std::optional<ConversationKind> during);

}  // namespace qeltx::session
