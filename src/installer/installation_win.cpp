#include "installer/installation.h"
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
#include "archive/archive.h"
#include "archive/extract.h"
#include "archive/patch_apply.h"
#include "replace/holders.h"
#include "replace/move_aside.h"
#include "stats/stats.h"

namespace {
constexpr DWORD kFinishedPostDelayMs = 500;

// Where the earlier installation's uninstall entry was read from.
HKEY PreviousRoot(const PreviousInstallInfo& prev) {
    PrevInstallKeys keys = prev.keys;
    bool machineKey = keys == PrevInstallKeys::MachineOnly || keys == PrevInstallKeys::MachineAndUser;
    return RootFor(machineKey);
}

// The earlier installation's uninstall entry is what a run after a killed one reads the
// installation's place and choices from, so it stays until the new entry is written; until
// then it also records the shell extensions this run unregisters to free their files.
bool NoteShellExtensionsPending(const PreviousInstallInfo& prev) {
    bool filter = prev.choices.Has(Choice::SearchFilter);
    bool previewer = prev.choices.Has(Choice::Previewer);
    if (!HasPreviousInstall(prev) || (!filter && !previewer)) {
        return false;
    }
    Registration taken(GetTempArena());
    BuildTakenShellExtensions(prev.choices, RegRootOf(PreviousRoot(prev)), &taken);
    WriteRegistration(taken, RegStage::Components);
    return true;
}

// Both marks, whichever this run wrote: the earlier installation's choices no longer say.
void ClearShellExtensionsPending(HKEY root) {
    InstallChoices both;
    both.on = {Choice::SearchFilter, Choice::Previewer};
    Registration taken(GetTempArena());
    BuildTakenShellExtensions(both, RegRootOf(root), &taken);
    RemovePiece(taken, Piece::SearchFilter, Removal::Upgrade);
    RemovePiece(taken, Piece::Previewer, Removal::Upgrade);
}

// What the earlier installation registered goes, whatever this one registers again; its
// uninstall entries go once the new one is written (RemoveEarlierUninstallEntries), and the
// backups of the user's earlier defaults stay (the product key's removal keeps them), so that
// uninstalling gives back what was there before the first installation.
void RemovePreviousRegistration(PreviousInstallInfo* prev) {
    Registration earlier(GetTempArena());
    BuildRegistration(AnyInstallationIn(prev->choices.installDir, prev->choices.AllUsers()), &earlier);
    RemoveRegistration(earlier, Removal::Upgrade);
    CopySettingsFile();
    prev->choices.Set(Choice::SearchFilter, false);
    prev->choices.Set(Choice::Previewer, false);
}

// The earlier entries under the other root, now that the new one is written; the entry
// under the installation's own root was written over. (The product keys went before.)
void RemoveEarlierUninstallEntries(HKEY root, const PreviousInstallInfo& prev) {
    if (prev.choices.AllUsers() && root != HKEY_LOCAL_MACHINE) {
        RemoveUninstallEntry(HKEY_LOCAL_MACHINE);
    }
    if (root != HKEY_CURRENT_USER) {
        RemoveUninstallEntry(HKEY_CURRENT_USER);
    }
}

// The earlier installation goes once the new entry is written, so that a run after a
// killed one still finds one of them.
void RegisterInstallation(const PreviousInstallInfo& prev, const Registration& reg) {
    HKEY root = RootFor(reg.in.AllUsers());
    WriteRegistration(reg, RegStage::Entry);
    RemoveOtherInstallation(root, reg.in.installDir, prev.choices.installDir);
    RemoveEarlierUninstallEntries(root, prev);
    WriteRegistration(reg, RegStage::Shell);
}

// The highest folder missing above dir, which the extraction is about to create with it;
// empty when dir's parent is there. The directory itself always goes with the installation.
StrView ParentToBeCreatedTemp(StrView dir) {
    StrView created;
    for (StrView cur = path::GetDirTemp(dir); !cur.IsEmpty() && cur.len < dir.len && !dir::Exists(cur);) {
        created = cur;
        StrView parent = path::GetDirTemp(cur);
        if (parent.len >= cur.len) {
            break;
        }
        cur = parent;
    }
    return created;
}

// A first installation into a folder knows what it created for it; the later ones into the
// same folder keep what that one recorded.
StrView CreatedFolderToRecord(StrView createdNow, const PreviousInstallInfo& prev, StrView dir) {
    if (!createdNow.IsEmpty()) {
        return createdNow;
    }
    if (path::IsSameFile(prev.choices.installDir, dir, path::SameFileNames::SpellingsMayDiffer)) {
        return prev.createdFolder;
    }
    return {};
}

void HandBackOutcome(const InstallerRun& run, bool shellExtensionsPending) {
    if (shellExtensionsPending) {
        ClearShellExtensionsPending(PreviousRoot(run.prev));
    }
    StartWindowsSearchService();
    if (GetInstallOutcome() == InstallOutcome::Installing) {
        StrView first = GetFirstFailureMessage();
        StrView report = str::FormatTemp("Installation failed: %s", first.IsEmpty() ? "(no details)" : first.CStr());
        Logf("InstallerThread: upload debug report: %s\n", report.CStr());
    }
    if (run.window && !run.cli->silent) {
        Sleep(kFinishedPostDelayMs);
        PostMessageW(run.window, WM_APP_INSTALLATION_FINISHED, 0, 0);
    }
}
}  // namespace

