// qeltx-cli's commands: each runs one invocation and returns the exit status.
#pragma once

#include "cli/arguments.h"
#include "cli/output.h"

namespace qeltx::cli {

int runList(const Invocation& invocation, const Output& output);
int runQuery(const Invocation& invocation, const Output& output);
int runUpload(const Invocation& invocation, const Output& output);
int runRequest(const Invocation& invocation, const Output& output);
int runSet(const Invocation& invocation, const Output& output);
int runBackup(const Invocation& invocation, const Output& output);
int runRestore(const Invocation& invocation, const Output& output);
int runFlash(const Invocation& invocation, const Output& output);
int runEepromRead(const Invocation& invocation, const Output& output);
int runEepromErase(const Invocation& invocation, const Output& output);
int runIrMerge(const Invocation& invocation, const Output& output);
int runIrInfo(const Invocation& invocation, const Output& output);
int runCatalogueCheck(const Invocation& invocation, const Output& output);
int runCatalogueList(const Invocation& invocation, const Output& output);
int runReport(const Invocation& invocation, const Output& output);
int runPresetSave(const Invocation& invocation, const Output& output);
int runPresetLoad(const Invocation& invocation, const Output& output);
int runDiff(const Invocation& invocation, const Output& output);

}  // namespace qeltx::cli
