#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/arena.h"
#include "base/file.h"
#include "base/version.h"
#include "base/install_failure.h"
#include "integration/registry.h"
#include "integration/uninstall.h"
#include "reg_test.h"
#include "test_dir.h"

using namespace regtest;

namespace {
const std::string kKey = kUninstallRegKey;

class UninstallEntry : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        SetLogRegistryCalls(true);
        Remove(root(), kKey);
        Remove(root(), kProductRegKey);
    }
    void TearDown() override { SetUp(); }
    HKEY root() const { return GetParam() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
    HKEY other() const { return GetParam() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
};

std::string Today() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    char b[16];
    snprintf(b, sizeof(b), "%04d%02d%02d", t.wYear, t.wMonth, t.wDay);
    return b;
}
}  // namespace

TEST_P(UninstallEntry, RoundTripWritesEveryValueAndRemovalLeavesNothing) {
    bool allUsers = GetParam();
    TestDir dir;
    std::string installDir = dir.Path("vlpdf");
    std::filesystem::create_directories(Wide(installDir + "\\plugins"));
    file::WriteFile((installDir + "\\vlpdf.exe").c_str(), std::string(3000, 'x').c_str());
    file::WriteFile((installDir + "\\a.dll").c_str(), std::string(2200, 'y').c_str());
    file::WriteFile((installDir + "\\plugins\\big.dll").c_str(), std::string(50000, 'z').c_str());
    PutSz(root(), std::string(kProductRegKey) + "\\PrevDefault", ".pdf", "");

    OnePiece entry(Piece::UninstallEntry, allUsers, installDir);
    std::string log = LoggedDuring([&] { EXPECT_TRUE(entry.Write()); });
    std::string exe = installDir + "\\vlpdf.exe";
    std::string uninstall = "\"" + exe + "\" -uninstall" + (allUsers ? " -all-users" : "");
    ExpectSz(root(), kKey, "DisplayIcon", exe);
    ExpectSz(root(), kKey, "DisplayName", "VeloraPDF");
    ExpectSz(root(), kKey, "DisplayVersion", VLPDF_VERSION_STR);
    ExpectDword(root(), kKey, "EstimatedSize", 5200 / 1024);  // plugins\ does not count
    ExpectSz(root(), kKey, "InstallDate", Today());
    ExpectSz(root(), kKey, "InstallLocation", installDir);
    ExpectDword(root(), kKey, "NoModify", 1);
    ExpectDword(root(), kKey, "NoRepair", 1);
    ExpectSz(root(), kKey, "Publisher", "Quenmoor Network Technology Co., Ltd.");
    ExpectSz(root(), kKey, "UninstallString", uninstall);
    ExpectSz(root(), kKey, "QuietUninstallString", uninstall + " -silent");
    ExpectSz(root(), kKey, "URLInfoAbout", "https://www.velorapdf.com/support");
    ExpectSz(root(), kKey, "URLUpdateInfo", "https://www.velorapdf.com/support");
    // With the choices recorded for the next installation.
    Vec<RegValue> recorded(GetTempArena());
    BuildRecordedChoiceValues(entry.reg.in, &recorded);
    EXPECT_EQ(Children(root(), kKey).size(), 13u + recorded.len);
    EXPECT_FALSE(KeyExists(other(), kKey));
    std::string rootName = allUsers ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    EXPECT_EQ(log.rfind("WriteUninstallerRegistryInfo(hKey: " + rootName + ", allUsers: " + (allUsers ? "1" : "0") +
                            ", installDir: '" + installDir + "')\n",
                        0),
              0u)
        << log;
    // The size is measured right before it is written.
    EXPECT_NE(log.find("DisplayVersion, " VLPDF_VERSION_STR ") => ok\nGetDirSize(" + installDir + ")\nWriteRegDWORD(" + rootName +
                       ", " + kKey + ", EstimatedSize, 5) => ok\n"),
              std::string::npos)
        << log;

    log = LoggedDuring([&] { EXPECT_TRUE(entry.Remove(Removal::UninstallAfterFiles)); });
    EXPECT_FALSE(KeyExists(root(), kKey));
    EXPECT_FALSE(KeyExists(root(), kProductRegKey));
    EXPECT_EQ(log, "RemoveUninstallerRegistryInfo(" + rootName + ")\n" + "DeleteRegKey(" + rootName + ", " + kKey +
                       ", 0) => ok\n" + "DeleteRegKey(" + rootName + ", Software\\vlpdf, 0) => ok\n");
    // Again with nothing there: the same lines, still ok.
    std::string again = LoggedDuring([&] { EXPECT_TRUE(entry.Remove(Removal::UninstallAfterFiles)); });
    EXPECT_EQ(again, log);
}

INSTANTIATE_TEST_SUITE_P(Scope, UninstallEntry, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "AllUsers" : "PerUser"; });

TEST(UninstallEntryFailure, EveryWriteIsTriedAndTheSummaryLogged) {
    SetLogRegistryCalls(true);
    TestDir dir;
    // An entry that nobody may write to.
    PutSz(HKEY_CURRENT_USER, kKey, "InstallLocation", "x");
    DenyEveryone(HKEY_CURRENT_USER, kKey);
    OnePiece entry(Piece::UninstallEntry, false, dir.Path(""));
    bool ok = true;
    std::string log = LoggedDuring([&] { ok = entry.Write(); });
    EXPECT_FALSE(ok);
    // Every value of the entry is tried before the summary.
    const std::string summary = "WriteUninstallerRegistryInfo() failed\n";
    size_t end = log.find(summary);
    ASSERT_NE(end, std::string::npos) << log;
    size_t failed = 0;
    for (size_t at = log.find("=> failed\n"); at < end; at = log.find("=> failed\n", at + 1)) failed++;
    EXPECT_EQ(failed, 13u) << log;
    DeleteRegKey(HKEY_CURRENT_USER, kKey.c_str(), true);
    ResetInstallOutcome();
}

TEST(DirSize, CountsFilesDirectlyInTheDirectory) {
    TestDir dir;
    EXPECT_EQ(GetDirSize(dir.Path("").c_str()), 0u);
    EXPECT_EQ(GetDirSize(dir.Path("missing").c_str()), 0u);
    std::filesystem::create_directories(Wide(dir.Path("sub")));
    file::WriteFile(dir.Path("sub\\x").c_str(), "123456");
    file::WriteFile(dir.Path("a").c_str(), "1234");
    file::WriteFile(dir.Path("b").c_str(), "12");
    std::string log = LoggedDuring([&] { EXPECT_EQ(GetDirSize(dir.Path("").c_str()), 6u); });
    EXPECT_EQ(log, "GetDirSize(" + dir.Path("") + ")\n");
}
