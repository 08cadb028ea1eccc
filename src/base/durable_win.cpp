#include <windows.h>

#include "base/arena.h"
#include "base/durable.h"
#include "base/str.h"
#include "base/wide_win.h"

namespace durable {
bool Flush(StrView path) {
    TempArenaScope scope;
    // Others may have the file open for reading (an aside copy, a keep copy just made).
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = FlushFileBuffers(h) != 0;
    DWORD err = GetLastError();
    CloseHandle(h);
    if (ok) {
        Note(Step::Flush, path);
    }
    SetLastError(ok ? 0 : err);
    return ok;
}

bool Replace(StrView from, StrView to) {
    TempArenaScope scope;
    if (!MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    Note(Step::Rename, from, to);
    return true;
}
}  // namespace durable
