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
#include "payload/archive.h"
#include "payload/extract.h"
#include "payload/extract_plan.h"
#include "replace/holders.h"
#include "replace/replace_rules.h"

namespace {
// What the installer leaves beside an installed file for a while: the moved-aside copy, the
// copy kept in its place, the temporary file of a replacing write, a partial put aside.
const char* const kBesideSuffixes[] = {"", ".copy", ".keep", ".tmp", ".failed"};

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

void DeleteInstalledFile(StrView dir, StrView rel) {
    for (const char* suffix : kBesideSuffixes) {
        StrView p = str::FormatTemp("%s%s", path::JoinTemp(dir, rel).CStr(), suffix);
        if (!file::Exists(p)) {
            continue;
        }
        ClearReadOnly(p);
        if (file::Delete(p)) {
            continue;
        }
        // Still loaded somewhere: it goes at the next start of Windows.
        DWORD err = GetLastError();
        bool later = MoveFileExW(W(p), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
        Logf("  could not delete '%s' err=%u%s\n", p.CStr(), (unsigned)err, later ? ", deleted at restart" : "");
    }
}

// The folders the entries lie in, deepest first so that each is empty by the time it is
// asked, then dir itself; a folder that still holds anything stays. Folders of the user's
// own below dir are never touched.
void RemoveEmptyFolders(StrView dir, const InstallerArchive* archive) {
    Vec<StrView> folders(GetTempArena());
    for (int32_t i = 0; i < archive->count; i++) {
        StrView rel = archive->entries[i].name;
        for (int32_t end = rel.len - 1; end > 0 && ShouldExtractEntry(rel); end--) {
            if (!path::IsSep(rel.s[end])) {
                continue;
            }
            StrView folder = str::DupTemp(StrView(rel.s, end));
            bool known = false;
            for (int32_t k = 0; k < folders.len && !known; k++) {
                known = str::EqI(folders.els[k], folder);
            }
            if (!known) {
                folders.Append(folder);
            }
        }
    }
    // The longest name left is the deepest folder.
    for (int32_t left = folders.len; left > 0; left--) {
        int32_t deepest = 0;
        for (int32_t i = 1; i < left; i++) {
            deepest = folders.els[i].len > folders.els[deepest].len ? i : deepest;
        }
        StrView folder = path::JoinTemp(dir, folders.els[deepest]);
        if (!RemoveDirectoryW(W(folder))) {
            Logf("  kept folder '%s' err=%u\n", folder.CStr(), (unsigned)GetLastError());
        }
        folders.els[deepest] = folders.els[left - 1];
    }
    if (RemoveDirectoryW(W(dir))) {
        Logf("  removed '%s'\n", dir.CStr());
    }
}
}  // namespace

void RemoveInstallationFiles(StrView dirIn) {
    TempArenaScope scope;
    StrView dir = str::DupTemp(dirIn);
    Logf("RemoveInstallationFiles('%s')\n", dir.CStr());
    const InstallerArchive* archive = GetOpenedArchive();
    if (!archive || !dir::Exists(dir)) {
        return;
    }
    KillProcessesUsingInstallationDir(dir);
    for (int32_t i = 0; i < archive->count; i++) {
        StrView rel = archive->entries[i].name;
        if (!ShouldExtractEntry(rel)) {
            continue;
        }
        TempArenaScope entryScope;
        if (ThroughLink(dir, rel)) {
            Logf("  not following a link to '%s'\n", rel.CStr());
            continue;
        }
        DeleteInstalledFile(dir, rel);
    }
    DeleteInstalledFile(dir, aside::kLegacyLibrary);
    RemoveEmptyFolders(dir, archive);
}

void RemoveOtherInstallation(HKEY root, StrView installDir, StrView earlierDir) {
    TempArenaScope scope;
    HKEY other = root == HKEY_LOCAL_MACHINE ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    StrView otherDir = ReadRegStrTemp(other, kUninstallRegKey, "InstallLocation");
    // The same root but another folder: the entry was written over, so earlierDir is known
    // from the start of this run.
    if (!otherDir.IsEmpty()) {
        Logf("RemoveOtherInstallation: '%s' registered under %s\n", otherDir.CStr(), RegKeyName(other));
        Registration earlier(GetTempArena());
        BuildRegistration(AnyInstallationIn(otherDir, other == HKEY_LOCAL_MACHINE), &earlier);
        RemoveRegistration(earlier, Removal::OtherInstallation);
        if (!path::IsSameFile(otherDir, installDir)) {
            RemoveInstallationFiles(otherDir);
        }
        // Last, and whatever the earlier installation was taken for: a run after one killed
        // here finds its folder gone and counts it as no installation at all.
        RemoveRegistration(earlier, Removal::OtherInstallationEntry);
    }
    if (!earlierDir.IsEmpty() && !path::IsSameFile(earlierDir, installDir) &&
        (otherDir.IsEmpty() || !path::IsSameFile(earlierDir, otherDir))) {
        RemoveInstallationFiles(earlierDir);
    }
}
