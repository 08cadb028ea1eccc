#pragma once
// Uninstalling the product from the installed reader: "vlpdf.exe -uninstall [-all-users]
// [-silent]", as the uninstall entry runs it. Everything the installation registered goes
// (through the installer's own removal code), the defaults the reader took are given back,
// and the installed files and their folder are deleted, the running reader's own file
// included: it moves itself out to the temporary folder first, or, where that cannot be (the
// folder on another volume), a copy of it in the temporary folder deletes it once it ended.
#include "base/str.h"

struct UninstallRequest {
    bool allUsers = false;
    bool silent = false;
    // Started by an uninstallation that restarted itself elevated: it never restarts again.
    bool relaunched = false;
    // The user's language (-for-testing, as the installer has it); otherwise Chinese, as the
    // product always speaks.
    bool forTesting = false;
    // Started by the Windows Installer package's own removal (-package-removal <product code>),
    // which takes the package's registration away itself: the product code of that package.
    StrView packageRemoval;
    // Set for the copy that finishes a removal whose reader could not move away: it waits
    // for that process to end, then deletes its file and the folders left empty.
    StrView finishDir;
    uint32_t finishAfterPid = 0;
};

struct UninstallOutcome {
    int exitCode = 0;  // 0 uninstalled; 1 anything else
    // What to tell the user, in the user's language; empty when an elevated copy did the
    // work and told it already.
    StrView message;
    // The language is written right to left: the message box reads and aligns that way.
    bool rtl = false;
};

// The log goes to "vlpdf-uninstall-log.txt" in the user's temporary folder (an elevated copy
// appends to its parent's).
constexpr const char* kUninstallLogName = "vlpdf-uninstall-log.txt";

// The arguments an all-users uninstallation started without rights restarts itself elevated
// with: the request's own, and the marker that the copy was started so.
StrView ElevatedUninstallArgumentsTemp(const UninstallRequest& req);

#ifdef _WIN32
UninstallOutcome RunUninstaller(const UninstallRequest& request);
#endif
