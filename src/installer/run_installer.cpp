#include "installer/run_installer.h"

#include <windows.h>

#include "base/log.h"
#include "base/flags.h"

// Installing is not part of this build yet. Say so plainly, in the log and, for a user at
// the window, in a message box, and fail with exit code 1 rather than pretend to install.
int RunInstaller() {
    const char* msg = "Installing is not available in this build of the installer.";
    Logf("RunInstaller: %s\n", msg);
    if (!gCli || !gCli->silent) {
        MessageBoxW(nullptr, L"Installing is not available in this build of the installer.", L"VeloraPDF",
                    MB_OK | MB_ICONERROR);
    }
    return 1;
}
