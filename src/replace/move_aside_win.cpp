#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "replace/move_aside.h"

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/process_win.h"
#include "base/log_system.h"
#include "base/product.h"
#include "base/clock.h"
#include "base/wide_win.h"
#include "replace/holders.h"
#include "replace/replace_rules.h"

// replace sits below the installer's process helpers, so it reads the token itself.
void ClearStaleCopy(StrView asidePathIn) {
    TempArenaScope scope;
    StrView asidePath = str::DupTemp(asidePathIn);
    if (!file::Exists(asidePath)) {
        return;
    }
    KillProcessesWithModule(asidePath);
    ClearReadOnly(asidePath);
    if (file::Delete(asidePath)) {
        return;
    }
    Logf("ClearStaleCopy: can't delete '%s', lastError=%u\n", asidePath.CStr(), (unsigned)GetLastError());
    StrView stale = aside::StalePathTemp(asidePath, GetTickCount());
    if (MoveFileExW(W(asidePath), W(stale), 0)) {
        Logf("ClearStaleCopy: moved to '%s'\n", stale.CStr());
        // Still loaded somewhere: it stays until nothing uses it any more.
        DeleteFileW(W(stale));
    } else {
        Logf("ClearStaleCopy: can't move '%s' aside, lastError=%u\n", asidePath.CStr(), (unsigned)GetLastError());
    }
}

RenameResult TryRenameAsideOnce(StrView pathIn, StrView asidePathIn, StrView keepPathIn) {
    TempArenaScope scope;
    StrView path = str::DupTemp(pathIn);
    StrView asidePath = str::DupTemp(asidePathIn);
    StrView keepPath = str::DupTemp(keepPathIn);
    if (!file::Exists(path)) {
        return {true, 0};
    }
    ClearReadOnly(path);
    ClearStaleCopy(asidePath);
    KillProcessesWithModule(path);
    if (MoveFileExW(W(path), W(asidePath), MOVEFILE_REPLACE_EXISTING)) {
        // Nothing happens between the two renames: an installer killed here leaves either
        // name filled.
        bool kept = !keepPath.IsEmpty() && durable::Replace(keepPath, path);
        Logf("TryRenameAsideOnce: ok '%s' -> '%s'\n", path.CStr(), asidePath.CStr());
        if (kept) {
            Logf("  a copy stays in place until the new file is written: '%s'\n", path.CStr());
        }
        return {true, 0};
    }
    uint32_t err = GetLastError();
    Logf("TryRenameAsideOnce: MoveFileEx failed for '%s' lastError=%u\n", path.CStr(), (unsigned)err);
    LogLastError(err);
    if (err == kErrorAccessDenied) {
        LogFileDiagnostics(path);
        Logf("  target '%s' exists=%d\n", asidePath.CStr(), (int)file::Exists(asidePath));
    }
    return {false, err};
}

void LogFileDiagnostics(StrView pathIn) {
    TempArenaScope scope;
    StrView path = str::DupTemp(pathIn);
    uint32_t attrs = file::GetAttributes(path);
    Logf("  file diagnostics for '%s': elevated=%d attrs=0x%x", path.CStr(), (int)IsProcessElevated(),
         (unsigned)attrs);
    if (attrs == kInvalidFileAttributes) {
        DWORD err = GetLastError();
        Log(" (GetAttributes failed)\n");
        LogLastError(err);
        return;
    }
    static const struct {
        uint32_t bit;
        const char* name;
    } kBits[] = {{0x1, " READONLY"},    {0x2, " HIDDEN"},       {0x4, " SYSTEM"},
                 {0x400, " REPARSE"},   {0x800, " COMPRESSED"}, {0x4000, " ENCRYPTED"}};
    Str line(GetTempArena());
    for (const auto& b : kBits) {
        if (attrs & b.bit) {
            str::Append(line, b.name);
        }
    }
    str::Append(line, "\n");
    Log(str::View(line));

    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    DWORD err = GetNamedSecurityInfoW(W(path), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                      nullptr, &sd);
    if (err != ERROR_SUCCESS) {
        Logf("  GetNamedSecurityInfo(OWNER) failed err=%u\n", (unsigned)err);
        return;
    }
    if (!owner || !IsValidSid(owner)) {
        Log("  owner SID missing/invalid\n");
    } else {
        WCHAR* sidText = nullptr;
        if (ConvertSidToStringSidW(owner, &sidText)) {
            Logf("  owner SID: %s\n", U(sidText).CStr());
            LocalFree(sidText);
        }
        WCHAR account[256], domain[256];
        DWORD accountLen = 256, domainLen = 256;
        SID_NAME_USE use = SidTypeUnknown;
        if (LookupAccountSidW(nullptr, owner, account, &accountLen, domain, &domainLen, &use)) {
            Logf("  owner account: %s\\%s (use=%u)\n", U(domain).CStr(), U(account).CStr(), (unsigned)use);
        } else {
            Logf("  LookupAccountSid failed err=%u\n", (unsigned)GetLastError());
        }
    }
    LocalFree(sd);
}

