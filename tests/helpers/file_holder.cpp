// Test helper that holds a file the way other programs hold the product's files.
//   file_holder open <path> <name> [ms]   opens it for reading with no sharing at all
//   file_holder load <path> <name> [ms]   loads it as a DLL
//   file_holder wait <path> <name> [ms]   only runs (copied over the target, it is the holder)
// When it holds the file it sets the event "<name>-ready"; it lets go when "<name>-release"
// is set or after ms milliseconds (forever without ms), then exits with 0.
#include <windows.h>

#include <stdlib.h>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        return 2;
    }
    std::wstring mode = argv[1];
    const wchar_t* path = argv[2];
    std::wstring name = argv[3];
    DWORD holdMs = argc > 4 ? (DWORD)_wtoi(argv[4]) : INFINITE;
    HANDLE file = INVALID_HANDLE_VALUE;
    HMODULE lib = nullptr;
    if (mode == L"open") {
        file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return 3;
        }
    } else if (mode == L"load") {
        lib = LoadLibraryW(path);
        if (!lib) {
            return 4;
        }
    } else if (mode != L"wait") {
        return 2;
    }
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, (name + L"-release").c_str());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, (name + L"-ready").c_str());
    SetEvent(ready);
    WaitForSingleObject(release, holdMs);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    if (lib) {
        FreeLibrary(lib);
    }
    return 0;
}
