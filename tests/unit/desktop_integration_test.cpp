#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/arena.h"
#include "integration/office_addin.h"
#include "integration/path_env.h"
#include "integration/shortcut.h"
#include "integration/watcher.h"

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

TEST(OfficeAddin, EachViewNamesItsOwnDllAndTheAppsFollowTheClass) {
    TempArenaScope scope;
    EXPECT_STREQ(OfficeAddinDllPathTemp("C:\\P\\vlpdf", true).CStr(), "C:\\P\\vlpdf\\plugins\\officeplugin\\vloffice64.dll");
    EXPECT_STREQ(OfficeAddinDllPathTemp("C:\\P\\vlpdf", false).CStr(), "C:\\P\\vlpdf\\plugins\\officeplugin\\vloffice32.dll");
    Vec<RegValue> values(GetTempArena());
    BuildOfficeAddinValues("C:\\P\\vlpdf", false, &values);
    ASSERT_EQ(values.len, 15);
    EXPECT_STREQ(values.els[2].key.CStr(), "Software\\Classes\\CLSID\\{FBB2943F-E861-67E6-E76F-770D5F969DD8}\\InprocServer32");
    EXPECT_STREQ(values.els[2].text.CStr(), "C:\\P\\vlpdf\\plugins\\officeplugin\\vloffice32.dll");
    EXPECT_STREQ(values.els[14].key.CStr(), "Software\\Microsoft\\Office\\PowerPoint\\Addins\\VLPDF.OfficeAddin");
    EXPECT_EQ(values.els[14].type, RegType::Dword);
    EXPECT_EQ(values.els[14].dword, 3u);
    // Removal deletes every key the registration created, each after its subkeys.
    Vec<StrView> keys(GetTempArena());
    OfficeAddinKeysToDelete(&keys);
    std::vector<std::string> order;
    for (StrView k : keys) order.push_back(k.CStr());
    for (const RegValue& v : values) {
        auto at = std::find(order.begin(), order.end(), std::string(v.key.CStr()));
        ASSERT_NE(at, order.end()) << v.key.CStr();
        for (auto later = at + 1; later != order.end(); ++later) {
            EXPECT_NE(later->rfind(*at + "\\", 0), 0u) << *at << " is deleted before its subkey " << *later;
        }
    }
}

TEST(Watcher, LivesInThePluginFolderBesideTheReader) {
    TempArenaScope scope;
    EXPECT_STREQ(WatcherPathTemp("C:\\P\\vlpdf\\vlpdf.exe").CStr(), "C:\\P\\vlpdf\\plugins\\pdfwatch\\vlpdf-watch.exe");
}
