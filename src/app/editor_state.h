// The editor state every window reads and writes, with its start-up values.
#pragma once

#include "core/ir_preparation.h"

#include <QString>

#include <cstdint>

namespace qeltx::app {

inline constexpr std::uint8_t kPresetMode = 0;
inline constexpr std::uint8_t kBankMode = 1;

struct EditorState {
    bool firmwareUpgradeMode = false;
    bool linkedOnceInNormalMode = false;
    // The pedal's device is open (Link succeeded, in either mode, and no Unlink or loss since).
    bool linked = false;
    // A read-back is being applied: switching to bank mode then keeps the panel open. (Echoes
    // need no flag: the panel draws with its controls' signals held.)
    bool applyingReadBack = false;
    bool showUpdateMessage = true;
    // Request runs by itself after Link and after the pedal reports "Upload complete".
    bool readValuesAutomatically = true;
    std::uint8_t pedalMode = kPresetMode;
    bool panelShowsHeldAlgorithm = false;
    QString selectedCategory;
    QString currentEffectName;
    QString appVersion;
    // How Load IR shapes a response: resampling is a Settings entry kept in the preferences
    // folder; the fade and the normalisation are chosen in the Impulse Response window.
    core::IrShaping irShaping;
    // Serial number of the device Link opens: the last one a listing saw.
    QString linkSerialNumber;
};

}  // namespace qeltx::app
