#include <windows.h>

#include "base/arena.h"
#include "base/wide_win.h"
#include "integration/same_file.h"

namespace {
bool GetFileId(StrView path, BY_HANDLE_FILE_INFORMATION* info) {
    // Directories open only with backup semantics; no access right is needed for the id.
    HANDLE h = CreateFileW(W(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL ok = GetFileInformationByHandle(h, info);
    CloseHandle(h);
    return ok;
}
}  // namespace

bool IsSamePath(StrView a, StrView b) {
    WStrView wa = ToWStrTemp(a), wb = ToWStrTemp(b);
    if (CompareStringOrdinal((LPCWCH)wa.s, wa.len, (LPCWCH)wb.s, wb.len, TRUE) == CSTR_EQUAL) {
        return true;
    }
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileId(a, &ia) && GetFileId(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}
