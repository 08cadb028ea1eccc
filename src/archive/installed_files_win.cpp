#include <windows.h>

#include "base/arena.h"
#include "base/clock.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "archive/installed_files.h"
#include "replace/replace_rules.h"

namespace {
bool Contains(const Vec<StrView>& paths, StrView p) {
    for (StrView q : paths) {
        if (str::EqI(q, p)) {
            return true;
        }
    }
    return false;
}

// Whether everything the folder still holds goes at restart: then it can go right after.
bool HoldsOnlyWhatGoesAtRestart(StrView folder, const Vec<StrView>& atRestart) {
    if (atRestart.len == 0) {
        return false;
    }
    TempArenaScope scope;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(W(path::JoinTemp(folder, "*")), &fd);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool only = true;
    do {
        StrView name = U(fd.cFileName);
        if (str::Eq(name, ".") || str::Eq(name, "..")) {
            continue;
        }
        only = Contains(atRestart, path::JoinTemp(folder, name));
    } while (only && FindNextFileW(find, &fd));
    FindClose(find);
    return only;
}

// A link or junction (or any other reparse point): never entered, never removed.
bool IsLink(StrView path) {
    uint32_t attrs = file::GetAttributes(path);
    return attrs != kInvalidFileAttributes && (attrs & dir::kAttrReparsePoint);
}

// A path below dir as relative to it.
StrView RelativeTo(StrView dir, StrView path) {
    int32_t skip = dir.len < path.len && path::IsSep(path.s[dir.len]) ? dir.len + 1 : dir.len;
    return StrView(path.s + skip, path.len - skip);
}

// Every file below dir, and the folders below it that the policy lets go. A link is neither
// entered nor listed as a folder: the walk goes one folder at a time and asks each folder's
// attributes itself, as a recursive walk would follow a reparse point whose tag does not name
// a link.
void ListBelow(StrView dir, Vec<StrView>* files, InstalledFilesSweep* sweep) {
    Vec<StrView> own = FoldersOfTemp(InstalledFilesTemp());
    Vec<StrView> pending(GetTempArena());
    pending.Append(dir);
    while (pending.len > 0) {
        StrView folder = pending[pending.len - 1];
        pending.RemoveAt(pending.len - 1);
        dir::WalkEntry e;
        for (dir::Walk walk(folder, true, true, false); walk.Next(&e);) {
            StrView rel = RelativeTo(dir, e.path);
            if (e.isFile) {
                files->Append(e.path);
            } else if (IsLink(e.path)) {
                Logf("  not following a link to '%s'\n", rel.CStr());
                sweep->kept++;
            } else {
                pending.Append(e.path);
                if (sweep->policy.folders == FoldersThatGo::EveryEmpty || Contains(own, rel)) {
                    sweep->folders.Append(e.path);
                }
            }
        }
    }
}

// A folder that cannot go now goes at restart when all it holds does.
Deleted RemoveFolder(StrView folder, Vec<StrView>* atRestart, uint32_t* err) {
    if (RemoveDirectoryW(W(folder))) {
        return Deleted::Now;
    }
    *err = (uint32_t)GetLastError();
    if (atRestart && HoldsOnlyWhatGoesAtRestart(folder, *atRestart) && DeleteAtRestart(folder)) {
        atRestart->Append(folder);
        return Deleted::AtRestart;
    }
    SetLastError(*err);
    return Deleted::No;
}
}  // namespace

bool DeleteAtRestart(StrView path) {
    return MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

Deleted DeleteNowOrAtRestart(StrView path, int attempts, AtRestart atRestart) {
    DWORD err = 0;
    for (int attempt = 0; attempt < attempts; attempt++) {
        if (file::Delete(path)) {
            return Deleted::Now;
        }
        err = GetLastError();
        if (attempt + 1 == attempts) {
            break;
        }
        Logf("  delete '%s' failed err=%u (attempt %d)\n", path.CStr(), (unsigned)err, attempt + 1);
        if (err == ERROR_ACCESS_DENIED) {
            ClearReadOnly(path);
        }
        SleepMs(aside::QuickPauseMs(attempt));
    }
    // Still held somewhere: it goes at the next start of Windows.
    bool later = atRestart == AtRestart::Allowed && DeleteAtRestart(path);
    Logf("  could not delete '%s' err=%u%s\n", path.CStr(), (unsigned)err, later ? ", deleted at restart" : "");
    SetLastError(err);
    return later ? Deleted::AtRestart : Deleted::No;
}

Deleted RemoveEmptyFolders(StrView dir, const Vec<StrView>& folders, Vec<StrView>* atRestart) {
    for (StrView folder : folders) {
        uint32_t err = 0;
        if (RemoveFolder(folder, atRestart, &err) == Deleted::No) {
            Logf("  kept folder '%s' err=%u\n", folder.CStr(), (unsigned)err);
        }
    }
    uint32_t err = 0;
    return RemoveFolder(dir, atRestart, &err);
}

// Both mark for the next start only in an all-users installation's folder: Windows deletes
// what is marked as the system, through any link a user put into a per-user folder.
RemovalPolicy UninstallerRemoval(bool allUsers) {
    return {.attempts = 3,
            .atRestart = allUsers ? AtRestart::Allowed : AtRestart::Never,
            .refuseLinkedDir = false,
            .folders = FoldersThatGo::EveryEmpty};
}

RemovalPolicy InstallerRemoval(bool allUsers) {
    return {.attempts = 1,
            .atRestart = allUsers ? AtRestart::Allowed : AtRestart::Never,
            .refuseLinkedDir = true,
            .folders = FoldersThatGo::Installations};
}

void DeleteInstalledFiles(StrView dir, StrView spared, InstalledFilesSweep* sweep) {
    if (sweep->policy.refuseLinkedDir && IsLink(dir)) {
        Logf("  not following a link to '%s'\n", dir.CStr());
        sweep->refused = true;
        return;
    }
    Vec<StrView> installed = InstalledFilesTemp();
    Vec<StrView> files(GetTempArena());
    ListBelow(dir, &files, sweep);
    for (StrView file : files) {
        if (!spared.IsEmpty() && path::IsSameFile(file, spared, path::SameFileNames::SpellingsMayDiffer)) {
            continue;
        }
        if (!IsInstalledFile(RelativeTo(dir, file), installed)) {
            Logf("  kept '%s': not installed by VeloraPDF\n", file.CStr());
            sweep->kept++;
            continue;
        }
        ClearReadOnly(file);
        switch (DeleteNowOrAtRestart(file, sweep->policy.attempts, sweep->policy.atRestart)) {
            case Deleted::Now:
                sweep->deleted++;
                break;
            case Deleted::AtRestart:
                sweep->atRestart.Append(file);
                break;
            case Deleted::No:
                if (sweep->firstFailed.IsEmpty()) {
                    sweep->firstFailed = str::Dup(GetProcessArena(), file);
                }
                break;
        }
    }
}

Deleted RemoveInstalledFolders(StrView dir, InstalledFilesSweep* sweep) {
    if (sweep->refused) {
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return Deleted::No;
    }
    SortDeepestFirst(&sweep->folders);
    return RemoveEmptyFolders(dir, sweep->folders, &sweep->atRestart);
}

Deleted RemoveInstallation(StrView dir, const RemovalPolicy& policy) {
    InstalledFilesSweep sweep(policy);
    DeleteInstalledFiles(dir, {}, &sweep);
    return RemoveInstalledFolders(dir, &sweep);
}
