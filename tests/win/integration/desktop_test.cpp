#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "base/arena.h"
#include "base/file.h"
#include "integration/office_addin.h"
#include "integration/path_env.h"
#include "integration/registry.h"
#include "integration/shortcut.h"
#include "integration/shell_folder.h"
#include "integration/watcher.h"
#include "reg_test.h"
#include "test_dir.h"

using namespace regtest;

namespace {
std::vector<std::string> Links(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(Wide(folder), ec)) {
        if (e.path().extension() == L".lnk") out.push_back(Narrow(e.path().wstring()));
    }
    return out;
}

class Shortcuts : public testing::Test {
  protected:
    void SetUp() override {
        // Wine mirrors start-menu links into the Linux desktop; keep this machine's to itself.
        SetEnvironmentVariableW(L"WINEDLLOVERRIDES", L"mscoree,mshtml=;winemenubuilder.exe=d");
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        RemoveAll();
    }
    void TearDown() override {
        RemoveAll();
        CoUninitialize();
    }
    void RemoveAll() {
        for (int csidl : {0, 2, 11, 22, 23, 25}) {
            std::error_code ec;
            std::filesystem::remove(Wide(ShellFolder(csidl) + "\\VeloraPDF.lnk"), ec);
        }
    }
};
}  // namespace

TEST_F(Shortcuts, PerUserWithoutDesktopMakesOneLinkInProgramsThatResolves) {
    TestDir dir;
    std::string exe = dir.Path("vlpdf.exe");
    file::WriteFile(exe.c_str(), "MZ");
    std::string programs = ShellFolder(CSIDL_PROGRAMS);
    auto before = Links(programs).size() + Links(ShellFolder(CSIDL_DESKTOPDIRECTORY)).size() +
                  Links(ShellFolder(CSIDL_COMMON_PROGRAMS)).size() + Links(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY)).size();
    std::string log = LoggedDuring([&] { CreateAppShortcuts(false, false, exe.c_str()); });
    std::string lnk = programs + "\\VeloraPDF.lnk";
    EXPECT_EQ(log, "CreateAppShortcuts(forAllUsers=0, withDesktop=0)\nCreateAppShortcut(csidl=2), path=" + lnk + "\n");
    auto after = Links(programs).size() + Links(ShellFolder(CSIDL_DESKTOPDIRECTORY)).size() +
                 Links(ShellFolder(CSIDL_COMMON_PROGRAMS)).size() + Links(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY)).size();
    EXPECT_EQ(after, before + 1);
    ASSERT_TRUE(file::Exists(lnk.c_str()));
    EXPECT_TRUE(_stricmp(ResolveShortcutTemp(lnk.c_str()).CStr(), exe.c_str()) == 0) << ResolveShortcutTemp(lnk.c_str()).CStr();
}

TEST_F(Shortcuts, AllUsersWithDesktopAndRemovalOfWhatExists) {
    TestDir dir;
    std::string exe = dir.Path("vlpdf.exe");
    file::WriteFile(exe.c_str(), "MZ");
    CreateAppShortcuts(true, true, exe.c_str());
    std::string desk = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\VeloraPDF.lnk";
    std::string progs = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\VeloraPDF.lnk";
    EXPECT_TRUE(file::Exists(desk.c_str()));
    EXPECT_TRUE(file::Exists(progs.c_str()));
    // A per-user one from an even earlier installation is removed too; absent ones are skipped.
    std::string userLink = ShellFolder(CSIDL_PROGRAMS) + "\\VeloraPDF.lnk";
    ASSERT_TRUE(CreateShortcut(userLink.c_str(), exe.c_str(), "-x", "d"));
    std::string log = LoggedDuring([] { RemoveAppShortcuts(); });
    EXPECT_EQ(log, "RemoveShortcutFile: deleted '" + desk + "'\nRemoveShortcutFile: deleted '" + progs +
                       "'\nRemoveShortcutFile: deleted '" + userLink + "'\n");
    EXPECT_FALSE(file::Exists(desk.c_str()));
    EXPECT_EQ(LoggedDuring([] { RemoveAppShortcuts(); }), "");
}

TEST_F(Shortcuts, ALinkToAMissingFolderFails) {
    TestDir dir;
    EXPECT_FALSE(CreateShortcut(dir.Path("no\\such\\x.lnk").c_str(), "C:\\windows\\notepad.exe", {}, {}));
    EXPECT_TRUE(CreateShortcut(dir.Path("x.lnk").c_str(), "C:\\windows\\notepad.exe", "-a", "desc"));
}

