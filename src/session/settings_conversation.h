// The conversations that read the pedal's whole state into a settings backup and put a backup
// back on the pedal, shared by the editor and qeltx-cli. Each wait has a time limit; nothing
// here knows about windows; each runs as one conversation of the line's owner.
#pragma once

#include "core/catalogue_resources.h"
#include "core/commands.h"
#include "core/control_layout.h"
#include "core/parameter_block.h"
#include "core/refusable.h"
#include "core/settings_backup.h"
#include "core/stored_effect.h"
#include "link/d2xx_unit.h"
#include "session/exchange.h"
#include "session/line_owner.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace qeltx::session {

using LineSink = std::function<void(const QString&)>;

// The line to the pedal and where its console lines go.
struct PedalLine {
    Exchange& exchange;
    link::D2XXUnit& usb;
    LineOwner& owner;
    LineSink log;
};

// Why a question to the pedal ended without its answer, for a front end that words its own
// messages (the refusal's reason is the session's wording).
enum class AnswerProblem {
    None,
    NotSent,           // the question did not go out whole (Exchange::sendProblem says why)
    NoAnswer,          // nothing came within the time limit
    ConnectionFailed,  // the driver failed while waiting
    NotUnderstood,     // the answer is not what the pedal answers
    WrongLength,       // Request: more or fewer numbers than the parameter block holds
    FromBootloader,    // a lone acknowledgement byte: the pedal runs its bootloader, synchronised
};

// What a front end hears of a question beside the console lines.
struct AnswerReport {
    // Runs once the question went out whole, while the pedal answers: work done here (the editor
    // builds its parameter window) takes none of the answer's time on the wire.
    std::function<void()> whileAnswering;
    // Set when the question is refused.
    AnswerProblem problem = AnswerProblem::None;
    // Request: the numbers of the pedal's answer, once decoded.
    std::vector<std::uint8_t> numbers;
};

// The stored-effect query (06 00) and its four-line answer, logged as the editor logs it.
// Refused, with the line for the user, when no answer comes or it is not understood.
core::Refusable<core::StoredEffectReply> queryStoredEffect(PedalLine& line, AnswerReport* report = nullptr);

// Request (02 N) and the parameter block of an algorithm with N parameters and R read-backs.
// Anything but the whole block (a number more or less shifts every field after it) is refused.
core::Refusable<core::ParameterBlock> requestParameterBlock(PedalLine& line, std::size_t numControls,
                                                            std::size_t numReadbacks, AnswerReport* report = nullptr);

// What Upload sends: bypass on (the pedal is muted while the image loads), the pause for it to
// settle, and the upload message, logged as the editor logs them. Refused before anything is
// sent when the image is empty; `notSent` (when given) is set when a command did not go out
// whole. Accepted with the upload message's size in bytes. The pedal's "Upload complete" comes
// later: the editor's poll sees it, other callers wait for it with awaitUploadComplete.
core::Refusable<std::size_t> sendUpload(PedalLine& line, const std::string& imageHex, core::UploadTarget target,
                                 const QString& name, bool* notSent = nullptr);

// The wait for the pedal's "Upload complete" after sendUpload.
inline constexpr int kUploadConfirmLimitMs = 10000;
core::Refusable<bool> awaitUploadComplete(PedalLine& line, const QString& name);

// sendUpload and awaitUploadComplete, after dropping whatever the pedal had said before.
core::Refusable<std::size_t> uploadAndConfirm(PedalLine& line, const std::string& imageHex, core::UploadTarget target,
                                       const QString& name);

struct PedalBackupRead {
    core::SettingsBackup backup;
    core::ControlLayout layout;  // of the algorithm, for the names written beside the values
};

// Asks which algorithm the pedal holds and reads its parameter block. Refused when the pedal
// holds none, one this catalogue lacks, or does not answer, or when the line's owner refuses
// the conversation (another one is running).
core::Refusable<PedalBackupRead> readPedalSettings(PedalLine& line, const core::ResourceLookup& lookup);

struct RestoreOutcome {
    bool uploaded = false;
    std::size_t total = 0;
    std::vector<std::string> differences;  // empty when every setting took
    core::SettingsBackup readBack;          // what the pedal holds afterwards
    std::string summary;                    // "restored 14 of 14 settings" or with the differences
};

// Checks the backup (a refusal sends nothing), uploads its algorithm when the pedal needs it,
// sends every setting and Store, then reads everything back and compares. Refused when the
// backup is refused or the pedal stops answering; a restore that ran but did not take fully
// is accepted with its differences. `changedPedal` (when given) is set once anything that
// changes the pedal was sent, refused or not: the pedal's algorithm is then to be asked again.
core::Refusable<RestoreOutcome> restorePedalSettings(PedalLine& line, const core::SettingsBackup& backup,
                                                     const core::ResourceLookup& lookup, bool* changedPedal = nullptr);

}  // namespace qeltx::session
