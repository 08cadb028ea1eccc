#include "base/process_win.h"

bool FindProcessEntry(DWORD pid, PROCESSENTRY32W* entry) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof(pe);
    bool found = false;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
        if (pe.th32ProcessID == pid) {
            *entry = pe;
            found = true;
            break;
        }
    }
    CloseHandle(snap);
    return found;
}
