#pragma once
// How the installation is going, for the whole process: the installation moves it on, and any
// step on any thread may report a failure (only the first message is kept and shown: failure
// page, message box, or standard error in extract mode) or that the person chose to stop.
#include <stdint.h>

#include "base/str.h"

enum class InstallOutcome : uint8_t {
    NotStarted,
    Installing,  // from the first step until the files are in place; a run that ends here failed
    Installed,
    Failed,      // it could not even start
    Aborted,     // the person stopped it; nothing replaces this
};

void SetInstallOutcome(InstallOutcome outcome);
InstallOutcome GetInstallOutcome();
// Started and not installed.
bool InstallationFailed();

// Keeps a copy of the first message; always logs "NotifyFailed: %s\n".
void NotifyFailed(StrView message);
// Empty when nothing has failed.
StrView GetFirstFailureMessage();

// Tests run several installations in one process; the program has one.
void ResetInstallOutcome();
