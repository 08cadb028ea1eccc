#pragma once
// The installer mode: settles the options and the directory, restarts elevated when it
// must, then installs silently or hands over to the installer window. Its result is the
// process exit code.
#include "base/flags.h"

int RunInstaller(const Flags& cli);

#ifdef _WIN32
#include <windows.h>

// Starts this program again elevated with every choice of the settled options on its
// command line, for all users when they say so or the window's all-users box is checked.
// With process set, the started copy's handle is returned there (the caller closes it).
bool RestartElevatedForAllUsers(const Flags& settled, bool allUsersChecked, HANDLE* process = nullptr);
#endif
