#include <windows.h>

#include "base/arena.h"
#include "base/log_sinks.h"
#include "base/wide_win.h"

namespace logsink {
namespace {
// Readers, and the other run of a continued log, open it while this one holds it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

StrView ErrorTemp(const char* what, StrView path, DWORD err) {
    return str::FormatTemp("%s '%s' failed (err=%lu)", what, path.CStr(), err);
}

bool WriteAll(HANDLE h, StrView text) {
    DWORD written = 0;
    return ::WriteFile(h, text.s, (DWORD)text.len, &written, nullptr) && written == (DWORD)text.len;
}

// The file of the run this one continues, opened as itself and not as what a link points
// to, for appending: only a plain file with no other name is used. That run may still hold
// it open.
HANDLE OpenPlainFileToAppend(StrView path) {
    HANDLE h = CreateFileW(W(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & notPlain) || info.nNumberOfLinks != 1) {
        CloseHandle(h);
        return nullptr;
    }
    return h;
}

// A rename replaces the name itself: a link there goes, and what it pointed to stays as it
// was. A junction (a folder) must be removed first.
bool PutInPlace(StrView made, StrView path) {
    if (MoveFileExW(W(made), W(path), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    return RemoveDirectoryW(W(path)) && MoveFileExW(W(made), W(path), MOVEFILE_REPLACE_EXISTING);
}
}  // namespace

void ToDebugger(StrView text) {
    if (!IsDebuggerPresent()) {
        return;
    }
    TempArenaScope scope;
    OutputDebugStringW(W(text));
}

void* CreateLogFile(StrView path, bool keepEarlier, StrView* why) {
    path = str::DupTemp(path);
    HANDLE earlier = keepEarlier ? OpenPlainFileToAppend(path) : nullptr;
    if (earlier) {
        return earlier;
    }
    StrView made = str::FormatTemp("%s.%lu-%llu.new", path.CStr(), GetCurrentProcessId(), GetTickCount64());
    HANDLE h = CreateFileW(W(made), FILE_APPEND_DATA, kShareAll, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *why = ErrorTemp("creating", made, GetLastError());
        return nullptr;
    }
    if (!PutInPlace(made, path)) {
        *why = ErrorTemp("replacing", path, GetLastError());
        CloseHandle(h);
        DeleteFileW(W(made));
        return nullptr;
    }
    return h;
}

// Binary: the file holds exactly the bytes of the in-memory log.
bool WriteLogFile(void* file, StrView text) {
    return WriteAll((HANDLE)file, text);
}

void CloseLogFile(void* file) {
    CloseHandle((HANDLE)file);
}

void* OpenPipe() {
    HANDLE h = CreateFileW(L"\\\\.\\pipe\\LOCAL\\Brannoch-Logger", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool WritePipe(void* pipe, StrView text) {
    return WriteAll((HANDLE)pipe, text);
}

void ClosePipe(void* pipe) {
    CloseHandle((HANDLE)pipe);
}

// GetTempPath2W gives LocalSystem the protected SystemTemp instead of the Windows\Temp that
// every user can write to; for everyone else it answers as GetTempPathW does. Looked up at
// run time: Windows 10 before its 2022 updates lacks it.
StrView TempDirTemp() {
    using TempPathFn = DWORD(WINAPI*)(DWORD, LPWSTR);
    static const TempPathFn getTempPath2 = [] {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        return kernel ? (TempPathFn)(void*)GetProcAddress(kernel, "GetTempPath2W") : nullptr;
    }();
    WCHAR buf[MAX_PATH + 1];
    DWORD n = getTempPath2 ? getTempPath2(MAX_PATH + 1, buf) : GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) {
        return {};
    }
    return U(buf, n);
}
}  // namespace logsink