StrView BuildBlockedFileMessageTemp(StrView name, StrView path, uint32_t renameError) {
    StrView holders = ProcessesHoldingFileTemp(path);
    bool elevated = holders.IsEmpty() && renameError == kErrorAccessDenied && IsProcessElevated();
    return BlockedFileMessageTemp(name, holders, renameError, elevated);
}

void ReportMoveAsideFailure(StrView name, StrView path, uint32_t renameError, bool aborted) {
    TempArenaScope scope;
    bool inUse = renameError != kErrorAccessDenied || !ProcessesHoldingFileTemp(path).IsEmpty();
    bool elevated = !inUse && IsProcessElevated();
    NotifyFailed(MoveAsideFailureMessageTemp(name, inUse, aborted, elevated));
}

namespace {
// A copy of the installed file under the keep name, to take its name once it is moved
// aside; empty when it cannot be made (a holder that does not share reading, a full disk):
// the name then stays free until the new file is written.
StrView MakeKeepCopyTemp(StrView path) {
    StrView keepPath = aside::KeepPathTemp(path);
    ClearReadOnly(keepPath);
    // The copy takes the installed name: its bytes must be on the disk before that rename
    // is, or a power cut could leave the name on an empty file.
    if (CopyFileW(W(path), W(keepPath), FALSE) && durable::Flush(keepPath)) {
        return keepPath;
    }
    Logf("MoveAsideInstallFile: no copy to keep in place, CopyFileW failed lastError=%u\n",
         (unsigned)GetLastError());
    file::Delete(keepPath);
    return {};
}

bool RenameAsideWithRetries(StrView path, StrView asidePath, StrView name, StrView keepPath, bool silent) {
    bool stopSearch = aside::NeedsSearchServiceStop(name);
    // The person is told why the latest attempt failed.
    RenameResult rename;
    for (int attempt = 1; attempt <= aside::kQuickAttempts; attempt++) {
        Logf("  quick rename attempt %d/%d\n", attempt, aside::kQuickAttempts);
        if (stopSearch) {
            StopWindowsSearchService();
        }
        rename = TryRenameAsideOnce(path, asidePath, keepPath);
        if (rename.ok) {
            return true;
        }
        KillProcessesWithModule(path);
        SleepMs(aside::QuickPauseMs(attempt));
    }
    bool aborted = false;
    if (silent) {
        for (int retry = 1; retry <= aside::kSilentRetries; retry++) {
            Logf("  silent rename retry %d/%d after 3s\n", retry, aside::kSilentRetries);
            SleepMs(aside::kSilentPauseMs);
            if (stopSearch) {
                StopWindowsSearchService();
            }
            rename = TryRenameAsideOnce(path, asidePath, keepPath);
            if (rename.ok) {
                return true;
            }
        }
        Logf("MoveAsideInstallFile: silent FAILED for '%s'\n", path.CStr());
    } else {
        rename = ShowMoveAsideBlockedDialog(path, asidePath, name, rename.error, keepPath);
        if (rename.ok) {
            return true;
        }
        Logf("MoveAsideInstallFile: user aborted for '%s'\n", path.CStr());
        SetInstallOutcome(InstallOutcome::Aborted);
        aborted = true;
    }
    ReportMoveAsideFailure(name, path, rename.error, aborted);
    return false;
}
}  // namespace

