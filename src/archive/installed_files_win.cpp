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
