#include <gtest/gtest.h>

#include <filesystem>
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
    log.SetFilePath(path.c_str(), false);
    EXPECT_EQ(ReadWholeFile(path), "");
    log.Append("one\n");
    EXPECT_EQ(ReadWholeFile(path), "one\n");
    log.Append("two\n");
    EXPECT_EQ(ReadWholeFile(path), "one\ntwo\n");
}

// The temporary folder is the user's: an elevated run must never write through a name
// someone placed there, and only carries over lines of a plain file of that name.
TEST(InstallLog, FileIsMadeNewAndNeverWrittenThroughWhatStoodThere) {
    struct {
        const char* what;
        bool link;
        bool keepEarlierLines;
        const char* logged;
    } cases[] = {
        {"an earlier run's log", false, false, "one\n"},
        {"the log of the run this one continues", false, true, "earlier\none\n"},
        {"a second name of another file", true, false, "one\n"},
        {"a second name of another file, continued", true, true, "one\n"},
    };
    for (const auto& c : cases) {
        TestDir dir;
        std::string path = dir.Path("live.txt"), victim = dir.Path("victim.txt");
        file::WriteFile((c.link ? victim : path).c_str(), "earlier\n");
        if (c.link) {
            std::filesystem::create_hard_link(victim, path);
        }
        InstallLog log;
        log.SetFilePath(path.c_str(), c.keepEarlierLines);
        log.Append("one\n");
        EXPECT_EQ(ReadWholeFile(path), c.logged) << c.what;
        EXPECT_EQ(log.FilePath().CStr(), path) << c.what;
        if (c.link) {
            EXPECT_EQ(ReadWholeFile(victim), "earlier\n") << c.what;
        }
    }
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
