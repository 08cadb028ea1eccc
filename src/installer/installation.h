#pragma once
// One installation from start to end: free the product's files, unpack the payload,
// replace what the earlier installation registered and register the new one. The outcome
// is the process's InstallOutcome and the first failure message (base/install_failure.h).
#include "installer/installer_run.h"

// Runs on the calling thread (a silent run's main thread, or the window's worker thread named
// "InstallerThread"), on the run's settled options; when the run has a window, it is told once
// the installation is done.
void RunInstallation(InstallerRun* run);

#ifdef _WIN32
#include <windows.h>

// Posted to the installer window when the installation is done, both parameters 0.
constexpr UINT WM_APP_INSTALLATION_FINISHED = WM_APP + 1;
#endif
