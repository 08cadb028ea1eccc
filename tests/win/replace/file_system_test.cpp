#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "base/file.h"
#include "replace_test_util.h"

TEST(FileSystem, SizeAttributesDeleteAndCopy) {
    TestDir dir;
    std::string f = dir.Path("a.bin");
    WriteBytes(f, std::string(1234, 'x'));
    EXPECT_EQ(file::GetSize(f.c_str()), 1234);
    EXPECT_EQ(file::GetSize(""), -1);
    EXPECT_EQ(file::GetSize(dir.Path("").c_str()), -1);
    EXPECT_EQ(file::GetSize(dir.Path("none").c_str()), -1);
    EXPECT_EQ(file::GetAttributes(dir.Path("none").c_str()), kInvalidFileAttributes);
    EXPECT_TRUE(dir::Exists(dir.Path("").c_str()));
    EXPECT_FALSE(file::Exists(dir.Path("").c_str()));

    EXPECT_TRUE(file::Copy(f.c_str(), dir.Path("b.bin").c_str()));
    EXPECT_EQ(ReadWholeFile(dir.Path("b.bin")), std::string(1234, 'x'));
    EXPECT_FALSE(file::Copy(f.c_str(), dir.Path("b.bin").c_str())) << "never overwrites";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);

    EXPECT_TRUE(file::Delete(f.c_str()));
    EXPECT_TRUE(file::Delete(f.c_str())) << "a missing file counts as deleted";
    EXPECT_FALSE(file::Delete(""));
}

TEST(FileSystem, ClearReadOnlyKeepsTheOtherAttributes) {
    TestDir dir;
    std::string f = dir.Path("a.txt");
    WriteBytes(f, "x");
    ASSERT_TRUE(SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    {
        LogCapture log;
        ClearReadOnly(f.c_str());
        EXPECT_EQ(log.Text(), "  clearing READONLY on '" + f + "'\n");
    }
    EXPECT_EQ(GetFileAttributesA(f.c_str()) & ~(DWORD)FILE_ATTRIBUTE_ARCHIVE, (DWORD)FILE_ATTRIBUTE_HIDDEN);
    LogCapture log;
    ClearReadOnly(f.c_str());
    EXPECT_EQ(log.Text(), "");
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileSystem, WriteFileLogsAFailedOpenAndKeepsItsError) {
    TestDir dir;
    std::string f = dir.Path("missing-dir\\a.txt");
    LogCapture log;
    EXPECT_FALSE(file::WriteFile(f.c_str(), "x"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(log.Text(), "file::WriteFile: CreateFileW failed for '" + f + "' lastError=3\n");
}

// A file seen through a hard link is the same file only under the same base name: the
// base names are compared first, so that walking every module of every process stays cheap.
// Where spellings may differ (folders, 8.3 names), the files' identities decide.
TEST(IsSameFile, IdentityNamesAndNormalizedPaths) {
    TestDir dir;
    CreateDirectoryA(dir.Path("x").c_str(), nullptr);
    CreateDirectoryA(dir.Path("y").c_str(), nullptr);
    std::string a = dir.Path("x\\PdfFilter.dll");
    WriteBytes(a, "one");
    std::string sameNameLink = dir.Path("y\\PdfFilter.dll");
    std::string otherNameLink = dir.Path("y\\other.dll");
    ASSERT_TRUE(CreateHardLinkA(sameNameLink.c_str(), a.c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkA(otherNameLink.c_str(), a.c_str(), nullptr));
    std::string twin = dir.Path("PdfFilter.dll");
    WriteBytes(twin, "one");
    std::string upper = a;
    for (char& c : upper) c = (char)toupper((unsigned char)c);
    struct Case {
        std::string a, b;
        bool same;
        bool sameSpelledOtherwise;
    } cases[] = {
        {a, sameNameLink, true, true},
        {a, otherNameLink, false, true},
        {a, twin, false, false},
        {a, upper, true, true},
        {dir.Path("x\\..\\y\\missing.dll"), dir.Path("y\\missing.dll"), true, true},
        {dir.Path("x\\missing.dll"), dir.Path("y\\missing.dll"), false, false},
        {dir.Path("x\\missing"), dir.Path("x\\gone"), false, false},
        {dir.Path("x"), dir.Path("y\\..\\x\\"), false, true},
        {"", "", false, false},
        {a, "", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(path::IsSameFile(c.a.c_str(), c.b.c_str()), c.same) << c.a << " vs " << c.b;
        EXPECT_EQ(path::IsSameFile(c.a.c_str(), c.b.c_str(), path::SameFileNames::SpellingsMayDiffer), c.sameSpelledOtherwise)
            << c.a << " vs " << c.b << " (spellings may differ)";
    }
}

TEST(Normalize, FullPathsAndTheLongPathPrefix) {
    TestDir dir;
    std::string base = dir.Path("");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(base.c_str());
    WriteBytes(dir.Path("a.txt"), "x");
    EXPECT_STREQ(path::NormalizeTemp("a.txt").CStr(), dir.Path("a.txt").c_str());
    EXPECT_STREQ(path::NormalizeTemp("sub\\..\\a.txt").CStr(), dir.Path("a.txt").c_str());
    SetCurrentDirectoryA(cwd);
    std::string deep = "C:\\" + std::string(300, 'd') + "\\f.txt";
    EXPECT_STREQ(path::NormalizeTemp(deep.c_str()).CStr(), ("\\\\?\\" + deep).c_str());
}

TEST(Walk, FilesAndDirectoriesDepthFirst) {
    TestDir dir;
    CreateDirectoryA(dir.Path("plugins").c_str(), nullptr);
    CreateDirectoryA(dir.Path("plugins\\pdfwatch").c_str(), nullptr);
    WriteBytes(dir.Path("vlpdf.exe"), "12345");
    WriteBytes(dir.Path("plugins\\a.txt"), "1");
    WriteBytes(dir.Path("plugins\\pdfwatch\\w.exe"), "12");
    std::string root = dir.Path("");
    root.pop_back();
    auto collect = [&](bool files, bool dirs, bool recurse) {
        std::set<std::string> seen;
        dir::WalkEntry e;
        for (dir::Walk w(root.c_str(), files, dirs, recurse); w.Next(&e);) {
            TempArenaScope scope;
            std::string rel = std::string(e.path.CStr()).substr(root.size() + 1);
            seen.insert(rel + (e.isDir ? "/" : "") + ":" + std::to_string(e.isFile ? e.size : -1));
            EXPECT_STREQ(e.name.CStr(), rel.substr(rel.find_last_of('\\') + 1).c_str());
        }
        return seen;
    };
    EXPECT_EQ(collect(true, false, false), (std::set<std::string>{"vlpdf.exe:5"}));
    EXPECT_EQ(collect(true, false, true),
              (std::set<std::string>{"vlpdf.exe:5", "plugins\\a.txt:1", "plugins\\pdfwatch\\w.exe:2"}));
    EXPECT_EQ(collect(false, true, true), (std::set<std::string>{"plugins/:-1", "plugins\\pdfwatch/:-1"}));
    EXPECT_EQ(collect(true, true, false), (std::set<std::string>{"vlpdf.exe:5", "plugins/:-1"}));
}
