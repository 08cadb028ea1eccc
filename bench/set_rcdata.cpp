// Puts a file's bytes into an executable as its RCDATA 1, in place of what the executable
// had there (same language), so that the bench can give the installer a large archive
// without building it again. Runs under Wine.
//   set_rcdata <exe> <file>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

namespace {

BOOL CALLBACK TakeFirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR out) {
    *(WORD*)out = lang;
    return FALSE;
}

// The language of the executable's RCDATA 1, or neutral when it has none.
WORD ExistingLanguage(const wchar_t* exe) {
    WORD lang = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    HMODULE mod = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (mod) {
        EnumResourceLanguagesW(mod, RT_RCDATA, MAKEINTRESOURCEW(1), TakeFirstLanguage, (LONG_PTR)&lang);
        FreeLibrary(mod);
    }
    return lang;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: set_rcdata <exe> <file>\n");
        return 2;
    }
    HANDLE f = CreateFileW(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size{};
    if (f == INVALID_HANDLE_VALUE || !GetFileSizeEx(f, &size) || size.QuadPart > 0x7FFFFFFF) {
        fprintf(stderr, "set_rcdata: cannot read %ls\n", argv[2]);
        return 1;
    }
    DWORD n = (DWORD)size.QuadPart;
    void* bytes = malloc(n ? n : 1);
    DWORD got = 0;
    bool read = bytes && ReadFile(f, bytes, n, &got, nullptr) && got == n;
    CloseHandle(f);
    if (!read) {
        fprintf(stderr, "set_rcdata: cannot read %ls\n", argv[2]);
        return 1;
    }
    WORD lang = ExistingLanguage(argv[1]);
    HANDLE h = BeginUpdateResourceW(argv[1], FALSE);
    if (!h || !UpdateResourceW(h, RT_RCDATA, MAKEINTRESOURCEW(1), lang, bytes, n) || !EndUpdateResourceW(h, FALSE)) {
        fprintf(stderr, "set_rcdata: updating %ls failed, error %lu\n", argv[1], GetLastError());
        return 1;
    }
    free(bytes);
    return 0;
}
