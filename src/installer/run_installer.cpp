#include "installer/run_installer.h"

#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/flags.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/product.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/install_options.h"
#include "installer/installer_thread.h"
#include "installer/installer_window.h"
#include "installer/launch.h"
#include "installer/previous_install.h"
#include "integration/registry.h"
#include "payload/extract.h"

bool (*gAllUsersChecked)() = nullptr;

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

StrView CommandLineTemp() {
    return ToUtf8Temp(WStrView((const char16_t*)GetCommandLineW()));
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

void SettleInstallDir(Flags* st) {
    StrView given = gCli->installer.installDir;
    if (!given.IsEmpty()) {
        st->installer.installDir = AbsoluteDir(given);
    } else {
        StrView dir = GetDefaultInstallationDir(st->installer.allUsers, false);
        st->installer.installDir = str::Dup(GetProcessArena(), dir);
    }
    if (IsUnderProgramFiles(st->installer.installDir) && !st->installer.allUsers) {
        Log("RunInstaller: install dir under Program Files; forcing allUsers\n");
        st->installer.allUsers = true;
    }
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

int RestartElevated(Flags* st, bool isElevated) {
    Logf("Restarting as elevated: gCli->silent: %d, gCli->installer.fastInstall: %d, isElevated: %d, "
         "gCli->installer.allUsers: %d, prevInstall.needsElevation: %d\n",
         (int)gCli->silent, (int)gCli->installer.fastInstall, (int)isElevated, (int)gCli->installer.allUsers,
         (int)prevInstall.allUsers);
    if (!gCli->silent) {
        // The elevated copy shows its own window; this one has nothing more to do.
        RestartElevatedForAllUsers(st);
        return kExitOk;
    }
    HANDLE process = nullptr;
    if (!RestartElevatedForAllUsers(st, &process)) {
        Log("RunInstaller: elevation was refused or failed; nothing was installed\n");
        return kExitFailed;
    }
    return WaitForElevatedCopy(process);
}

void LogSettledOptions(const Flags& st) {
    const InstallerOptions& o = st.installer;
    Logf("RunInstaller: gCliNew.silent: %d, gCliNew.installer.allUsers: %d, gCliNew.installer.runInstallNow: %d, "
         "gCliNew.installer.withFilter: %d, gCliNew.installer.withPreview: %d, gCliNew.installer.fastInstall: %d\n",
         (int)st.silent, (int)o.allUsers, (int)o.runInstallNow, (int)o.withFilter, (int)o.withPreview,
         (int)o.fastInstall);
}

int InstallSilently(Flags* st) {
    gInstallStarted = true;
    InstallerThread(st);
    int exitCode = gInstallFailed ? kExitFailed : kExitOk;
    if (st->installer.startApp && !gInstallFailed) {
        RunNonElevated(path::JoinTemp(st->installer.installDir, kReaderExeName));
    }
    return exitCode;
}

// The window's run. An installation that failed ends with 1 like a silent one, so that a
// script or a person who started it can tell.
int InstallWithWindow(Flags* st) {
    Log("Before CreateInstallerWindow()\n");
    if (!CreateInstallerWindow(st)) {
        Log("CreateInstallerWindow() failed\n");
        return kExitOk;
    }
    Log("Before SetForegroundWindow()\n");
    SetForegroundWindow(gInstallerWindow);
    Log("Before RunApp()\n");
    int exitCode = RunApp();
    Logf("RunApp() returned %d\n", exitCode);
    if (exitCode == kExitOk && gInstallFailed) {
        exitCode = kExitFailed;
    }
    Log("Installer finished\n");
    return exitCode;
}

void OpenLogAtEnd(StrView logPath, int exitCode) {
    if (!logPath.IsEmpty() && gInstallStarted) {
        RunNonElevated(logPath);
        return;
    }
    if (!gCli->silent && (exitCode != kExitOk || gInstallFailed)) {
        StrView path = GetLogFilePathTemp();
        if (WriteCurrentLogToFile(path)) {
            LaunchFileIfExists(path);
        }
    }
}
}  // namespace

bool RestartElevatedForAllUsers(Flags* state, HANDLE* process) {
    TempArenaScope scope;
    bool allUsersChecked = gAllUsersChecked && gAllUsersChecked();
    bool allUsers = state->installer.allUsers || allUsersChecked;
    Logf("RestartElevatedForAllUsers: cli->installer.allUsers: %d, allUsersChecked: %d, allUsers: %d\n",
         (int)state->installer.allUsers, (int)allUsersChecked, (int)allUsers);
    StrView exePath = GetModulePathTemp();
    StrView args = RelaunchArgumentsTemp(*state, allUsers);
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

int RunInstaller() {
    TempArenaScope scope;
    gLogRegistry = true;
    SetCurrentLangByCode(DetectUserLang());
    Flags* st = gCliNew;
    CopyInstallerOptions(*gCli, st);
    TokenKind token = CurrentTokenKind();

    StrView logPath;
    if (gCli->log) {
        logPath = str::Dup(GetProcessArena(), GetLogFilePathTemp());
        SetLogFilePath(logPath, gCli->installer.runInstallNow);
    }
    Log("------------- Starting VeloraPDF installation\n");
    LogParentProcessChain();
    if (SettleScopeForToken(token, st)) {
        Log("RunInstaller: running as LocalSystem, installing for all users\n");
    }

    if (!OpenEmbeddedFilesArchive()) {
        return kExitFailed;
    }
    GetPreviousInstallInfo(&prevInstall);
    bool hasPrev = HasPreviousInstall(prevInstall);
    Logf("HasPreviousInstall(): hasPrev: %d\n", (int)hasPrev);
    SettleInheritedChoices(prevInstall, hasPrev, gCli->installer.runInstallNow, st);
    SettleInstallDir(st);
    Logf("RunInstaller: '%s', cmdLine: '%s', installing into dir '%s'\n", GetModulePathTemp().CStr(),
         CommandLineTemp().CStr(), st->installer.installDir.CStr());

    const InstallerOptions& cli = gCli->installer;
    bool requiresSilentElevation = gCli->silent || cli.fastInstall || cli.runInstallNow;
    bool isElevated = token != TokenKind::Limited;
    Logf("RunInstaller: requiresSilentElevation: %d, isElevated: %d\n", (int)requiresSilentElevation,
         (int)isElevated);
    bool needsElevation = false;
    if (requiresSilentElevation && !isElevated) {
        bool allUsers = st->installer.allUsers || prevInstall.allUsers;
        needsElevation = NeedsElevation(st->installer.installDir, allUsers, isElevated);
        Logf("RunInstaller: needsElevation: %d (allUsers=%d prevAllUsers=%d underPF=%d)\n", (int)needsElevation,
             (int)st->installer.allUsers, (int)prevInstall.allUsers,
             (int)IsUnderProgramFiles(st->installer.installDir));
    }
    switch (ChooseElevation(requiresSilentElevation, isElevated, needsElevation, cli.runInstallNow)) {
        case ElevationChoice::RestartElevated:
            return RestartElevated(st, isElevated);
        case ElevationChoice::InstallWithoutRights:
            Log("RunInstaller: started elevated already and still not elevated; installing without restarting "
                "again\n");
            break;
        case ElevationChoice::Install:
            break;
    }
    LogSettledOptions(*st);

    int exitCode = 0;
    if (gCli->silent) {
        exitCode = InstallSilently(st);
        Log("Installer finished\n");
    } else {
        exitCode = InstallWithWindow(st);
    }
    OpenLogAtEnd(logPath, exitCode);
    return exitCode;
}
