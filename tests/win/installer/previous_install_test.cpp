#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "base/arena.h"
#include "installer/previous_install.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "integration/shell_folder.h"
#include "base/flags.h"
#include "reg_test.h"
#include "test_dir.h"

using namespace regtest;

namespace {
class PreviousInstall : public testing::Test {
  protected:
    void SetUp() override {
        SetLogRegistryCalls(true);
        Clean();
    }
    void TearDown() override {
        Clean();
        std::error_code ec;
        std::filesystem::remove_all(Wide(pfDir), ec);
    }
    void Clean() {
        Remove(HKEY_LOCAL_MACHINE, kUninstallRegKey);
        Remove(HKEY_CURRENT_USER, kUninstallRegKey);
        Remove(HKEY_LOCAL_MACHINE, kFilterKey);
        ForgetExistingInstallationDir();
    }
    // Where HKEY_CLASSES_ROOT shows the search filter registered (Wine shows the machine's
    // classes only).
    static constexpr const char* kFilterKey = "Software\\Classes\\.pdf\\PersistentHandler";
    std::string MakePfDir() {
        pfDir = ShellFolder(CSIDL_PROGRAM_FILES) + "\\vlpdf-prev-test";
        std::filesystem::create_directories(Wide(pfDir));
        return pfDir;
    }
    std::string pfDir;
};

PreviousInstallInfo Read(std::string* log = nullptr) {
    PreviousInstallInfo info;
    std::string l = LoggedDuring([&] { GetPreviousInstallInfo(&info); });
    if (log) *log = l;
    return info;
}
}  // namespace

TEST_F(PreviousInstall, NoneWhenNothingOrAVanishedDirectoryIsRecorded) {
    std::string log;
    EXPECT_EQ(Read(&log).keys, PrevInstallKeys::None);
    EXPECT_NE(log.find("GetPreviousInstallInfo: not installed\n"), std::string::npos) << log;
    PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", "C:\\vlpdf-gone\\vlpdf");
    PreviousInstallInfo info = Read();
    EXPECT_EQ(info.keys, PrevInstallKeys::None);
    EXPECT_FALSE(HasPreviousInstall(info));
}

