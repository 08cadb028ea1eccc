#include <windows.h>

#include "installer/other_install.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "installer/previous_install.h"
#include "integration/registration.h"
#include "integration/registry.h"
#include "integration/uninstall.h"
#include "archive/installed_files.h"
#include "replace/holders.h"

void RemoveInstallationFiles(StrView dirIn, bool allUsers) {
    TempArenaScope scope;
    StrView dir = str::DupTemp(dirIn);
    Logf("RemoveInstallationFiles('%s')\n", dir.CStr());
    if (!dir::Exists(dir)) {
        return;
    }
    KillProcessesUsingInstallationDir(dir);
    if (RemoveInstallation(dir, InstallerRemoval(allUsers)) == Deleted::Now) {
        Logf("  removed '%s'\n", dir.CStr());
    }
}

void RemoveOtherInstallation(HKEY root, StrView installDir, StrView earlierDir) {
    TempArenaScope scope;
    HKEY other = RootFor(root != HKEY_LOCAL_MACHINE);
    StrView otherDir = ReadRegStrTemp(other, kUninstallRegKey, "InstallLocation");
    // The same root but another folder: the entry was written over, so earlierDir is known
    // from the start of this run.
    if (!otherDir.IsEmpty()) {
        Logf("RemoveOtherInstallation: '%s' registered under %s\n", otherDir.CStr(), RegKeyName(other));
        Registration earlier(GetTempArena());
        BuildRegistration(AnyInstallationIn(otherDir, other == HKEY_LOCAL_MACHINE), &earlier);
        RemoveRegistration(earlier, Removal::OtherInstallation);
        if (!path::IsSameFile(otherDir, installDir)) {
            RemoveInstallationFiles(otherDir, other == HKEY_LOCAL_MACHINE);
        }
        // Last, and whatever the earlier installation was taken for: a run after one killed
        // here finds its folder gone and counts it as no installation at all.
        RemoveRegistration(earlier, Removal::OtherInstallationEntry);
    }
    if (!earlierDir.IsEmpty() && !path::IsSameFile(earlierDir, installDir) &&
        (otherDir.IsEmpty() || !path::IsSameFile(earlierDir, otherDir))) {
        RemoveInstallationFiles(earlierDir, root == HKEY_LOCAL_MACHINE);
    }
}
