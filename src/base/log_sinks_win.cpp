#include <stdio.h>
#include <windows.h>

#include "base/arena.h"
#include "base/log_sinks.h"

namespace logsink {
void ToDebugger(StrView text) {
    if (!IsDebuggerPresent()) {
        return;
    }
    TempArenaScope scope;
    OutputDebugStringW((const WCHAR*)ToWStrTemp(text).s);
}

// Binary mode: the file holds exactly the bytes of the in-memory log, the same bytes that
// a later WriteCurrentLogToFile of the same path writes.
void AppendToFile(StrView path, StrView text) {
    TempArenaScope scope;
    FILE* f = _wfopen((const wchar_t*)ToWStrTemp(path).s, L"ab");
    if (!f) {
        return;
    }
    fwrite(text.s, 1, (size_t)text.len, f);
    fflush(f);
    fclose(f);
}

void* OpenPipe() {
    HANDLE h = CreateFileW(L"\\\\.\\pipe\\LOCAL\\Brannoch-Logger", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool WritePipe(void* pipe, StrView text) {
    DWORD written = 0;
    return ::WriteFile((HANDLE)pipe, text.s, (DWORD)text.len, &written, nullptr) && written == (DWORD)text.len;
}

void ClosePipe(void* pipe) {
    CloseHandle((HANDLE)pipe);
}

StrView TempDirTemp() {
    WCHAR buf[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) {
        return {};
    }
    return ToUtf8Temp(WStrView((const char16_t*)buf, (int32_t)n));
}
}  // namespace logsink