TEST_F(PreviousInstall, UserKeyInsideProgramFilesForcesAllUsers) {
    std::string dir = MakePfDir();
    PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", dir);
    std::string log;
    PreviousInstallInfo info = Read(&log);
    EXPECT_EQ(info.keys, PrevInstallKeys::UserOnly);
    EXPECT_TRUE(info.choices.AllUsers());
    EXPECT_NE(log.find("GetPreviousInstallInfo: dir under Program Files with only HKCU key; forcing allUsers\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("GetPreviousInstallInfo: dir '" + dir + "', search filter: 0, preview: 0, typ: 1, needsElevation: 1\n"),
              std::string::npos)
        << log;
}

TEST_F(PreviousInstall, KindFollowsTheKeysAndOptionsComeFromTheMachineKeyFirst) {
    TestDir dir;
    std::string d = dir.Path("inst");
    std::filesystem::create_directories(Wide(d));
    PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", d);
    DWORD one = 1, zero = 0;
    Put(HKEY_CURRENT_USER, kUninstallRegKey, "DefaultComics", REG_DWORD, &one, 4);
    PreviousInstallInfo info = Read();
    EXPECT_EQ(info.keys, PrevInstallKeys::UserOnly);
    EXPECT_FALSE(info.choices.AllUsers());
    EXPECT_FALSE(info.choices.Has(Choice::DesktopShortcut));  // no value recorded
    EXPECT_TRUE(info.choices.Has(Choice::DefaultComics));
    EXPECT_FALSE(info.choices.Has(Choice::DefaultPdf));
    EXPECT_STREQ(info.choices.installDir.CStr(), d.c_str());

    ForgetExistingInstallationDir();
    PutSz(HKEY_LOCAL_MACHINE, kUninstallRegKey, "InstallLocation", d + "\\vlpdf.EXE");
    Put(HKEY_LOCAL_MACHINE, kUninstallRegKey, "DesktopShortcut", REG_DWORD, &one, 4);
    Put(HKEY_LOCAL_MACHINE, kUninstallRegKey, "DefaultPdf", REG_DWORD, &one, 4);
    Put(HKEY_LOCAL_MACHINE, kUninstallRegKey, "DefaultMarkdown", REG_DWORD, &zero, 4);
    info = Read();
    EXPECT_EQ(info.keys, PrevInstallKeys::MachineAndUser);
    EXPECT_TRUE(info.choices.AllUsers());
    EXPECT_TRUE(info.choices.Has(Choice::DesktopShortcut));
    EXPECT_TRUE(info.choices.Has(Choice::DefaultPdf));
    EXPECT_FALSE(info.choices.Has(Choice::DefaultComics));  // only the machine key's values count now
    EXPECT_FALSE(info.choices.Has(Choice::DefaultMarkdown));
    EXPECT_STREQ(info.choices.installDir.CStr(), d.c_str());

    ForgetExistingInstallationDir();
    Remove(HKEY_CURRENT_USER, kUninstallRegKey);
    EXPECT_EQ(Read().keys, PrevInstallKeys::MachineOnly);
}

// What the entry recorded is what the earlier installation chose, whatever the registry shows
// (Wine's and a merged HKEY_CLASSES_ROOT show another installation's shell extensions too, or
// hide the user's). An older entry without the values has the registered shell extensions and
// no Office add-in; the scope is the entry's root, whatever its value says.
TEST_F(PreviousInstall, RecordedChoicesWinOverWhatTheRegistryShows) {
    TestDir dir;
    std::string d = dir.Path("inst");
    std::filesystem::create_directories(Wide(d));
    struct Recorded {
        const char* name;
        DWORD value;
    };
    struct {
        const char* what;
        bool filterRegistered;
        std::vector<Recorded> recorded;
        ChoiceSet want;
    } cases[] = {
        {"an older entry: the filter registered, no add-in", true, {}, {Choice::SearchFilter}},
        {"an older entry, nothing registered", false, {}, {}},
        {"recorded off, though registered", true, {{"SearchFilter", 0}, {"Previewer", 0}, {"OfficeAddin", 0}}, {}},
        {"recorded on, though not registered",
         false,
         {{"SearchFilter", 1}, {"Previewer", 1}, {"OfficeAddin", 1}},
         {Choice::SearchFilter, Choice::Previewer, Choice::OfficeAddin}},
        {"a per-user entry recording all users is still per user", false, {{"AllUsers", 1}}, {}},
    };
    for (const auto& c : cases) {
        Clean();
        PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", d);
        if (c.filterRegistered) PutSz(HKEY_LOCAL_MACHINE, kFilterKey, "", kPersistentHandlerClsid);
        for (const Recorded& r : c.recorded) Put(HKEY_CURRENT_USER, kUninstallRegKey, r.name, REG_DWORD, &r.value, 4);
        std::string log;
        PreviousInstallInfo info = Read(&log);
        ChoiceSet got = info.choices.on.Only({Choice::AllUsers, Choice::SearchFilter, Choice::Previewer, Choice::OfficeAddin});
        EXPECT_EQ(got.bits, c.want.bits) << c.what;
        std::string line = std::string("search filter: ") + (c.want.Has(Choice::SearchFilter) ? "1" : "0") +
                           ", preview: " + (c.want.Has(Choice::Previewer) ? "1" : "0") + ", typ: 1, needsElevation: 0\n";
        EXPECT_NE(log.find(line), std::string::npos) << c.what << "\n" << log;
    }
}

TEST_F(PreviousInstall, MissingDesktopValueKeepsWhatTheRecordHeld) {
    TestDir dir;
    PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", dir.Path(""));
    PreviousInstallInfo info;
    info.choices.Set(Choice::DesktopShortcut, true);
    std::string log = LoggedDuring([&] { GetPreviousInstallInfo(&info); });
    EXPECT_TRUE(info.choices.Has(Choice::DesktopShortcut));
    EXPECT_NE(log.find("GetPreviousInstallInfo: desktop shortcut: 1\n"), std::string::npos) << log;
}

TEST_F(PreviousInstall, ExistingDirectoryIsCachedAfterTheFirstFind) {
    TestDir dir;
    PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", dir.Path("vlpdf.exe"));
    std::string first = GetExistingInstallationDir().CStr();
    Remove(HKEY_CURRENT_USER, kUninstallRegKey);
    std::string log = LoggedDuring([&] { EXPECT_EQ(std::string(GetExistingInstallationDir().CStr()), first); });
    EXPECT_EQ(log, "");
    std::string want = dir.Path("");
    want.pop_back();
    EXPECT_EQ(first, want);
}

TEST(InstallDir, ProgramFilesTestFollowsParentsCaseAndShortNames) {
    std::string pf = ShellFolder(CSIDL_PROGRAM_FILES);
    std::string pf86 = ShellFolder(CSIDL_PROGRAM_FILESX86);
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW(Wide(pf).c_str(), shortName, MAX_PATH);
    std::string lower = pf;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    struct {
        std::string path;
        bool under;
    } cases[] = {
        {pf, true},
        {pf + "\\vlpdf", true},
        {lower + "\\vlpdf\\deeper", true},
        {pf86 + "\\vlpdf", true},
        {Narrow(shortName) + "\\vlpdf", true},
        {pf + "-not\\vlpdf", false},
        {ShellFolder(CSIDL_LOCAL_APPDATA) + "\\vlpdf", false},
        {"", false},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        EXPECT_EQ(IsUnderProgramFiles(c.path.c_str()), c.under) << c.path;
    }
}

TEST(InstallDir, WriteTestUsesTheNearestExistingDirectory) {
    TestDir dir;
    EXPECT_TRUE(CanWriteToDirectory(dir.Path("").c_str()));
    EXPECT_TRUE(CanWriteToDirectory(dir.Path("not\\yet\\there").c_str()));
    EXPECT_FALSE(std::filesystem::exists(Wide(dir.Path("not"))));
    EXPECT_TRUE(std::filesystem::is_empty(Wide(dir.Path(""))));  // the probe file is gone
    EXPECT_FALSE(CanWriteToDirectory("Q:\\no\\such\\drive"));
    EXPECT_FALSE(CanWriteToDirectory("relative\\none"));
    EXPECT_FALSE(CanWriteToDirectory(""));
    // Under Wine this process is elevated; the rule still asks for it in Program Files.
    EXPECT_TRUE(NeedsElevation((ShellFolder(CSIDL_PROGRAM_FILES) + "\\vlpdf").c_str(), false, true));
    EXPECT_FALSE(NeedsElevation(dir.Path("vlpdf").c_str(), false, false));
    EXPECT_TRUE(NeedsElevation("Q:\\no\\such\\drive", false, false));
}

TEST(InstallDir, DefaultsAndTheAllUsersToggle) {
    std::string log = LoggedDuring(
        [] { EXPECT_STREQ(GetDefaultInstallationDir("D:\\Earlier\\vlpdf", true, false).CStr(), "D:\\Earlier\\vlpdf"); });
    EXPECT_EQ(log, "GetDefaultInstallationDir(forAllUsers=1, ignorePrev=0)\n  using D:\\Earlier\\vlpdf from previous install\n");
    std::string pfDir = ShellFolder(CSIDL_PROGRAM_FILES) + "\\vlpdf";
    std::string userDir = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\vlpdf";
    InstallChoices chosen;
    chosen.installDir = "D:\\Earlier\\vlpdf";
    log = LoggedDuring([&] { ForAllUsersStateChanged(&chosen, true); });
    EXPECT_TRUE(chosen.AllUsers());
    EXPECT_STREQ(chosen.installDir.CStr(), pfDir.c_str());
    EXPECT_EQ(log, "ForAllUsersStateChanged() to 1\n"
                   "GetDefaultInstallationDir(forAllUsers=1, ignorePrev=1)\n"
                   "  using '" + pfDir + "' from GetSpecialFolderTemp(CSIDL_PROGRAM_FILES)\n"
                   "ForAllUsersStateChanged: cli->installer.allUsers: 1, cli->installer.installDir: '" + pfDir +
                   "', forAllUsers: 1\n");
    log = LoggedDuring([&] { ForAllUsersStateChanged(&chosen, false); });
    EXPECT_FALSE(chosen.AllUsers());
    EXPECT_STREQ(chosen.installDir.CStr(), userDir.c_str());
    EXPECT_NE(log.find("  using '" + userDir + "' from GetSpecialFolderTemp(CSIDL_LOCAL_APPDATA)\n"), std::string::npos);
}
