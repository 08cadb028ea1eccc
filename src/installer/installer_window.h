#pragma once
// The installer window: the directory and the options, Install, the progress page and the
// finish page, or the failure dialog; and the main thread's message loop.
#include "installer/installer_run.h"

#ifdef _WIN32
#include <windows.h>

// Posted by the window to itself to start the installation at once.
constexpr UINT WM_APP_START_INSTALLATION = WM_APP + 2;

// Creates the window and its first page for the run's settled options and sets
// run->window; false when the window could not be created.
bool CreateInstallerWindow(InstallerRun* run);
// The message loop of the run's window; returns the WM_QUIT exit code.
int RunApp(const InstallerRun& run);
#endif
