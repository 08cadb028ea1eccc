#include "stats/hardware_id.h"

#include <stdlib.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "archive/archive.h"
#include "stats/stats.h"

namespace {
bool HoldsExactly(HANDLE file, StrView expected) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart != expected.len) {
        return false;
    }
    char buf[64 * 1024];
    int32_t at = 0;
    DWORD got = 0;
    while (at < expected.len && ReadFile(file, buf, sizeof(buf), &got, nullptr) && got > 0) {
        if (got > (DWORD)(expected.len - at) || memcmp(buf, expected.s + at, got) != 0) {
            return false;
        }
        at += (int32_t)got;
    }
    return at == expected.len;
}
}  // namespace

bool DecodeArchivedHardwareId(const InstallerArchive* archive, StrView* bytes) {
    int32_t idx = archive ? FindArchiveEntry(archive, kHardwareIdDll) : -1;
    char* data = idx < 0 ? nullptr : GetFileDataByIdx(archive, idx);
    if (!data) {
        return false;
    }
    *bytes = StrView(data, (int32_t)archive->entries[idx].uncompressedSize);
    return true;
}

bool WriteHardwareIdCopy(StrView dir, StrView bytes) {
    TempArenaScope scope;
    const WCHAR* path = W(path::JoinTemp(dir, kHardwareIdDll));
    DeleteFileW(path);
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(h, bytes.s, (DWORD)bytes.len, &written, nullptr) && written == (DWORD)bytes.len;
    CloseHandle(h);
    return ok;
}

HardwareIdLib LoadHardwareIdLib(StrView dir, StrView expected) {
    HardwareIdLib lib;
    if (dir.IsEmpty() || expected.IsEmpty()) {
        return lib;
    }
    TempArenaScope scope;
    const WCHAR* path = W(path::JoinTemp(path::NormalizeTemp(dir), kHardwareIdDll));
    // Sharing reading only: nobody can write, rename or delete the file while it is held,
    // and the loader's own opening for reading and running still succeeds.
    HANDLE held = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return lib;
    }
    if (HoldsExactly(held, expected)) {
        lib.module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!lib.module && GetLastError() == ERROR_INVALID_PARAMETER) {
            // A Windows 7 without the search-path update knows no search flags; the search
            // was restricted at start-up as far as it allows.
            lib.module = LoadLibraryExW(path, nullptr, 0);
        }
    } else {
        Logf("LoadHardwareIdLib: '%s' is not the copy this run wrote; not loaded\n",
             U(path).CStr());
    }
    CloseHandle(held);
    if (lib.module) {
        lib.generate = (HwIdTextFn)(void*)GetProcAddress(lib.module, "HwId_Generate");
        lib.systemInfo = (HwIdTextFn)(void*)GetProcAddress(lib.module, "SystemInfo_Get");
    }
    return lib;
}

void FreeHardwareIdLib(HardwareIdLib* lib) {
    if (lib->module) {
        FreeLibrary(lib->module);
    }
    *lib = HardwareIdLib();
}

StrView CallHardwareIdTemp(HwIdTextFn fn, int cap) {
    wchar_t buf[64] = {};
    if (!fn || cap <= 0 || cap > (int)ARRAYSIZE(buf) || fn(buf, cap) != 0) {
        return {};
    }
    // A library that forgets the terminator still gives no more than its buffer.
    buf[cap - 1] = 0;
    return U(buf);
}
