#include "installer/installer_thread.h"
#include "installer/other_install.h"

#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/ole.h"
#include "base/product.h"
#include "base/progress.h"
#include "installer/free_files.h"
#include "installer/previous_install.h"
#include "integration/registration.h"
#include "integration/registry.h"
#include "integration/uninstall.h"
#include "payload/extract.h"
#include "replace/holders.h"
#include "replace/move_aside.h"
#include "stats/stats.h"

bool gInstallStarted = false;
bool gInstallFailed = false;
HWND gInstallerWindow = nullptr;

namespace {
constexpr DWORD kFinishedPostDelayMs = 500;

HKEY InstallRoot(const Flags& st) {
    return st.installer.allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Where the earlier installation's uninstall entry was read from.
HKEY PreviousRoot() {
    PrevInstallKeys keys = prevInstall.keys;
    bool machineKey = keys == PrevInstallKeys::MachineOnly || keys == PrevInstallKeys::MachineAndUser;
    return machineKey ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The earlier installation's uninstall entry is what a run after a killed one reads the
// installation's place and choices from, so it stays until the new entry is written; until
// then it also records the shell extensions this run unregisters to free their files.
bool NoteShellExtensionsPending() {
    if (!HasPreviousInstall(prevInstall) || (!prevInstall.searchFilterInstalled && !prevInstall.previewInstalled)) {
        return false;
    }
    HKEY root = PreviousRoot();
    if (prevInstall.searchFilterInstalled) {
        WriteRegDWORD(root, kUninstallRegKey, kPendingSearchFilterValue, 1);
    }
    if (prevInstall.previewInstalled) {
        WriteRegDWORD(root, kUninstallRegKey, kPendingPreviewerValue, 1);
    }
    return true;
}

void ClearShellExtensionsPending(HKEY root) {
    for (const char* name : {kPendingSearchFilterValue, kPendingPreviewerValue}) {
        if (RegValueExists(root, kUninstallRegKey, name)) {
            DeleteRegValue(root, kUninstallRegKey, name);
        }
    }
}

// What the earlier installation registered goes, whatever this one registers again; its
// uninstall entries go once the new one is written (RemoveEarlierUninstallEntries), and the
// backups of the user's earlier defaults stay (RemoveProductRegistryKey keeps them), so that
// uninstalling gives back what was there before the first installation.
void RemovePreviousRegistration() {
    Registration earlier(GetTempArena());
    BuildRegistration(AnyInstallationIn(prevInstall.installationDir, prevInstall.allUsers), &earlier);
    RemoveRegistration(earlier, Removal::Upgrade);
    CopySettingsFile();
    prevInstall.searchFilterInstalled = false;
    prevInstall.previewInstalled = false;
}

// The earlier entries under the other root, now that the new one is written; the entry
// under the installation's own root was written over. (The product keys went before.)
void RemoveEarlierUninstallEntries(HKEY root) {
    if (prevInstall.allUsers && root != HKEY_LOCAL_MACHINE) {
        RemoveUninstallEntry(HKEY_LOCAL_MACHINE);
    }
    if (root != HKEY_CURRENT_USER) {
        RemoveUninstallEntry(HKEY_CURRENT_USER);
    }
}

// The earlier installation goes once the new entry is written, so that a run after a
// killed one still finds one of them.
void RegisterInstallation(const Flags& st, const Registration& reg) {
    HKEY root = InstallRoot(st);
    WriteRegistration(reg, RegStage::Entry);
    RemoveOtherInstallation(root, st.installer.installDir);
    RemoveEarlierUninstallEntries(root);
    WriteRegistration(reg, RegStage::Shell);
}

void HandBackOutcome(bool shellExtensionsPending) {
    if (shellExtensionsPending) {
        ClearShellExtensionsPending(PreviousRoot());
    }
    StartWindowsSearchService();
    if (gInstallFailed && !userAborted) {
        StrView first = GetFirstFailureMessage();
        StrView report = str::FormatTemp("Installation failed: %s", first.IsEmpty() ? "(no details)" : first.CStr());
        Logf("InstallerThread: upload debug report: %s\n", report.CStr());
    }
    if (gInstallerWindow && gCli && !gCli->silent) {
        Sleep(kFinishedPostDelayMs);
        PostMessageW(gInstallerWindow, WM_APP_INSTALLATION_FINISHED, 0, 0);
    }
}
}  // namespace

void InstallerThread(Flags* state) {
    TempArenaScope scope;
    const InstallerOptions& o = state->installer;
    gInstallFailed = true;
    SendInstallStats();
    StrView exePath = path::JoinTemp(o.installDir, kReaderExeName);
    Logf("InstallerThread: cli->installer.allUsers: %d, cli->installer.withFilter: %d, cli->installer.withPreview: "
         "%d, installerExePath: '%s'\n",
         (int)o.allUsers, (int)o.withFilter, (int)o.withPreview, exePath.CStr());
    bool pending = NoteShellExtensionsPending();
    ShellExtensionState unregistered;
    FreeInstallationFilesInUse(o.installDir, o.allUsers || prevInstall.allUsers, &unregistered);
    // After a killed run they may be unregistered already: they are still the earlier
    // installation's.
    unregistered.searchFilter = unregistered.searchFilter || prevInstall.searchFilterInstalled;
    unregistered.previewer = unregistered.previewer || prevInstall.previewInstalled;
    StopWindowsSearchService();
    if (!ExtractInstallerFiles(o.installDir)) {
        Log("ExtractInstallerFiles() failed\n");
        RestoreShellExtensions(unregistered);
        HandBackOutcome(pending);
        return;
    }
    // The registration reaches the shell's COM objects (shortcuts, default programs); a silent
    // run, on the main thread, starts OLE only now.
    EnsureOle();
    RemovePreviousRegistration();
    Registration reg(GetTempArena());
    BuildRegistration(InputsFromOptions(o), &reg);
    WriteRegistration(reg, RegStage::Components);
    gInstallFailed = false;
    RegisterInstallation(*state, reg);
    // Later reports read back which installer put the product on this machine.
    RecordInstallIdentity(o.installDir, path::GetBaseName(GetModulePathTemp()));
    ProgressStep();
    Log("Installer thread finished\n");
    HandBackOutcome(pending);
}
