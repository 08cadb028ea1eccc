#include "installer/run_installer.h"

#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/flags.h"
#include "base/install_failure.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/product.h"
#include "base/wide_win.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/install_options.h"
#include "installer/installer_run.h"
#include "installer/installation.h"
#include "installer/installer_window.h"
#include "installer/launch.h"
#include "installer/policies.h"
#include "installer/previous_install.h"
#include "integration/registry.h"
#include "archive/archive.h"
#include "archive/extract.h"
#include "archive/patch_apply.h"
#include "archive/show_error.h"

namespace {
StrView CommandLineTemp() {
    return U(GetCommandLineW());
}

// The elevated copy starts in another current directory: a relative directory must reach
// it, and every later step, as the absolute one the user meant.
StrView AbsoluteDir(StrView dir) {
    WStrView w = ToWStrTemp(dir);
    DWORD n = GetFullPathNameW((LPCWSTR)w.s, 0, nullptr, nullptr);
    if (n == 0) {
        return dir;
    }
    WCHAR* full = (WCHAR*)ArenaAlloc(GetTempArena(), (int64_t)n * sizeof(WCHAR));
    DWORD got = full ? GetFullPathNameW((LPCWSTR)w.s, n, full, nullptr) : 0;
    if (got == 0 || got >= n) {
        return dir;
    }
    return ToUtf8(WStrView((const char16_t*)full, (int32_t)got), GetProcessArena());
}

void SettleInstallDir(InstallerRun* run) {
    InstallChoices& chosen = run->choices;
    StrView given = run->cli->installer.installDir;
    if (!given.IsEmpty()) {
        chosen.installDir = AbsoluteDir(given);
    } else {
        StrView dir = GetDefaultInstallationDir(run->prev.choices.installDir, chosen.AllUsers(), false);
        chosen.installDir = str::Dup(GetProcessArena(), dir);
    }
    if (IsUnderProgramFiles(chosen.installDir) && !chosen.AllUsers()) {
        Log("RunInstaller: install dir under Program Files; forcing allUsers\n");
        chosen.Set(Choice::AllUsers, true);
    }
}

// A patch updates one installation where it is: one of its base version (or of the version
// it makes, when a run of it was interrupted) whose files are that version's. Told before
// anything happens, with nothing changed.
bool PatchFitsInstallation(InstallerRun* run) {
    StrView base = GetOpenedArchive()->patchBaseVersion;
    if (base.IsEmpty()) {
        return true;
    }
    base = str::DupTemp(base);
    const PreviousInstallInfo& prev = run->prev;
    bool fits = HasPreviousInstall(prev);
    if (!fits) {
        Logf("RunInstaller: this update patches VeloraPDF %s, which is not installed; nothing was changed\n", base.CStr());
    } else if (!PatchFitsVersion(prev.version, base, kProductVersion)) {
        Logf("RunInstaller: this update patches VeloraPDF %s, and VeloraPDF '%s' is installed; nothing was changed\n",
             base.CStr(), prev.version.CStr());
        fits = false;
    } else {
        if (!str::Eq(run->choices.installDir, prev.choices.installDir)) {
            Logf("RunInstaller: an update patches the installation in '%s', not '%s'\n", prev.choices.installDir.CStr(),
                 run->choices.installDir.CStr());
            run->choices.installDir = prev.choices.installDir;
        }
        // A person is told before the window shows; a silent run checks every file once, in
        // the run that installs, before it changes anything.
        fits = run->cli->silent || CheckPatchBaseFiles(GetOpenedArchive(), prev.choices.installDir);
    }
    if (!fits) {
        ShowErrorMessage(PatchRefusedMessageTemp(base), run->cli->silent);
    }
    return fits;
}

// A silent run reports the elevated copy's result, which is what deployment tools read.
int WaitForElevatedCopy(HANDLE process) {
    if (!process) {
        Log("RunInstaller: the elevated installer gave no process to wait for\n");
        return kExitOk;
    }
    uint32_t code = WaitForExitCode(process, kExitFailed);
    Logf("RunInstaller: elevated installer exited with %u\n", (unsigned)code);
    return (int)code;
}

// Before the window exists: no check box to read.
int RestartElevated(InstallerRun& run, bool isElevated) {
    const Flags& cli = *run.cli;
    Logf("Restarting as elevated: gCli->silent: %d, gCli->installer.fastInstall: %d, isElevated: %d, "
         "gCli->installer.allUsers: %d, prevInstall.needsElevation: %d\n",
         (int)cli.silent, (int)cli.installer.fastInstall, (int)isElevated,
         (int)cli.installer.asked.Has(Choice::AllUsers), (int)run.prev.choices.AllUsers());
    if (!cli.silent) {
        // The elevated copy shows its own window; this one has nothing more to do.
        RestartElevatedForAllUsers(run, false);
        return kExitOk;
    }
    HANDLE process = nullptr;
    if (!RestartElevatedForAllUsers(run, false, &process)) {
        Log("RunInstaller: elevation was refused or failed; nothing was installed\n");
        return kExitFailed;
    }
    run.handedOver = true;
    return WaitForElevatedCopy(process);
}

void LogSettledOptions(const InstallerRun& run) {
    const Flags& cli = *run.cli;
    const InstallChoices& chosen = run.choices;
    Logf("RunInstaller: gCliNew.silent: %d, gCliNew.installer.allUsers: %d, gCliNew.installer.runInstallNow: %d, "
         "gCliNew.installer.withFilter: %d, gCliNew.installer.withPreview: %d, gCliNew.installer.fastInstall: %d\n",
         (int)cli.silent, (int)chosen.AllUsers(), (int)cli.installer.runInstallNow,
         (int)chosen.Has(Choice::SearchFilter), (int)chosen.Has(Choice::Previewer), (int)cli.installer.fastInstall);
}

int InstallSilently(InstallerRun* run) {
    run->started = true;
    RunInstallation(run);
    if (run->cli->installer.startApp && !InstallationFailed()) {
        RunNonElevated(path::JoinTemp(run->choices.installDir, kReaderExeName));
    }
    return InstallationFailed() ? kExitFailed : kExitOk;
}

// The window's run. An installation that failed ends with 1 like a silent one, so that a
// script or a person who started it can tell.
int InstallWithWindow(InstallerRun* run, const WindowHooks& hooks) {
    if (hooks.beforeWindow) {
        hooks.beforeWindow();
    }
    run->afterFirstPaint = hooks.afterFirstPaint;
    Log("Before CreateInstallerWindow()\n");
    if (!CreateInstallerWindow(run)) {
        Log("CreateInstallerWindow() failed\n");
        return kExitOk;
    }
    Log("Before SetForegroundWindow()\n");
    SetForegroundWindow(run->window);
    Log("Before RunApp()\n");
    int exitCode = RunApp(*run);
    Logf("RunApp() returned %d\n", exitCode);
    if (exitCode == kExitOk && InstallationFailed()) {
        exitCode = kExitFailed;
    }
    Log("Installer finished\n");
    return exitCode;
}

// A run that failed leaves its log where an administrator or the person looks, whatever step it
// failed at: with -log the file has every line already; otherwise the memory log is written
// there now, and an interactive run opens it.
void LeaveLogAtEnd(const InstallerRun& run, StrView logPath, int exitCode) {
    if (!logPath.IsEmpty() && run.started) {
        RunNonElevated(logPath);
        return;
    }
    bool failed = exitCode != kExitOk || InstallationFailed();
    bool fileHasEveryLine = !GetInstallLog().FilePath().IsEmpty();
    // The elevated copy that installed left its own log at the same place.
    if (!failed || fileHasEveryLine || run.handedOver) {
        return;
    }
    StrView path = GetLogFilePathTemp();
    if (WriteCurrentLogToFile(path) && !run.cli->silent) {
        LaunchFileIfExists(path);
    }
}

// From the archive to the end of the installation; the exit code.
int InstallFromArchive(InstallerRun& run, TokenKind token, const WindowHooks& hooks) {
    const Flags& cli = *run.cli;
    InstallChoices& chosen = run.choices;
    if (!OpenEmbeddedFilesArchive(cli.silent)) {
        return kExitFailed;
    }
    GetPreviousInstallInfo(&run.prev);
    bool hasPrev = HasPreviousInstall(run.prev);
    Logf("HasPreviousInstall(): hasPrev: %d\n", (int)hasPrev);
    SettleInheritedChoices(run.prev, hasPrev, cli.installer, &chosen);
    ApplyPolicies(run.policies, &chosen);
    SettleInstallDir(&run);
    if (!PatchFitsInstallation(&run)) {
        return kExitFailed;
    }
    Logf("RunInstaller: '%s', cmdLine: '%s', installing into dir '%s'\n", GetModulePathTemp().CStr(),
         CommandLineTemp().CStr(), chosen.installDir.CStr());

    const InstallerOptions& given = cli.installer;
    bool requiresSilentElevation = cli.silent || given.fastInstall || given.runInstallNow;
    bool isElevated = token != TokenKind::Limited;
    Logf("RunInstaller: requiresSilentElevation: %d, isElevated: %d\n", (int)requiresSilentElevation,
         (int)isElevated);
    bool needsElevation = false;
    if (requiresSilentElevation && !isElevated) {
        bool allUsers = chosen.AllUsers() || run.prev.choices.AllUsers();
        needsElevation = NeedsElevation(chosen.installDir, allUsers, isElevated);
        Logf("RunInstaller: needsElevation: %d (allUsers=%d prevAllUsers=%d underPF=%d)\n", (int)needsElevation,
             (int)chosen.AllUsers(), (int)run.prev.choices.AllUsers(), (int)IsUnderProgramFiles(chosen.installDir));
    }
    if (RestartsElevated(ChooseElevation(requiresSilentElevation, isElevated, needsElevation, given.runInstallNow),
                         "RunInstaller", "installing")) {
        return RestartElevated(run, isElevated);
    }
    LogSettledOptions(run);

    if (cli.silent) {
        int exitCode = InstallSilently(&run);
        Log("Installer finished\n");
        return exitCode;
    }
    return InstallWithWindow(&run, hooks);
}
}  // namespace

