#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/version.h"
#include "integration/uninstall.h"

namespace {
std::string Dump(const Vec<RegValue>& list) {
    std::string s;
    for (int32_t i = 0; i < list.len; i++) {
        const RegValue& v = list.els[i];
        EXPECT_STREQ(v.key.CStr(), "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf");
        s += std::string(v.name.CStr()) + "=";
        s += v.type == RegType::Dword ? "dword:" + std::to_string(v.dword) : std::string(v.text.CStr());
        s += "\n";
    }
    return s;
}
}  // namespace

TEST(UninstallValues, PerUserAndAllUsersDifferOnlyInTheSuffix) {
    TempArenaScope scope;
    UninstallEntryInputs in;
    in.installDir = "C:\\Users\\u\\AppData\\Local\\vlpdf";
    in.dirSizeBytes = 10 * 1024 + 1023;
    in.year = 2026;
    in.month = 3;
    in.day = 7;
    Vec<RegValue> user(GetTempArena());
    BuildUninstallValues(in, &user);
    EXPECT_EQ(Dump(user),
              "DisplayIcon=C:\\Users\\u\\AppData\\Local\\vlpdf\\vlpdf.exe\n"
              "DisplayName=VeloraPDF\n"
              "DisplayVersion=" VLPDF_VERSION_STR "\n"
              "EstimatedSize=dword:10\n"
              "InstallDate=20260307\n"
              "InstallLocation=C:\\Users\\u\\AppData\\Local\\vlpdf\n"
              "NoModify=dword:1\n"
              "NoRepair=dword:1\n"
              "Publisher=Quenmoor Network Technology Co., Ltd.\n"
              "UninstallString=\"C:\\Users\\u\\AppData\\Local\\vlpdf\\vlpdf.exe\" -uninstall\n"
              "QuietUninstallString=\"C:\\Users\\u\\AppData\\Local\\vlpdf\\vlpdf.exe\" -uninstall -silent\n"
              "URLInfoAbout=https://www.velorapdf.com/support\n"
              "URLUpdateInfo=https://www.velorapdf.com/support\n");
    in.allUsers = true;
    in.installDir = "C:\\Program Files\\vlpdf\\";
    in.nameWithVersion = true;
    Vec<RegValue> all(GetTempArena());
    BuildUninstallValues(in, &all);
    std::string dump = Dump(all);
    EXPECT_NE(dump.find("DisplayVersion=" VLPDF_VERSION_STR "\nDisplayName=VeloraPDF " VLPDF_VERSION_STR "\nEstimatedSize="), std::string::npos) << dump;
    EXPECT_NE(dump.find("\nUninstallString=\"C:\\Program Files\\vlpdf\\vlpdf.exe\" -uninstall -all-users\n"
                        "QuietUninstallString=\"C:\\Program Files\\vlpdf\\vlpdf.exe\" -uninstall -all-users -silent\n"),
              std::string::npos)
        << dump;
}

// Every choice is recorded, under names that the next installation, older versions and
// administrators' scripts read.
TEST(UninstallValues, EveryChoiceIsRecorded) {
    TempArenaScope scope;
    struct {
        ChoiceSet on;
        const char* values;
    } cases[] = {
        {{},
         "AllUsers=dword:0\nSearchFilter=dword:0\nDesktopShortcut=dword:0\nPreviewer=dword:0\nDefaultPdf=dword:0\n"
         "DefaultComics=dword:0\nDefaultMarkdown=dword:0\nOfficeAddin=dword:0\n"},
        {{Choice::AllUsers, Choice::Previewer, Choice::DefaultComics, Choice::OfficeAddin},
         "AllUsers=dword:1\nSearchFilter=dword:0\nDesktopShortcut=dword:0\nPreviewer=dword:1\nDefaultPdf=dword:0\n"
         "DefaultComics=dword:1\nDefaultMarkdown=dword:0\nOfficeAddin=dword:1\n"},
    };
    for (const auto& c : cases) {
        InstallChoices choices;
        choices.on = c.on;
        Vec<RegValue> values(GetTempArena());
        BuildRecordedChoiceValues(choices, &values);
        EXPECT_EQ(Dump(values), c.values);
    }
}

TEST(UninstallValues, EstimatedSizeIsKilobytesCappedAt32Bits) {
    struct {
        uint64_t bytes;
        uint32_t kb;
    } cases[] = {
        {0, 0},
        {1023, 0},
        {1024, 1},
        {(4ull << 30) - 1, 4194303},
        {4ull << 30, 4194304},            // 4 GiB: the low 32 bits alone would say 0
        {(4ull << 30) + 5 * 1024, 4194309},
        {(4ull << 40) - 1024, 0xFFFFFFFFu},
        {4ull << 40, 0xFFFFFFFFu},        // 4 TiB and beyond: the most 32 bits can say
        {~0ull, 0xFFFFFFFFu},
    };
    for (auto& c : cases) {
        EXPECT_EQ(EstimatedSizeKb(c.bytes), c.kb) << c.bytes;
    }
}
