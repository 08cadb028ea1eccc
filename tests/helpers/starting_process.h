#pragma once
// A program as a parent ended inside CreateProcess leaves it: the system creates a program's
// first thread suspended and resumes it only as CreateProcess returns, so a parent ended in
// between leaves a process that holds its executable without ever running (no module list
// to read, nothing of its own created). Wine leaves it so too.
#include <windows.h>

#include <string>

// The process of the command line with its first thread suspended; false, with the system
// error left, when it cannot be created. The caller closes both handles.
inline bool StartStillStarting(std::wstring commandLine, PROCESS_INFORMATION* pi) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    *pi = {};
    return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | DETACHED_PROCESS,
                          nullptr, nullptr, &si, pi) != 0;
}

// The same for a UTF-8 command line.
inline bool StartStillStarting(const std::string& commandLine, PROCESS_INFORMATION* pi) {
    int n = MultiByteToWideChar(CP_UTF8, 0, commandLine.c_str(), -1, nullptr, 0);
    std::wstring wide((size_t)(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, commandLine.c_str(), -1, wide.data(), n);
    wide.resize(wcslen(wide.c_str()));
    return StartStillStarting(wide, pi);
}
