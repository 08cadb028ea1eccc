#pragma once
// One installer run from its start to its end, handed to every part that needs it: what the
// command line said, what the run settled on, the earlier installation, how the
// installation is going and the window while there is one. RunInstaller makes it; nothing
// of it is global, so that a part's inputs are the parameters it is given.
#include "base/flags.h"
#include "installer/policies.h"
#include "installer/previous_install.h"

#ifdef _WIN32
#include <windows.h>
#endif

struct InstallerRun {
    const Flags* cli = nullptr;  // the command line as parsed
    // What the run installs: the command line's choices settled with the earlier
    // installation's and the policies', and the folder; the window edits it.
    InstallChoices choices;
    PreviousInstallInfo prev;    // the earlier installation, read once before anything is done
    Policies policies;           // the administrator's, read once at the start
    ChoiceSet locked;            // the choices the policies decide: the window shows them locked
    bool started = false;        // set by whoever starts the installation; never cleared
    bool handedOver = false;     // an elevated copy of this program did the installation
#ifdef _WIN32
    HWND window = nullptr;  // the installer window while it exists; null in a silent run
    void (*afterFirstPaint)() = nullptr;  // called once the window's first page is on screen
#endif
};