TEST(Path, AppendsTheDirectoryToTheUsersPathOnce) {
    SetLogRegistryCalls(true);
    const std::string D = "C:\\Users\\Test\\vlpdf";
    struct {
        const char* old;  // nullptr: no value
        std::string result;
        std::string log;
    } cases[] = {
        {"C:\\A;", "C:\\A;" + D, "AddInstallDirToPath: added '" + D + "' to PATH\n"},
        {"C:\\A", "C:\\A;" + D, "AddInstallDirToPath: added '" + D + "' to PATH\n"},
        {nullptr, D, "AddInstallDirToPath: added '" + D + "' to PATH\n"},
        {"C:\\A;c:\\users\\TEST\\VLPDF", "C:\\A;c:\\users\\TEST\\VLPDF", "AddInstallDirToPath: '" + D + "' already in PATH\n"},
        {"C:\\A;C:\\Users\\Test\\vlpdf\\", "C:\\A;C:\\Users\\Test\\vlpdf\\;" + D, "AddInstallDirToPath: added '" + D + "' to PATH\n"},
    };
    for (auto& c : cases) {
        if (c.old) {
            std::wstring w = Wide(c.old);
            Put(HKEY_CURRENT_USER, "Environment", "Path", REG_EXPAND_SZ, w.c_str(), (DWORD)(w.size() + 1) * 2);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"Path");
        }
        EXPECT_EQ(LoggedDuring([&] { AddInstallDirToPath(false, D.c_str()); }), c.log);
        Value v = Get(HKEY_CURRENT_USER, "Environment", "Path");
        EXPECT_EQ(v.type, (DWORD)REG_EXPAND_SZ);
        EXPECT_EQ(v.Text(), c.result);
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"Path");
    // The machine's PATH key exists everywhere; the value is kept as it was plus ours.
    Value machineOld = Get(HKEY_LOCAL_MACHINE, kMachineEnvKey, "Path");
    ASSERT_TRUE(machineOld.exists);
    AddInstallDirToPath(true, "C:\\Program Files\\vlpdf-path-test");
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, kMachineEnvKey, "Path").Text(), machineOld.Text() + ";C:\\Program Files\\vlpdf-path-test");
    Put(HKEY_LOCAL_MACHINE, kMachineEnvKey, "Path", machineOld.type, machineOld.data.data(), (DWORD)machineOld.data.size());
}

TEST(Path, AMissingEnvironmentKeyIsNotCreated) {
    SetLogRegistryCalls(true);
    Remove(HKEY_CURRENT_USER, "Environment");
    std::string log = LoggedDuring([] { AddInstallDirToPath(false, "C:\\D"); });
    EXPECT_EQ(log, "WriteRegExpandSz: RegOpenKeyExW('Environment') failed with 2\n");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Environment"));
}

// Wine keeps one HKEY_CURRENT_USER for both views (Windows redirects its Classes\CLSID), so
// the per-user round trip shows one view; the machine root shows both.
TEST(OfficeAddinRegistry, RoundTripInBothViews) {
    const std::string clsid = "Software\\Classes\\CLSID\\{FBB2943F-E861-67E6-E76F-770D5F969DD8}";
    const std::string progId = "Software\\Classes\\VLPDF.OfficeAddin";
    const std::string dir = "C:\\Program Files\\vlpdf";
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        bool bothViews = root == HKEY_LOCAL_MACHINE;
        OnePiece addin64(Piece::OfficeAddin, bothViews, dir), addin32(Piece::OfficeAddin, bothViews, dir);
        addin64.item.view = RegView::Bits64;
        addin32.item.view = RegView::Bits32;
        std::string log = LoggedDuring([&] {
            if (bothViews) {
                EXPECT_TRUE(addin32.Write());
            }
            EXPECT_TRUE(addin64.Write());
        });
        EXPECT_EQ(log, "");
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            if (!bothViews && view == KEY_WOW64_32KEY) continue;
            std::string dll = dir + "\\plugins\\officeplugin\\" + (view == KEY_WOW64_64KEY ? "vloffice64.dll" : "vloffice32.dll");
            ExpectSz(root, clsid, "", "VeloraPDF", view);
            ExpectSz(root, clsid + "\\ProgID", "", "VLPDF.OfficeAddin", view);
            ExpectSz(root, clsid + "\\InprocServer32", "", dll, view);
            ExpectSz(root, clsid + "\\InprocServer32", "ThreadingModel", "Apartment", view);
            ExpectSz(root, progId, "", "VeloraPDF", view);
            ExpectSz(root, progId + "\\CLSID", "", "{FBB2943F-E861-67E6-E76F-770D5F969DD8}", view);
            for (const char* app : {"Word", "Excel", "PowerPoint"}) {
                std::string key = std::string("Software\\Microsoft\\Office\\") + app + "\\Addins\\VLPDF.OfficeAddin";
                ExpectSz(root, key, "FriendlyName", "VeloraPDF", view);
                ExpectSz(root, key, "Description", "VeloraPDF Office \xE5\x8A\xA0\xE8\xBD\xBD\xE9\xA1\xB9", view);
                ExpectDword(root, key, "LoadBehavior", 3, view);
            }
        }
        addin64.Remove();
        addin32.Remove();
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            EXPECT_FALSE(KeyExists(root, clsid, view));
            EXPECT_FALSE(KeyExists(root, progId, view));
            for (const char* app : {"Word", "Excel", "PowerPoint"}) {
                std::string key = std::string("Software\\Microsoft\\Office\\") + app + "\\Addins\\VLPDF.OfficeAddin";
                EXPECT_FALSE(KeyExists(root, key, view)) << key;
            }
        }
        // Again on a clean machine: nothing to do, nothing said.
        EXPECT_EQ(LoggedDuring([&] { addin64.Remove(); }), "");
    }
}