void RunInstallation(InstallerRun* run) {
    TempArenaScope scope;
    const InstallChoices& chosen = run->choices;
    PreviousInstallInfo& prev = run->prev;
    SetInstallOutcome(InstallOutcome::Installing);
    if (StatisticsAllowed(run->policies)) {
        SendInstallStats();
    } else {
        Log("SendInstallStats: turned off by the InstallStatistics policy; nothing unpacked or sent\n");
    }
    StrView exePath = path::JoinTemp(chosen.installDir, kReaderExeName);
    Logf("InstallerThread: cli->installer.allUsers: %d, cli->installer.withFilter: %d, cli->installer.withPreview: "
         "%d, installerExePath: '%s'\n",
         (int)chosen.AllUsers(), (int)chosen.Has(Choice::SearchFilter), (int)chosen.Has(Choice::Previewer),
         exePath.CStr());
    // An update checks the installation again (time may have passed since it was told what
    // the update does) and builds its changed files beside the earlier ones before anything
    // is touched. No archive is open only when the extraction is a test's stand-in.
    const InstallerArchive* archive = GetOpenedArchive();
    bool patch = archive && !archive->patchBaseVersion.IsEmpty();
    PatchPlan plan;
    if (patch && !StagePatchedFiles(archive, chosen.installDir, &plan)) {
        DeleteStagedFiles(archive, chosen.installDir);
        NotifyFailed(PatchRefusedMessageTemp(archive->patchBaseVersion));
        HandBackOutcome(*run, false);
        return;
    }
    bool pending = NoteShellExtensionsPending(prev);
    InstallChoices unregistered;
    FreeInstallationFilesInUse(chosen.installDir, chosen.AllUsers() || prev.choices.AllUsers(), prev.registered,
                               &unregistered);
    // After a killed run they may be unregistered already: they are still the earlier
    // installation's.
    unregistered.on = unregistered.on.With(prev.choices.on.Only({Choice::SearchFilter, Choice::Previewer}));
    StopWindowsSearchService();
    StrView createdNow = ParentToBeCreatedTemp(chosen.installDir);
    bool folderExisted = dir::Exists(chosen.installDir);
    bool extracted = ExtractInstallerFiles(chosen.installDir, ExtractMode{run->cli->silent, false, patch ? &plan : nullptr});
    if (archive && (patch || folderExisted)) {
        DeleteStagedFiles(archive, chosen.installDir);
    }
    if (!extracted) {
        Log("ExtractInstallerFiles() failed\n");
        RestoreShellExtensions(unregistered);
        HandBackOutcome(*run, pending);
        return;
    }
    // The registration reaches the shell's COM objects (shortcuts, default programs); a silent
    // run, on the main thread, starts OLE only now.
    EnsureOle();
    RemovePreviousRegistration(&prev);
    Registration reg(GetTempArena());
    BuildRegistration(chosen, &reg);
    reg.createdFolder = CreatedFolderToRecord(createdNow, prev, chosen.installDir);
    WriteRegistration(reg, RegStage::Components);
    SetInstallOutcome(InstallOutcome::Installed);
    RegisterInstallation(prev, reg);
    // Later reports read back which installer put the product on this machine.
    RecordInstallIdentity(chosen.installDir, path::GetBaseName(GetModulePathTemp()));
    ProgressStep();
    Log("Installer thread finished\n");
    HandBackOutcome(*run, pending);
}
