#include <gtest/gtest.h>
#include <windows.h>

#include "replace/holders.h"
#include "replace/robust_write.h"
#include "replace_test_util.h"

namespace {
std::string Bytes(size_t n, char seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; i++) s[i] = (char)(seed + i * 7);
    return s;
}

RobustWriteResult Write(const std::string& path, const std::string& data) {
    return WriteInstallerFileRobust(path.c_str(), data.data(), (int32_t)data.size());
}
}  // namespace

// The reader is running from the file being replaced: the direct write and the replacing
// move are refused, the reader is terminated, its old file deleted, and the next attempt
// writes into the free name.
TEST(RobustWrite, ReplacesFileOfARunningProgramByTerminatingIt) {
    TestDir dir;
    std::string target = dir.Path("vlpdf.exe");
    CopyOrFail(HelperPath("file_holder.exe"), target);
    Holder holder;
    ASSERT_TRUE(holder.Start("wait", target, target));
    SleepRecorder sleeps;
    LogCapture log;
    std::string data = Bytes(70000, 'a');

    RobustWriteResult written = Write(target, data);
    ASSERT_TRUE(written.ok) << log.Text();
    // The failed first attempt does not colour the success.
    EXPECT_EQ(written.error, 0u);

    EXPECT_FALSE(holder.Running());
    EXPECT_EQ(ReadWholeFile(target), data);
    EXPECT_FALSE(FileExists(target + ".tmp"));
    EXPECT_TRUE(log.Has("  direct WriteFile failed lastError=")) << log.Text();
    EXPECT_TRUE(log.Has("  killed process with id " + std::to_string(holder.Pid()) + "\n")) << log.Text();
    EXPECT_TRUE(log.Has("  KillProcessesWithModule('" + target + "') killed=1\n")) << log.Text();
    EXPECT_TRUE(log.Has("  Delete('" + target + "') => 1\n")) << log.Text();
    EXPECT_TRUE(log.Has("  sleep 300 ms before retry\n  attempt 2/4\n")) << log.Text();
    EXPECT_EQ(sleeps.pauses, std::vector<uint32_t>({300}));
}

// A file open elsewhere without sharing, by a program that does not have it loaded, cannot
// be freed: four attempts with pauses of 300, 600 and 900 ms, none after the last.
TEST(RobustWrite, FileHeldOpenWithoutSharingFailsAfterFourAttempts) {
    TestDir dir;
    std::string target = dir.Path("PdfFilter.dll");
    WriteBytes(target, "old contents");
    Holder holder;
    ASSERT_TRUE(holder.Start("open", target));
    SleepRecorder sleeps;
    LogCapture log;

    RobustWriteResult written = Write(target, Bytes(1000, 'b'));
    EXPECT_FALSE(written.ok);

    EXPECT_TRUE(holder.Running());
    EXPECT_EQ(sleeps.pauses, std::vector<uint32_t>({300, 600, 900}));
    EXPECT_EQ(log.Count("  attempt "), 4) << log.Text();
    EXPECT_EQ(log.Count("  trying write via temp '" + target + ".tmp'\n"), 4);
    EXPECT_EQ(log.Count("  KillProcessesWithModule('" + target + "') killed=0\n"), 4);
    EXPECT_EQ(written.error, (uint32_t)ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(log.Has("WriteInstallerFileRobust: FAILED path='" + target + "' finalSize=12 expected=1000 lastErr=" +
                        std::to_string(written.error) + "\n"))
        << log.Text();
    EXPECT_FALSE(FileExists(target + ".tmp"));
    holder.Kill();
    EXPECT_EQ(ReadWholeFile(target), "old contents");
}

TEST(RobustWrite, ReadOnlyTargetIsMadeWritableAndReplaced) {
    TestDir dir;
    std::string target = dir.Path("vlpdf-quickstart.pdf");
    WriteBytes(target, "old");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    LogCapture log;

    ASSERT_TRUE(Write(target, "new contents").ok);

    EXPECT_EQ(ReadWholeFile(target), "new contents");
    EXPECT_EQ(GetFileAttributesA(target.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              (DWORD)FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(log.Has("  existing size=3 attrs=0x23\n")) << log.Text();
    EXPECT_TRUE(log.Has("  clearing READONLY on '" + target + "'\n"));
    // An existing file is replaced whole, through the temporary file.
    EXPECT_TRUE(log.Has("WriteInstallerFileRobust: ok (temp+rename) '" + target + "'\n"));
}

TEST(RobustWrite, EmptyFileAndRefusedArguments) {
    TestDir dir;
    std::string target = dir.Path("empty.txt");
    {
        LogCapture log;
        EXPECT_TRUE(WriteInstallerFileRobust(target.c_str(), "", 0).ok);
        EXPECT_TRUE(FileExists(target));
        EXPECT_EQ(ReadWholeFile(target), "");
        EXPECT_TRUE(log.Has("  no existing file (GetSize failed)\n"));
    }
    struct Case {
        const char* path;
        const char* data;
    } cases[] = {{"", "x"}, {"C:\\x.txt", nullptr}};
    for (const Case& c : cases) {
        LogCapture log;
        RobustWriteResult written = WriteInstallerFileRobust(c.path, c.data, 1);
        EXPECT_FALSE(written.ok);
        EXPECT_EQ(written.error, 0u);
        EXPECT_EQ(log.Text(), "WriteInstallerFileRobust: null path or data\n");
    }
}
