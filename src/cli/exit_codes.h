// qeltx-cli's exit status: what scripts test after every command.
#pragma once

namespace qeltx::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the pedal or a file failed; one line on standard error
inline constexpr int kExitUsage = 2;    // the command line was wrong
inline constexpr int kExitPartial = 3;  // done, with a warning on standard error: not all of it took

}  // namespace qeltx::cli
