#pragma once
// What the helper programs that take commands share: UTF-8 for what they print, and their
// command line run as groups of words separated by "--".
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

// s as UTF-8: NUL-terminated, or its first n characters.
inline std::string Utf8(const wchar_t* s, int n = -1) {
    if (!s) return "";
    int len = WideCharToMultiByte(CP_UTF8, 0, s, n, nullptr, 0, nullptr, nullptr);
    std::string out(len > 0 ? len : 0, '\0');
    if (len > 0) WideCharToMultiByte(CP_UTF8, 0, s, n, out.data(), len, nullptr, nullptr);
    if (n == -1 && !out.empty()) out.pop_back();
    return out;
}
inline std::string Utf8(const std::wstring& s) {
    return Utf8(s.c_str(), (int)s.size());
}

// Runs each group in order with run(words); the first that fails prints
// "FAILED|<its first word>" and ends the run with 1.
template <typename Run>
int RunCommandGroups(int argc, wchar_t** argv, Run run) {
    std::vector<std::wstring> cmd;
    for (int i = 1; i <= argc; i++) {
        if (i < argc && std::wstring(argv[i]) != L"--") {
            cmd.push_back(argv[i]);
            continue;
        }
        if (cmd.empty()) continue;
        bool ok = run(cmd);
        fflush(stdout);
        if (!ok) {
            printf("FAILED|%s\n", Utf8(cmd[0]).c_str());
            return 1;
        }
        cmd.clear();
    }
    return 0;
}
