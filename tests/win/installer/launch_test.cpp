#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/arena.h"
#include "installer/launch.h"
#include "reg_test.h"
#include "test_dir.h"

using namespace regtest;

namespace {
// A copy of the stand-in watcher in its own directory, so its record lands there.
std::string CopyHelper(const TestDir& dir) {
    std::string exe = dir.Path("probe.exe");
    EXPECT_TRUE(CopyFileW(Wide(HelperExe("watch_helper.exe")).c_str(), Wide(exe).c_str(), FALSE)) << HelperExe("watch_helper.exe");
    return exe;
}
}  // namespace

TEST(Launch, MissingFilesStartNothingAndSaySo) {
    TestDir dir;
    std::string missing = dir.Path("none.exe");
    bool result = true;
    EXPECT_EQ(LoggedDuring([&] { result = LaunchFileIfExists(missing.c_str()); }),
              "LaunchFileIfExists: !file::Exists('" + missing + "')\n");
    EXPECT_FALSE(result);
    EXPECT_EQ(LoggedDuring([&] { RunNonElevated(missing.c_str()); }),
              "RunNonElevated: file '" + missing + "' doesn't exist\n");
    EXPECT_EQ(LoggedDuring([&] { EXPECT_FALSE(LaunchFileShell("", "", "open")); }), "");
    EXPECT_EQ(LoggedDuring([&] { EXPECT_FALSE(LaunchFileIfExists("")); }), "");
}

TEST(Launch, ShellFailureLogsTheCallAndTheSystemError) {
    TestDir dir;
    std::string missing = dir.Path("none.exe");
    std::string log = LoggedDuring([&] { EXPECT_FALSE(LaunchFileShell(missing.c_str(), "-a b", "open")); });
    std::string first = "LaunchFile: ShellExecuteExW path: '" + missing + "' params: '-a b' verb: 'open'\n";
    ASSERT_EQ(log.substr(0, first.size()), first) << log;
    EXPECT_EQ(log.substr(first.size()).rfind("LogLastError: 0x", 0), 0u) << log;
}

TEST(Launch, ShellStartsTheProgramWithItsParameters) {
    TestDir dir;
    std::string exe = CopyHelper(dir);
    std::string log = LoggedDuring([&] { EXPECT_TRUE(LaunchFileShell(exe.c_str(), "/probe x", "open")); });
    EXPECT_EQ(log, "LaunchFileShell: launched '" + exe + "'\n");
    std::string record = WaitForFile(dir.Path("started.txt"));
    EXPECT_NE(Field(record, "cmdline").find("/probe x"), std::string::npos) << record;
    // Under Wine "runas" starts the program at once, without a prompt.
    std::filesystem::remove(dir.Path("started.txt"));
    EXPECT_TRUE(LaunchElevated(exe.c_str(), "/again"));
    record = WaitForFile(dir.Path("started.txt"));
    EXPECT_NE(Field(record, "cmdline").find("/again"), std::string::npos) << record;
}

TEST(Launch, CreateProcessUsesTheGivenDirectoryAndGivesAHandle) {
    TestDir dir;
    TestDir other;
    std::string exe = CopyHelper(dir);
    HANDLE h = CreateProcessHelper(("\"" + exe + "\" /probe").c_str(), other.Path("").c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 15000), WAIT_OBJECT_0);
    SafeCloseHandle(&h);
    EXPECT_EQ(h, nullptr);
    std::string cwd = Field(WaitForFile(dir.Path("started.txt")), "cwd");
    std::string want = other.Path("");
    if (!want.empty() && want.back() == '\\') want.pop_back();
    if (!cwd.empty() && cwd.back() == '\\') cwd.pop_back();
    EXPECT_TRUE(_stricmp(cwd.c_str(), want.c_str()) == 0) << cwd << " vs " << want;
    EXPECT_EQ(CreateProcessHelper(dir.Path("none.exe").c_str(), {}), nullptr);
    HANDLE invalid = INVALID_HANDLE_VALUE;
    SafeCloseHandle(&invalid);
    EXPECT_EQ(invalid, nullptr);
}