TEST(OfficeAddinRegistry, ViewsAreSeparateForTheMachine) {
    OnePiece addin32(Piece::OfficeAddin, true, "C:\\X");
    addin32.item.view = RegView::Bits32;
    addin32.Write();
    const std::string server = "Software\\Classes\\CLSID\\{FBB2943F-E861-67E6-E76F-770D5F969DD8}\\InprocServer32";
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, server, KEY_WOW64_32KEY));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, server, KEY_WOW64_64KEY));
    addin32.Remove();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, server, KEY_WOW64_32KEY));
}

TEST(Watcher, AutostartAndStartRunItWithOnUntilTheQuitEvent) {
    TestDir dir;
    std::string exe = dir.Path("vlpdf.exe");
    std::string watcher = WatcherPathTemp(exe.c_str()).CStr();
    std::filesystem::create_directories(Wide(dir.Path("plugins\\pdfwatch")));
    ASSERT_TRUE(CopyFileW(Wide(HelperExe("watch_helper.exe")).c_str(), Wide(watcher).c_str(), FALSE));
    HKEY run;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Wide(kRunKey).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &run, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(run);
    // Written and started as the installation does it, without a word in the log.
    OnePiece piece(Piece::Watcher, false, exe.substr(0, exe.find_last_of('\\')));
    EXPECT_EQ(LoggedDuring([&] { piece.Write(); }), "");
    ExpectSz(HKEY_CURRENT_USER, kRunKey, "vlpdf-watch", "\"" + watcher + "\"");
    std::string record = WaitForFile(dir.Path("plugins\\pdfwatch\\started.txt"));
    ASSERT_NE(record, "");
    EXPECT_EQ(Field(record, "cmdline"), "\"" + watcher + "\" /on");
    EXPECT_TRUE(_stricmp(Field(record, "cwd").c_str(), dir.Path("plugins\\pdfwatch").c_str()) == 0) << record;
    HANDLE proc = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, (DWORD)std::stoul(Field(record, "pid")));
    ASSERT_NE(proc, nullptr);
    EXPECT_EQ(WaitForSingleObject(proc, 300), (DWORD)WAIT_TIMEOUT) << "the watcher must keep running";
    HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(kWatcherQuitEvent).c_str());
    ASSERT_NE(quit, nullptr);
    SetEvent(quit);
    EXPECT_EQ(WaitForSingleObject(proc, 15000), (DWORD)WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(proc, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(quit);
    CloseHandle(proc);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, Wide(kRunKey).c_str(), Wide(kWatcherRunValue).c_str());
}

TEST(Watcher, WithoutARunKeyNothingIsWritten) {
    TestDir dir;
    std::filesystem::create_directories(Wide(dir.Path("plugins\\pdfwatch")));
    file::WriteFile(dir.Path("plugins\\pdfwatch\\vlpdf-watch.exe").c_str(), "not a program");
    Remove(HKEY_CURRENT_USER, kRunKey);
    std::string exe = dir.Path("vlpdf.exe");
    OnePiece(Piece::Watcher, false, exe.substr(0, exe.find_last_of('\\'))).Write();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRunKey));
}
