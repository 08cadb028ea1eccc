#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "test_dir.h"

namespace {
std::string Contents(InstallLog& log) {
    TempArenaScope scope;
    StrView s = log.ContentsTemp();
    return std::string(s.CStr(), (size_t)s.len);
}
}  // namespace

TEST(InstallLog, KeepsLinesExactlyAsGiven) {
    InstallLog log;
    log.Append("RunInstaller: a\n");
    log.Append("  detail without newline");
    EXPECT_EQ(Contents(log), "RunInstaller: a\n  detail without newline");
}

TEST(InstallLog, LineAfterBufferPassesLimitStartsAnEmptyBuffer) {
    InstallLog log;
    std::string line(1000, 'x');
    line += "\n";
    size_t lines = kLogBufferLimit / line.size() + 1;  // the first count that passes the limit
    for (size_t i = 0; i < lines; i++) {
        log.Append(line.c_str());
    }
    EXPECT_EQ(Contents(log).size(), lines * line.size());
    log.Append("next\n");
    EXPECT_EQ(Contents(log), "next\n");
}

TEST(InstallLog, BufferOfExactlyTheLimitIsKept) {
    InstallLog log;
    std::string chunk(kLogBufferLimit, 'y');
    log.Append(chunk.c_str());
    log.Append("z");
    EXPECT_EQ(Contents(log).size(), (size_t)kLogBufferLimit + 1);
}

TEST(InstallLog, WriteToFileBeforeAnythingWasLoggedCreatesNoFile) {
    TestDir dir;
    InstallLog log;
    std::string path = dir.Path("log.txt");
    EXPECT_FALSE(log.WriteToFile(path.c_str()));
    EXPECT_FALSE(file::Exists(path.c_str()));
}

TEST(InstallLog, WriteToFileWritesOnlyLinesSinceLastRestart) {
    TestDir dir;
    InstallLog log;
    log.Append(std::string(kLogBufferLimit + 1, 'o').c_str());
    log.Append("kept\n");
    std::string path = dir.Path("sub/dir/log.txt");
    EXPECT_TRUE(log.WriteToFile(path.c_str()));
    EXPECT_EQ(ReadWholeFile(path), "kept\n");
}

TEST(InstallLog, FileHoldsEachLineAsSoonAsItIsLogged) {
    TestDir dir;
    std::string path = dir.Path("live.txt");
    file::WriteFile(path.c_str(), "from an earlier run\n");
    InstallLog log;
    log.SetFilePath(path.c_str(), true);
    EXPECT_FALSE(file::Exists(path.c_str()));
    log.Append("one\n");
    EXPECT_EQ(ReadWholeFile(path), "one\n");
    log.Append("two\n");
    EXPECT_EQ(ReadWholeFile(path), "one\ntwo\n");
}

TEST(InstallLog, FormattedLinesGoToTheProcessLog) {
    Logf("Test: %s %d %u %x %lld %zu %c\n", "s", -1, 2u, 255u, -5000000000LL, (size_t)7, 'c');
    StrView all = GetInstallLog().ContentsTemp();
    std::string s(all.CStr(), (size_t)all.len);
    EXPECT_NE(s.find("Test: s -1 2 ff -5000000000 7 c\n"), std::string::npos);
}

TEST(InstallLog, DefaultFileIsInTheTemporaryDirectory) {
    StrView p = GetLogFilePathTemp();
    std::string s(p.CStr(), (size_t)p.len);
    ASSERT_GT(s.size(), strlen(kLogFileName));
    EXPECT_EQ(s.substr(s.size() - strlen(kLogFileName)), kLogFileName);
    char sep = s[s.size() - strlen(kLogFileName) - 1];
    EXPECT_TRUE(sep == '\\' || sep == '/');
}
