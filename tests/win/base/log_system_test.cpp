#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/arena.h"
#include "base/log.h"
#include "base/log_system.h"
#include "test_dir.h"
#include "../../helpers/log_capture.h"

namespace {
std::string HelperPath() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string s = self;
    return s.substr(0, s.find_last_of('\\') + 1) + "parent_chain_helper.exe";
}
}  // namespace

TEST(LogLastError, LogsCodeInHexAndDecimalWithTrimmedSystemText) {
    std::string line = LoggedDuring([] { LogLastError(ERROR_FILE_NOT_FOUND); });
    const char* prefix = "LogLastError: 0x2 (2) '";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    std::string text(line.begin() + (ptrdiff_t)strlen(prefix), line.end());
    ASSERT_GE(text.size(), 3u) << line;
    EXPECT_EQ(text.back(), '\n');
    text.pop_back();
    EXPECT_EQ(text.back(), '\'');
    text.pop_back();
    EXPECT_FALSE(isspace((unsigned char)text.back())) << line;
    EXPECT_FALSE(isspace((unsigned char)text.front())) << line;
}

TEST(LogLastError, ZeroMeansTheThreadsLastError) {
    std::string line = LoggedDuring([] {
        SetLastError(ERROR_ACCESS_DENIED);
        LogLastError(0);
    });
    EXPECT_EQ(line.rfind("LogLastError: 0x5 (5) '", 0), 0u) << line;
}

TEST(LastErrorText, NoErrorOrCodeWithText) {
    SetLastError(0);
    EXPECT_STREQ(GetLastErrorTextTemp().CStr(), "no error");
    SetLastError(ERROR_FILE_NOT_FOUND);
    std::string s = GetLastErrorTextTemp().CStr();
    EXPECT_EQ(s.rfind("0x00000002 '", 0), 0u) << s;
    EXPECT_EQ(s.back(), '\'');
}

TEST(SystemMessage, CodeWithoutTextGivesEmpty) {
    EXPECT_STREQ(GetSystemMessageTemp(0x20001234).CStr(), "");
}

// The helper starts a copy of itself and exits; the copy logs its parent chain once its
// parent is gone. The dead parent is listed once, with nothing known about it.
TEST(ParentProcessChain, ExitedParentIsListedOnceAndEndsTheChain) {
    TestDir dir;
    std::string out = dir.Path("chain.txt");
    std::string cmd = "\"" + HelperPath() + "\" spawn \"" + out + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    // No handle of ours may keep the exited parent's process object alive.
    DWORD parentPid = pi.dwProcessId;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::string chain;
    for (int i = 0; i < 100 && (chain = ReadWholeFile(out)) == "<missing>"; i++) {
        Sleep(50);
    }
    EXPECT_EQ(chain, "Parent process chain:\n  [0] pid=" + std::to_string(parentPid) +
                         " path=(unavailable) cmdline=(unavailable)\n");
}

TEST(ParentProcessChain, LiveParentIsListedWithItsPath) {
    std::string chain = LoggedDuring(LogParentProcessChain);
    EXPECT_EQ(chain.rfind("Parent process chain:\n", 0), 0u);
    // Either a real parent or nothing known; never an empty listing.
    EXPECT_TRUE(chain.find("  [0] pid=") != std::string::npos || chain.find("  (none / unknown)\n") != std::string::npos)
        << chain;
}
