#pragma once
// The installer mode: settles the options and the directory, restarts elevated when it
// must, then installs silently or hands over to the installer window. Its result is the
// process exit code.
#include "base/flags.h"

// What the program does around the installer window, only in a run that shows it: before
// the window is made (what the run settles first needs no window, and a run that hands over
// to an elevated copy shows none), and once the window's first page is on screen.
struct WindowHooks {
    void (*beforeWindow)() = nullptr;
    void (*afterFirstPaint)() = nullptr;
};

int RunInstaller(const Flags& cli, const WindowHooks& hooks);

#ifdef _WIN32
#include <windows.h>

struct InstallerRun;

// Starts this program again elevated with the run's choices on its command line, for all
// users when they say so or the window's all-users box is checked. With process set, the
// started copy's handle is returned there (the caller closes it).
bool RestartElevatedForAllUsers(const InstallerRun& run, bool allUsersChecked, HANDLE* process = nullptr);
#endif
