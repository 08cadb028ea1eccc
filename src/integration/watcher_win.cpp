#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/wide_win.h"
#include "integration/registry.h"
#include "integration/watcher.h"

void StartWatcher(StrView watcherPath) {
    TempArenaScope scope;
    WStrView cmd = ToWStrTemp(str::FormatTemp("\"%s\" /on", watcherPath.CStr()));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, (WCHAR*)cmd.s, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                       W(path::GetDirTemp(watcherPath)), &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

