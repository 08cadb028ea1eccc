#pragma once
// The installer mode: settles the options and the directory, restarts elevated when it
// must, then installs silently or hands over to the installer window. Its result is the
// process exit code.
#include "base/flags.h"

int RunInstaller();

#ifdef _WIN32
#include <windows.h>

// Starts this program again elevated with every choice of state on its command line. With
// process set, the started copy's handle is returned there (the caller closes it).
bool RestartElevatedForAllUsers(Flags* state, HANDLE* process = nullptr);
// The installer window's all-users check box, while the window exists.
extern bool (*gAllUsersChecked)();
#endif
