// A stand-in for the folder watcher, for tests: it records how it was started in
// "started.txt" beside itself ("pid=<id>\ncmdline=<command line>\ncwd=<directory>\n").
// With "/on" it then waits until the event "Local\vlpdf-watch-quit" is set and exits;
// started any other way it exits at once.
#include <windows.h>

#include <string>

namespace {
std::string Narrow(const wchar_t* w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s((size_t)(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}
}  // namespace

int wmain() {
    wchar_t self[MAX_PATH], cwd[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, cwd);
    std::wstring record = self;
    record = record.substr(0, record.find_last_of(L'\\') + 1) + L"started.txt";
    const wchar_t* cmdline = GetCommandLineW();
    bool on = wcsstr(cmdline, L" /on") != nullptr;
    // Created before the record is written, so a test that sees the record can set it.
    HANDLE quit = on ? CreateEventW(nullptr, TRUE, FALSE, L"Local\\vlpdf-watch-quit") : nullptr;
    std::string text = "pid=" + std::to_string(GetCurrentProcessId()) + "\ncmdline=" + Narrow(cmdline) +
                       "\ncwd=" + Narrow(cwd) + "\n";
    HANDLE f = CreateFileW((record + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(f);
    MoveFileExW((record + L".tmp").c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!quit) {
        return 0;
    }
    DWORD res = WaitForSingleObject(quit, 60000);
    return res == WAIT_OBJECT_0 ? 0 : 3;
}
