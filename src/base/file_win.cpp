#include <windows.h>

#include "base/arena.h"
#include "base/file.h"

namespace {
const WCHAR* W(StrView s) {
    return (const WCHAR*)ToWStrTemp(s).s;
}
}  // namespace

namespace file {
bool Exists(StrView path) {
    DWORD attrs = GetFileAttributesW(W(path));
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFile(StrView path, StrView data) {
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, data.s, (DWORD)data.len, &written, nullptr);
    DWORD err = GetLastError();
    CloseHandle(h);
    SetLastError(err);
    return ok && written == (DWORD)data.len;
}

StrView ReadFile(StrView path, Arena* a, bool* ok) {
    *ok = false;
    HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return {};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size) || size.QuadPart > 0x7FFFFFFE) {
        CloseHandle(h);
        return {};
    }
    DWORD n = (DWORD)size.QuadPart;
    char* p = (char*)(a ? ArenaAlloc(a, (size_t)n + 1) : malloc((size_t)n + 1));
    DWORD got = 0;
    BOOL readOk = p && ::ReadFile(h, p, n, &got, nullptr);
    CloseHandle(h);
    if (!p) {
        return {};
    }
    p[got] = 0;
    *ok = readOk && got == n;
    return {p, (int32_t)got};
}

bool Delete(StrView path) {
    if (DeleteFileW(W(path))) {
        return true;
    }
    DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
}
}  // namespace file

namespace dir {
bool Exists(StrView path) {
    DWORD attrs = GetFileAttributesW(W(path));
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateOne(StrView path) {
    return CreateDirectoryW(W(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}
}  // namespace dir