bool RestartElevatedForAllUsers(const InstallerRun& run, bool allUsersChecked, HANDLE* process) {
    TempArenaScope scope;
    bool allUsers = run.choices.AllUsers() || allUsersChecked;
    Logf("RestartElevatedForAllUsers: cli->installer.allUsers: %d, allUsersChecked: %d, allUsers: %d\n",
         (int)run.choices.AllUsers(), (int)allUsersChecked, (int)allUsers);
    StrView exePath = GetModulePathTemp();
    StrView args = RelaunchArgumentsTemp(*run.cli, run.choices, allUsers);
    Logf("LaunchElevated('%s', '%s')\n", exePath.CStr(), args.CStr());
    HANDLE started = nullptr;
    bool ok = process ? LaunchElevatedProcess(exePath, args, &started) : LaunchElevated(exePath, args);
    if (!ok) {
        DWORD err = GetLastError();
        Logf("LaunchElevated('%s', '%s') failed!\n", exePath.CStr(), args.CStr());
        LogLastError(err);
        return false;
    }
    Log("LaunchElevated() ok!\n");
    if (process) {
        *process = started;
    }
    return true;
}

int RunInstaller(const Flags& cli, const WindowHooks& hooks) {
    TempArenaScope scope;
    SetLogRegistryCalls(true);
    SetCurrentLangByCode(DetectUserLang(cli.forTesting));
    InstallerRun run;
    run.cli = &cli;
    run.choices = ChoicesAsked(cli.installer);
    TokenKind token = CurrentTokenKind();

    StrView logPath;
    if (cli.log) {
        logPath = str::Dup(GetProcessArena(), GetLogFilePathTemp());
        SetLogFilePath(logPath, cli.installer.runInstallNow);
    }
    Log("------------- Starting VeloraPDF installation\n");
    LogParentProcessChain();
    run.policies = ReadPolicies();
    LogPolicies(run.policies);
    run.locked = LockedChoices(run.policies);
    if (SettleScopeForToken(token, &run.choices)) {
        Log("RunInstaller: running as LocalSystem, installing for all users\n");
    }
    int exitCode = InstallFromArchive(run, token, hooks);
    LeaveLogAtEnd(run, logPath, exitCode);
    return exitCode;
}
