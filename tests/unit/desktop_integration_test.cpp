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
