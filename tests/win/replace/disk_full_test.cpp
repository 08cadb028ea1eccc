// Drive T: of this suite's prefix is a 1 MiB tmpfs (see disk_full_drive.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include "replace/replace_rules.h"
#include "replace/robust_write.h"
#include "replace_test_util.h"

TEST(DiskFull, EndsTheRobustWriteAtOnce) {
    DWORD root = GetFileAttributesA("T:\\");
    ASSERT_TRUE(root != INVALID_FILE_ATTRIBUTES && (root & FILE_ATTRIBUTE_DIRECTORY)) << "drive T: missing";
    std::string small = "T:\\small.bin";
    ASSERT_TRUE(WriteInstallerFileRobust(small.c_str(), "fits", 4).ok);
    DeleteFileA(small.c_str());

    std::string big(2 * 1024 * 1024, 'z');
    std::string target = "T:\\libtovarinpdf.dll";
    SleepRecorder sleeps;
    LogCapture log;

    RobustWriteResult written = WriteInstallerFileRobust(target.c_str(), big.data(), (int32_t)big.size());

    EXPECT_FALSE(written.ok);
    EXPECT_TRUE(IsDiskFullError(written.error)) << written.error;
    EXPECT_EQ(log.Count("  attempt "), 1) << log.Text();
    EXPECT_FALSE(log.Has("trying write via temp")) << log.Text();
    EXPECT_FALSE(log.Has("KillProcessesWithModule")) << log.Text();
    EXPECT_FALSE(log.Has("sleep")) << log.Text();
    EXPECT_TRUE(sleeps.pauses.empty());
    EXPECT_FALSE(FileExists(target + ".tmp"));
    EXPECT_TRUE(log.Has("WriteInstallerFileRobust: FAILED path='" + target + "'")) << log.Text();
    DeleteFileA(target.c_str());
}
