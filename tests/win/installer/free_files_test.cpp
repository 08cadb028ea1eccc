// A running reader of the existing installation is named as blocking it, and is ended when
// an installation goes into another directory: processes using either directory go, the
// existing installation's watcher too, even one still starting.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/arena.h"
#include "installer/free_files.h"
#include "installer/launch.h"
#include "installer/previous_install.h"
#include "integration/registry.h"
#include "integration/uninstall.h"
#include "reg_test.h"
#include "test_dir.h"
#include "../../helpers/starting_process.h"

using namespace regtest;

TEST(FreeFiles, ReaderOfTheExistingInstallationIsNamedThenEndedForAnotherDirectory) {
    TestDir dir;
    std::string existingDir = dir.Path("existing\\");
    std::string targetDir = dir.Path("target\\");
    CreateDirectoryW(Wide(existingDir).c_str(), nullptr);
    std::string reader = existingDir + "vlpdf.exe";
    // The file holder in its "wait" mode just runs until released: a reader that does not
    // quit by itself.
    ASSERT_TRUE(CopyFileW(Wide(HelperExe("..\\win\\replace\\file_holder.exe")).c_str(), Wide(reader).c_str(), FALSE));
    PutSz(HKEY_CURRENT_USER, kUninstallRegKey, "InstallLocation", existingDir);
    ForgetExistingInstallationDir();
    HANDLE process = nullptr;
    {
        TempArenaScope scope;
        process = CreateProcessHelper(str::FormatTemp("\"%s\" wait x vlpdf-free-files 30000", reader.c_str()), {});
    }
    ASSERT_NE(process, nullptr);
    CreateDirectoryW(Wide(existingDir + "plugins").c_str(), nullptr);
    CreateDirectoryW(Wide(existingDir + "plugins\\pdfwatch").c_str(), nullptr);
    std::string watcher = existingDir + "plugins\\pdfwatch\\vlpdf-watch.exe";
    ASSERT_TRUE(CopyFileW(Wide(reader).c_str(), Wide(watcher).c_str(), FALSE));
    PROCESS_INFORMATION startingWatcher;
    ASSERT_TRUE(StartStillStarting("\"" + watcher + "\" /on", &startingWatcher));
    HANDLE ready = nullptr;
    for (int i = 0; i < 100 && !ready; i++, Sleep(50)) {
        ready = OpenEventW(SYNCHRONIZE, FALSE, L"vlpdf-free-files-ready");
    }
    ASSERT_NE(ready, nullptr);
    CloseHandle(ready);
    DWORD pid = GetProcessId(process);

    Vec<StrView> blocking(GetProcessArena());
    std::string log = LoggedDuring([&] { ProcessesUsingInstallation(&blocking); });
    ASSERT_EQ(blocking.len, 1) << log;
    EXPECT_EQ(std::string(blocking.els[0].CStr()), "vlpdf.exe (" + std::to_string(pid) + ")");
    EXPECT_EQ(log.rfind("ProcessesUsingInstallation()\n", 0), 0u) << log;

    InstallChoices state;
    log = LoggedDuring([&] { FreeInstallationFilesInUse(targetDir.c_str(), false, {}, &state); });
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0) << log;
    EXPECT_NE(log.find("KillProcessesUsingInstallationDir('" + existingDir), std::string::npos) << log;
    EXPECT_NE(log.find("  attempting to kill process " + std::to_string(pid) + " 'vlpdf.exe'\n"), std::string::npos)
        << log;
    EXPECT_EQ(WaitForSingleObject(startingWatcher.hProcess, 0), WAIT_OBJECT_0) << log;
    TerminateProcess(startingWatcher.hProcess, 1);
    CloseHandle(startingWatcher.hProcess);
    CloseHandle(startingWatcher.hThread);
    EXPECT_STREQ(state.installDir.CStr(), targetDir.c_str());
    EXPECT_FALSE(state.AllUsers());

    blocking.Reset();
    ProcessesUsingInstallation(&blocking);
    EXPECT_EQ(blocking.len, 0);
    CloseHandle(process);
    Remove(HKEY_CURRENT_USER, kUninstallRegKey);
    ForgetExistingInstallationDir();
}
