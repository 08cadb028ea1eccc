// Test helper: "spawn <out>" starts "child <out>" and exits at once; the child waits until
// its parent is gone, then writes its logged parent chain to <out>.
#include <windows.h>

#include <string>

#include "base/log.h"
#include "base/log_system.h"
#include "base/process_win.h"

// Waits until the parent's process object is gone: it may outlive the exit for a moment.
static void WaitForParentToVanish() {
    PROCESSENTRY32W self;
    if (!FindProcessEntry(GetCurrentProcessId(), &self)) {
        return;
    }
    for (int i = 0; i < 200; i++) {
        HANDLE parent = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, self.th32ParentProcessID);
        if (!parent) {
            return;
        }
        CloseHandle(parent);
        Sleep(25);
    }
}

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    std::string mode = argv[1];
    if (mode == "spawn") {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string cmd = std::string("\"") + self + "\" child \"" + argv[2] + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return 1;
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return 0;
    }
    WaitForParentToVanish();
    LogParentProcessChain();
    return WriteCurrentLogToFile(argv[2]) ? 0 : 1;
}
