// Every Windows test program says so when it crashes. Wine runs the tests with its own
// messages switched off, so a crash would otherwise end the program without a word: no
// exception is reported, and what gtest had printed stays in stdout's buffer (a pipe's
// output is fully buffered). ctest would show a failure with no output at all.
#include <windows.h>

#include <stdio.h>

namespace {
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    wchar_t module[MAX_PATH] = L"?";
    HMODULE owner = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCWSTR)record->ExceptionAddress, &owner)) {
        GetModuleFileNameW(owner, module, MAX_PATH);
    }
    char text[MAX_PATH + 160];
    int len = snprintf(text, sizeof(text), "\ntest program crashed: exception 0x%08lX at %ls+0x%llX, thread %lu\n",
                       (unsigned long)record->ExceptionCode, module,
                       (unsigned long long)((const char*)record->ExceptionAddress - (const char*)owner),
                       GetCurrentThreadId());
    // The report goes out first and unbuffered: flushing stdout could wait for a lock that
    // the crashed code held.
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, (DWORD)len, &written, nullptr);
    fflush(stdout);
    return EXCEPTION_CONTINUE_SEARCH;
}

const bool kInstalled = (SetUnhandledExceptionFilter(ReportCrash), true);
}  // namespace
