#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/product.h"
#include "base/str.h"
#include "base/wide_win.h"
#include "archive/archive.h"

namespace {

constexpr int kIdrEmbeddedPak = 1;

InstallerArchive gArchive;
bool gArchiveLoadAttempted = false;
const uint8_t* gArchiveData = nullptr;
int32_t gArchiveSize = 0;

bool HasEmbeddedPak(HMODULE mod) {
    return FindResourceW(mod, MAKEINTRESOURCEW(kIdrEmbeddedPak), RT_RCDATA) != nullptr;
}

// The program's own path; long paths included.
StrView GetOwnPathTemp() {
    DWORD cap = MAX_PATH;
    while (cap <= 32768) {
        Vec<char16_t> buf(GetTempArena());
        if (!buf.Grow(cap)) {
            return {};
        }
        DWORD n = GetModuleFileNameW(nullptr, (WCHAR*)buf.els, cap);
        if (n == 0) {
            return {};
        }
        if (n < cap) {
            return ToUtf8Temp(WStrView(buf.els, (int32_t)n));
        }
        cap *= 2;
    }
    return {};
}

// Without an archive of its own the program takes the one of "vlpdf.exe" in its folder. That
// file is loaded for its resources only, as data: none of its code ever runs in this process.
// It stays loaded for the life of the process, since the table points into it.
HMODULE PickArchiveModule() {
    HMODULE self = GetModuleHandleW(nullptr);
    if (HasEmbeddedPak(self)) {
        return self;
    }
    StrView own = GetOwnPathTemp();
    if (own.IsEmpty()) {
        return self;
    }
    StrView readerPath = path::JoinTemp(path::GetDirTemp(own), kReaderExeName);
    HMODULE reader = LoadLibraryExW(W(readerPath), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return reader ? reader : self;
}

}  // namespace

bool EnsureEmbeddedArchiveLoaded() {
    if (gArchiveLoadAttempted) {
        return gArchive.count > 0;
    }
    gArchiveLoadAttempted = true;

    HMODULE mod = PickArchiveModule();
    HRSRC res = FindResourceW(mod, MAKEINTRESOURCEW(kIdrEmbeddedPak), RT_RCDATA);
    HGLOBAL loaded = res ? LoadResource(mod, res) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = res ? SizeofResource(mod, res) : 0;
    if (!data || size > 0x7FFFFFFF) {
        gArchiveSize = -1;
        Log("EnsureEmbeddedArchiveLoaded: LockDataResource(IDR_EMBEDDED_PAK) failed\n");
        return false;
    }
    gArchiveData = (const uint8_t*)data;
    gArchiveSize = (int32_t)size;

    if (!ParseSimpleArchive(gArchiveData, gArchiveSize, &gArchive)) {
        Logf("EnsureEmbeddedArchiveLoaded: ParseSimpleArchive failed (size=%d)\n", gArchiveSize);
        gArchive.count = 0;
        return false;
    }
    Logf("EnsureEmbeddedArchiveLoaded: %d files in IDR_EMBEDDED_PAK (%d bytes)\n", gArchive.count, gArchiveSize);
    return gArchive.count > 0;
}

const InstallerArchive* GetEmbeddedArchive() {
    return &gArchive;
}

int32_t GetEmbeddedArchiveSize() {
    return gArchiveSize;
}
