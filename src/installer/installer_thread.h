#pragma once
// One installation from start to end: free the product's files, unpack the payload,
// replace what the earlier installation registered and register the new one. The outcome
// is gInstallFailed and the first failure message.
#include "base/flags.h"

// Set by whoever starts the installation; never cleared.
extern bool gInstallStarted;
// True from the first step until the files are in place and the shortcuts made.
extern bool gInstallFailed;

// Runs on the calling thread; state is the settled options (gCliNew).
void InstallerThread(Flags* state);

#ifdef _WIN32
#include <windows.h>

// Posted to the installer window when the installation is done, both parameters 0.
constexpr UINT WM_APP_INSTALLATION_FINISHED = WM_APP + 1;
// The installer window while it exists; null in a silent run. Only the window sets it.
extern HWND gInstallerWindow;
#endif
