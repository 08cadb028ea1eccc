// A DLL carrying a payload archive that records whether any of its code ever ran: copied
// as vlpdf.exe beside the installer, it must serve its resource without being loaded as code.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    WCHAR path[MAX_PATH + 32];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return TRUE;
    }
    WCHAR* slash = wcsrchr(path, L'\\');
    if (slash) {
        wcscpy(slash + 1, L"code-ran.txt");
        HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
    return TRUE;
}
