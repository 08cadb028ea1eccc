// A DLL planted under the name of a system library: when any process loads it, it writes
// "<its own file name>.loaded" beside itself, holding the path of that process. It imports
// only kernel32 and has no C runtime, so that planting it as the runtime itself still works.
#include <windows.h>

static void AppendW(WCHAR* dst, const WCHAR* src) {
    while (*dst) dst++;
    while ((*dst++ = *src++)) {
    }
}

BOOL WINAPI PlantedMarkerMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    WCHAR marker[MAX_PATH + 16];
    if (GetModuleFileNameW(self, marker, MAX_PATH) == 0) {
        return TRUE;
    }
    AppendW(marker, L".loaded");
    WCHAR exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, exe, MAX_PATH);
    // Appending: two processes may load the same planted copy.
    HANDLE f = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (f != INVALID_HANDLE_VALUE) {
        char line[MAX_PATH * 3 + 2];
        int len = WideCharToMultiByte(CP_UTF8, 0, exe, (int)n, line, MAX_PATH * 3, NULL, NULL);
        line[len++] = '\n';
        DWORD written;
        WriteFile(f, line, (DWORD)len, &written, NULL);
        CloseHandle(f);
    }
    return TRUE;
}
