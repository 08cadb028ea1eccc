// The blocked-file dialog, for real on the suite's Xvfb display: a ui_driver process looks
// at the dialog and presses keys in it like a user while this thread runs it.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include "replace/holders.h"
#include "replace/move_aside.h"
#include "replace/replace_rules.h"
#include "replace_test_util.h"

namespace {
DWORD gHolderPid = 0;

// Stands in for the Restart Manager (Wine's names nobody): the real holder, by its pid.
StrView HolderFromSnapshotTemp(StrView) {
    Str list(GetTempArena());
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof(pe);
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
        if (pe.th32ProcessID == gHolderPid) {
            AppendHolderLine(list, ToUtf8Temp(WStrView((const char16_t*)pe.szExeFile)), pe.th32ProcessID);
        }
    }
    CloseHandle(snap);
    return str::View(list);
}

struct ScenarioResult {
    bool renamed = false;
    uint32_t error = 0;  // of the dialog's latest rename
    std::string driverOutput;  // line ends as \n
    std::string log;
};

// Holds PdfFilter.dll open without sharing (for good, or for holdMs), has a ui_driver watch
// the dialog and act ("escape" or "wait"), and runs the dialog on this thread meanwhile.
ScenarioResult RunScenario(TestDir& dir, int holdMs, const std::string& action) {
    ScenarioResult r;
    std::string path = dir.Path("PdfFilter.dll");
    WriteBytes(path, "installed filter");
    Holder indexer;
    EXPECT_TRUE(indexer.Start("open", path, "", holdMs));
    gHolderPid = indexer.Pid();

    std::string out = dir.Path("driver.txt");
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE outFile = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    std::string cmd = "\"" + HelperPath("ui_driver.exe") + "\" #32770 VeloraPDF " + action + " 30000";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outFile;
    si.hStdError = outFile;
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(outFile);

    LogCapture log;
    // The rename fails (the file is open without sharing), which is what the dialog explains.
    RenameResult first = TryRenameAsideOnce(path.c_str(), (path + ".copy").c_str());
    RenameResult shown = ShowMoveAsideBlockedDialog(path.c_str(), (path + ".copy").c_str(), "PdfFilter.dll", first.error);
    r.renamed = shown.ok;
    r.error = shown.error;
    r.log = log.Text();

    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    indexer.Kill();
    for (char c : ReadWholeFile(out)) {
        if (c != '\r') r.driverOutput += c;
    }
    return r;
}
}  // namespace

TEST(BlockedFileDialog, ListsTheHoldersAndEscapeAborts) {
    TestDir dir;
    gHolderListFunc = HolderFromSnapshotTemp;
    ScenarioResult r = RunScenario(dir, -1, "escape");
    gHolderListFunc = RestartManagerHoldersTemp;
    EXPECT_FALSE(r.renamed) << r.log;
    // What the final message explains: the rename that failed before the dialog opened.
    EXPECT_EQ(r.error, (uint32_t)ERROR_SHARING_VIOLATION) << r.log;
    const std::string& d = r.driverOutput;
    EXPECT_EQ(d.rfind("found\n", 0), 0u) << d;
    EXPECT_NE(d.find("Cannot update PdfFilter.dll"), std::string::npos) << d;
    EXPECT_NE(d.find("Could not update PdfFilter.dll because another program still has the file open.\\n\\n"
                     "Programs currently using this file:\\n\xE2\x80\xA2 file_holder.exe (pid "),
              std::string::npos)
        << d;
    EXPECT_NE(d.find("Abort installation"), std::string::npos) << d;
    EXPECT_NE(d.find("closed\n"), std::string::npos) << d;
    EXPECT_NE(r.log.find("ShowMoveAsideBlockedDialog: done success=0 aborted=1\n"), std::string::npos) << r.log;
    EXPECT_TRUE(FileExists(dir.Path("PdfFilter.dll")));
}

// Nobody is named (Wine's Restart Manager), the rename failed with a sharing violation: the
// common causes are explained. The holder lets go after four seconds; the next retry renames
// the file and the dialog closes by itself.
TEST(BlockedFileDialog, ExplainsCommonCausesAndClosesOnceTheFileIsFree) {
    TestDir dir;
    ScenarioResult r = RunScenario(dir, 4000, "wait");
    EXPECT_TRUE(r.renamed) << r.log;
    EXPECT_EQ(r.error, 0u);
    const std::string& d = r.driverOutput;
    EXPECT_NE(d.find("Could not update PdfFilter.dll because another program still has the file open.\\n\\n"
                     "Common causes:\\n"),
              std::string::npos)
        << d;
    EXPECT_NE(d.find("closed\n"), std::string::npos) << d;
    EXPECT_NE(r.log.find("MoveAside dialog: retry rename '" + dir.Path("PdfFilter.dll") + "'\n"), std::string::npos)
        << r.log;
    EXPECT_NE(r.log.find("ShowMoveAsideBlockedDialog: done success=1 aborted=0\n"), std::string::npos) << r.log;
    EXPECT_EQ(ReadWholeFile(dir.Path("PdfFilter.dll.copy")), "installed filter");
    EXPECT_FALSE(FileExists(dir.Path("PdfFilter.dll")));
}