// The installed file is moved aside, and a copy of it takes its name at once: nothing has
// the copy loaded, so the new file is written straight over it, and until then the earlier
// installation stays whole, even when the installer is killed in between.
bool MoveAsideInstallFile(StrView installDir, StrView nameIn, bool silent) {
    TempArenaScope scope;
    StrView name = str::DupTemp(nameIn);
    StrView path = path::JoinTemp(installDir, name);
    if (!file::Exists(path)) {
        Logf("MoveAsideInstallFile: no existing '%s'\n", path.CStr());
        return true;
    }
    StrView asidePath = aside::CopyPathTemp(path);
    Logf("MoveAsideInstallFile: '%s' (size=%lld) -> '%s' silent=%d\n", path.CStr(), (long long)file::GetSize(path),
         asidePath.CStr(), (int)silent);
    StrView keepPath = MakeKeepCopyTemp(path);
    bool moved = RenameAsideWithRetries(path, asidePath, name, keepPath, silent);
    if (!keepPath.IsEmpty() && file::Exists(keepPath)) {
        file::Delete(keepPath);
    }
    return moved;
}

bool PrepareInstallDirByRenaming(StrView installDir, bool silent, bool skipExe) {
    TempArenaScope scope;
    Logf("PrepareInstallDirByRenaming('%s' silent=%d skipExe=%d)\n", str::DupTemp(installDir).CStr(), (int)silent,
         (int)skipExe);
    StopWindowsSearchService();
    for (const char* name : aside::kMoveAsideNames) {
        if (skipExe && str::EqI(name, kReaderExeName)) {
            continue;
        }
        if (!MoveAsideInstallFile(installDir, name, silent)) {
            return false;
        }
    }
    MoveAsideOrDeleteLegacyLibrary(installDir);
    return true;
}

int64_t KeepCopiesSize(StrView installDir) {
    TempArenaScope scope;
    int64_t total = 0;
    for (const char* name : aside::kMoveAsideNames) {
        int64_t size = file::GetSize(path::JoinTemp(installDir, name));
        total += size > 0 ? size : 0;
    }
    return total;
}

void RestoreInstallCopyFiles(StrView installDir) {
    TempArenaScope scope;
    Logf("RestoreInstallCopyFiles('%s')\n", str::DupTemp(installDir).CStr());
    for (const char* name : aside::kRestoreNames) {
        StrView path = path::JoinTemp(installDir, name);
        StrView copy = aside::CopyPathTemp(path);
        if (!file::Exists(copy)) {
            continue;
        }
        if (file::Exists(path)) {
            ClearReadOnly(path);
            if (file::Delete(path)) {
                Logf("  deleted partial '%s'\n", path.CStr());
            } else {
                StrView failed = aside::FailedPathTemp(path);
                file::Delete(failed);
                if (MoveFileExW(W(path), W(failed), MOVEFILE_REPLACE_EXISTING)) {
                    Logf("  moved partial '%s' -> '%s'\n", path.CStr(), failed.CStr());
                } else {
                    DWORD err = GetLastError();
                    Logf("  could not clear partial '%s' lastError=%u\n", path.CStr(), (unsigned)err);
                    LogLastError(err);
                }
            }
        }
        // Written through: the installer reports the failure and ends right after, and the
        // earlier installation must start after a power cut too.
        if (durable::Replace(copy, path)) {
            Logf("  restored '%s' <- .copy\n", path.CStr());
        } else {
            DWORD err = GetLastError();
            Logf("  failed to restore '%s' from .copy lastError=%u\n", path.CStr(), (unsigned)err);
            LogLastError(err);
        }
    }
}

void MoveAsideOrDeleteLegacyLibrary(StrView installDir) {
    TempArenaScope scope;
    StrView path = path::JoinTemp(installDir, aside::kLegacyLibrary);
    if (!file::Exists(path)) {
        Logf("MoveAsideOrDeleteLegacyLibrary: no legacy '%s'\n", path.CStr());
        return;
    }
    Logf("MoveAsideOrDeleteLegacyLibrary: found legacy '%s' size=%lld\n", path.CStr(), (long long)file::GetSize(path));
    KillProcessesWithModule(path);
    StrView asidePath = aside::CopyPathTemp(path);
    if (TryRenameAsideOnce(path, asidePath).ok) {
        Logf("MoveAsideOrDeleteLegacyLibrary: renamed to '%s'\n", asidePath.CStr());
        return;
    }
    ClearReadOnly(path);
    if (file::Delete(path)) {
        Logf("MoveAsideOrDeleteLegacyLibrary: deleted '%s'\n", path.CStr());
        return;
    }
    DWORD err = GetLastError();
    Logf("MoveAsideOrDeleteLegacyLibrary: could not rename/delete '%s' (ok; install continues)\n", path.CStr());
    LogLastError(err);
}
