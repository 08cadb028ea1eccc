#include <windows.h>

#include "replace/robust_write.h"

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/clock.h"
#include "base/wide_win.h"
#include "replace/holders.h"
#include "replace/replace_rules.h"

namespace {
// Attributes a user or an earlier installation gave a file (hidden, system, not indexed, ...),
// beyond read-only, which is cleared to replace it, and archive, which every new file has.
constexpr uint32_t kOwnAttrs = ~(uint32_t)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL);

void LogSizeMismatch(StrView path, int32_t size) {
    Logf("  size check failed path='%s' size=%lld expected=%d\n", path.CStr(), (long long)file::GetSize(path),
         (int)size);
}

// Each step leaves the system error of a failed write in *error; a size check that fails
// leaves it as it was.
bool TryDirect(StrView path, StrView data, uint32_t* error) {
    ClearReadOnly(path);
    if (file::WriteFile(path, data, true)) {
        if (file::GetSize(path) == data.len) {
            Logf("WriteInstallerFileRobust: ok (direct) '%s'\n", path.CStr());
            return true;
        }
        LogSizeMismatch(path, data.len);
        return false;
    }
    *error = GetLastError();
    Logf("  direct WriteFile failed lastError=%u\n", (unsigned)*error);
    LogLastError(*error);
    return false;
}

bool TryViaTemp(StrView path, StrView data, uint32_t* error) {
    StrView tmp = str::FormatTemp("%s%s", path.CStr(), aside::kTmpSuffix);
    Logf("  trying write via temp '%s'\n", tmp.CStr());
    ClearReadOnly(tmp);
    file::Delete(tmp);
    if (!file::WriteFile(tmp, data, true)) {
        *error = GetLastError();
        Logf("  temp WriteFile failed lastError=%u\n", (unsigned)*error);
        LogLastError(*error);
        file::Delete(tmp);
        return false;
    }
    if (file::GetSize(tmp) != data.len) {
        LogSizeMismatch(tmp, data.len);
        file::Delete(tmp);
        return false;
    }
    ClearReadOnly(path);
    uint32_t keptAttrs = file::GetAttributes(path);
    if (!durable::Replace(tmp, path)) {
        *error = GetLastError();
        Logf("  MoveFileExW(REPLACE) failed lastError=%u\n", (unsigned)*error);
        LogLastError(*error);
        file::Delete(tmp);
        return false;
    }
    if (file::GetSize(path) == data.len) {
        // The replaced file's attributes stay, as they do when a file is written over.
        if (keptAttrs != kInvalidFileAttributes && (keptAttrs & kOwnAttrs) != 0) {
            SetFileAttributesW(W(path), keptAttrs);
        }
        Logf("WriteInstallerFileRobust: ok (temp+rename) '%s'\n", path.CStr());
        return true;
    }
    LogSizeMismatch(path, data.len);
    return false;
}
}  // namespace

RobustWriteResult WriteInstallerFileRobust(StrView pathIn, const char* bytes, int32_t size) {
    if (pathIn.IsEmpty() || !bytes || size < 0) {
        Log("WriteInstallerFileRobust: null path or data\n");
        return {};
    }
    TempArenaScope scope;
    StrView path = str::DupTemp(pathIn);
    StrView data(bytes, size);
    Logf("WriteInstallerFileRobust: path='%s' bytes=%d\n", path.CStr(), (int)size);
    int64_t existing = file::GetSize(path);
    if (existing < 0) {
        Log("  no existing file (GetSize failed)\n");
    } else {
        Logf("  existing size=%lld attrs=0x%x\n", (long long)existing, (unsigned)file::GetAttributes(path));
    }
    uint32_t error = 0;
    for (int attempt = 1; attempt <= aside::kWriteAttempts; attempt++) {
        Logf("  attempt %d/%d\n", attempt, aside::kWriteAttempts);
        // An existing file is the earlier installation's: written over in place, it would be
        // half old, half new if the installer were stopped or the power cut meanwhile. The
        // new bytes go to the temporary file first and take the name in one rename; writing
        // in place is only the way out when the name cannot be replaced.
        bool replacing = file::Exists(path);
        bool (*const first)(StrView, StrView, uint32_t*) = replacing ? TryViaTemp : TryDirect;
        bool (*const second)(StrView, StrView, uint32_t*) = replacing ? TryDirect : TryViaTemp;
        if (first(path, data, &error)) {
            return {true, 0};
        }
        if (IsDiskFullError(error)) {
            break;
        }
        if (second(path, data, &error)) {
            return {true, 0};
        }
        if (IsDiskFullError(error)) {
            break;
        }
        int killed = KillProcessesWithModule(path);
        Logf("  KillProcessesWithModule('%s') killed=%d\n", path.CStr(), killed);
        if (file::Exists(path)) {
            // The old file is given up: the next attempt writes into a free name.
            ClearReadOnly(path);
            bool deleted = file::Delete(path);
            DWORD err = GetLastError();
            Logf("  Delete('%s') => %d\n", path.CStr(), (int)deleted);
            if (!deleted) {
                LogLastError(err);
            }
        }
        if (attempt < aside::kWriteAttempts) {
            uint32_t pause = aside::QuickPauseMs(attempt);
            Logf("  sleep %u ms before retry\n", (unsigned)pause);
            SleepMs(pause);
        }
    }
    Logf("WriteInstallerFileRobust: FAILED path='%s' finalSize=%lld expected=%d lastErr=%u\n", path.CStr(),
         (long long)file::GetSize(path), (int)size, (unsigned)error);
    return {false, error};
}

bool WriteNewInstallerFile(StrView pathIn, const char* bytes, int32_t size, durable::FlushQueue* flushes) {
    if (pathIn.IsEmpty() || !bytes || size < 0) {
        return false;
    }
    TempArenaScope scope;
    StrView path = str::DupTemp(pathIn);
    // CREATE_NEW: a file that appeared since the plan was made is never written over here.
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD total = 0;
    BOOL ok = TRUE;
    while (ok && total < (DWORD)size) {
        DWORD written = 0;
        ok = ::WriteFile(h, bytes + total, (DWORD)size - total, &written, nullptr);
        total += written;
        if (ok && written == 0) {
            break;
        }
    }
    LARGE_INTEGER onDisk{};
    if (!ok || total != (DWORD)size || !GetFileSizeEx(h, &onDisk) || onDisk.QuadPart != size) {
        CloseHandle(h);
        DeleteFileW(W(path));
        return false;
    }
    durable::Note(durable::Step::Write, path);
    Logf("WriteInstallerFileRobust: path='%s' bytes=%d\n", path.CStr(), (int)size);
    Log("  no existing file (GetSize failed)\n");
    Logf("  attempt 1/%d\n", aside::kWriteAttempts);
    Logf("WriteInstallerFileRobust: ok (direct) '%s'\n", path.CStr());
    flushes->Add(h, path);
    return true;
}
