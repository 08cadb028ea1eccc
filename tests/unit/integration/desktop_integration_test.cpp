#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/arena.h"
#include "integration/path_env.h"
#include "integration/shortcut.h"

TEST(PathWithDir, AppendsOnceWithOneSeparator) {
    struct {
        const char* old;
        const char* dir;
        const char* result;  // "" = already there
    } cases[] = {
        {"C:\\A;", "D", "C:\\A;D"},
        {"C:\\A", "D", "C:\\A;D"},
        {"", "D", "D"},
        {"C:\\A;C:\\Tools\\VLPDF;C:\\B", "c:\\tools\\vlpdf", ""},
        {"C:\\Tools\\vlpdf", "C:\\Tools\\vlpdf", ""},
        {"C:\\A;C:\\Tools\\vlpdf\\", "C:\\Tools\\vlpdf", "C:\\A;C:\\Tools\\vlpdf\\;C:\\Tools\\vlpdf"},
        {"C:\\A;C:\\Tools\\vlpdf", "C:\\Tools\\vlpdf\\", "C:\\A;C:\\Tools\\vlpdf;C:\\Tools\\vlpdf\\"},
        {"%LOCALAPPDATA%\\vlpdf", "C:\\Users\\u\\AppData\\Local\\vlpdf", "%LOCALAPPDATA%\\vlpdf;C:\\Users\\u\\AppData\\Local\\vlpdf"},
        {";;", "D", ";;D"},
        {"C:\\A;;C:\\B", "C:\\A;", "C:\\A;;C:\\B;C:\\A;"},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        EXPECT_STREQ(PathWithDirTemp(c.old, c.dir).CStr(), c.result) << c.old << " + " << c.dir;
    }
}

// Taking the directory off again gives the value before the installation back: what
// AddInstallDirToPath appended goes with its separator, other elements keep their spelling.
TEST(PathWithoutDir, UndoesTheAdditionAndKeepsTheRest) {
    struct {
        const char* old;
        const char* dir;
        const char* result;
        bool found;
    } cases[] = {
        {"C:\\A;D", "D", "C:\\A", true},
        {"D", "D", "", true},
        {"D;C:\\A", "d", "C:\\A", true},
        {"C:\\A;C:\\Tools\\VLPDF;C:\\B", "c:\\tools\\vlpdf", "C:\\A;C:\\B", true},
        {"C:\\A;D;C:\\B;D", "D", "C:\\A;C:\\B", true},
        {";;C:\\A;;D;", "D", ";;C:\\A;;", true},
        // Not the same element as written: stays.
        {"C:\\A;C:\\Tools\\vlpdf\\", "C:\\Tools\\vlpdf", "C:\\A;C:\\Tools\\vlpdf\\", false},
        {"%LOCALAPPDATA%\\vlpdf", "C:\\Users\\u\\AppData\\Local\\vlpdf", "%LOCALAPPDATA%\\vlpdf", false},
        {"C:\\A;DD;XD", "D", "C:\\A;DD;XD", false},
        {"", "D", "", false},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        bool found = !c.found;
        EXPECT_STREQ(PathWithoutDirTemp(c.old, c.dir, &found).CStr(), c.result) << c.old << " - " << c.dir;
        EXPECT_EQ(found, c.found) << c.old << " - " << c.dir;
    }
    for (const char* old : {"C:\\A", "", "C:\\A;;C:\\B", "%SystemRoot%;C:\\Tools\\vlpdf\\"}) {
        TempArenaScope scope;
        bool found = false;
        StrView added = PathWithDirTemp(old, "C:\\Tools\\vlpdf");
        EXPECT_STREQ(PathWithoutDirTemp(added, "C:\\Tools\\vlpdf", &found).CStr(), old) << old;
        EXPECT_TRUE(found) << old;
    }
}

TEST(ShortcutFolders, DesktopOnlyWhenWantedAndProgramsAlways) {
    struct {
        bool allUsers, withDesktop;
        std::vector<int> csidls;
    } cases[] = {
        {false, false, {2}},
        {false, true, {0, 2}},
        {true, false, {23}},
        {true, true, {25, 23}},
    };
    for (auto& c : cases) {
        Vec<int> got;
        ShortcutFoldersToCreate(c.allUsers, c.withDesktop, &got);
        EXPECT_EQ(std::vector<int>(got.begin(), got.end()), c.csidls) << c.allUsers << c.withDesktop;
    }
}
