#include <windows.h>

#include "installer/other_install.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "installer/previous_install.h"
#include "integration/registration.h"
#include "integration/registry.h"
#include "integration/uninstall.h"
#include "archive/installed_files.h"
#include "replace/holders.h"

namespace {
bool IsReparsePoint(StrView path) {
    uint32_t attrs = file::GetAttributes(path);
    return attrs != kInvalidFileAttributes && (attrs & dir::kAttrReparsePoint);
}

// Whether a file below dir is reached through a link or junction: dir itself or one of the
// folders between (an elevated run deletes only what really lies in the folder).
bool ThroughLink(StrView dir, StrView rel) {
    if (IsReparsePoint(dir)) {
        return true;
    }
    for (int32_t i = 0; i < rel.len; i++) {
        if (path::IsSep(rel.s[i]) && IsReparsePoint(path::JoinTemp(dir, str::DupTemp(StrView(rel.s, i))))) {
            return true;
        }
    }
    return false;
}

// The installed file and whatever the installer left beside it; what is still loaded
// somewhere goes at the next start of Windows.
void DeleteInstalledFile(StrView dir, StrView rel, AtRestart mark, Vec<StrView>* atRestart) {
    StrView file = path::JoinTemp(dir, rel);
    StrView name = path::GetBaseName(file);
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(W(str::FormatTemp("%s*", file.CStr())), &fd);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    Vec<StrView> found(GetTempArena());
    do {
        StrView foundName = U(fd.cFileName);
        if (!(fd.dwFileAttributes & dir::kAttrDirectory) && str::StartsWithI(foundName, name) &&
            IsBesideName(StrView(foundName.s + name.len, foundName.len - name.len))) {
            found.Append(path::JoinTemp(path::GetDirTemp(file), foundName));
        }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    for (StrView p : found) {
        ClearReadOnly(p);
        if (DeleteNowOrAtRestart(p, 1, mark) == Deleted::AtRestart) {
            atRestart->Append(p);
        }
    }
}
}  // namespace

void RemoveInstallationFiles(StrView dirIn, bool allUsers) {
    TempArenaScope scope;
    StrView dir = str::DupTemp(dirIn);
    Logf("RemoveInstallationFiles('%s')\n", dir.CStr());
    if (!dir::Exists(dir)) {
        return;
    }
    KillProcessesUsingInstallationDir(dir);
    Vec<StrView> files = InstalledFilesTemp();
    Vec<StrView> atRestart(GetTempArena());
    for (StrView rel : files) {
        if (ThroughLink(dir, rel)) {
            Logf("  not following a link to '%s'\n", rel.CStr());
            continue;
        }
        DeleteInstalledFile(dir, rel, allUsers ? AtRestart::Allowed : AtRestart::Never, &atRestart);
    }
    // Only the folders the installation made; folders of the user's own below dir stay.
    Vec<StrView> folders = FoldersOfTemp(files);
    for (StrView& folder : folders) {
        folder = path::JoinTemp(dir, folder);
    }
    if (RemoveEmptyFolders(dir, folders, &atRestart) == Deleted::Now) {
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
