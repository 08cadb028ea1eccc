#include "uninstaller/uninstaller.h"

#include <windows.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/private_dir.h"
#include "base/process_win.h"
#include "base/product.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/install_options.h"
#include "installer/launch.h"
#include "installer/previous_install.h"
#include "integration/registration.h"
#include "integration/registry.h"
#include "integration/uninstall.h"
#include "archive/installed_files.h"
#include "replace/holders.h"
#include "uninstaller/package_registration.h"

namespace {
// How long a finishing copy waits for the uninstaller it finishes for.
constexpr DWORD kFinishWaitMs = 60000;

// The log says it in English, the user reads it translated: the English text is translated
// before its placeholders are filled.
UninstallOutcome Outcome(int exitCode, const char* english, ...) VL_PRINTF(2, 3);
UninstallOutcome Outcome(int exitCode, const char* english, ...) {
    va_list args;
    va_start(args, english);
    StrView logged = str::FormatV(GetTempArena(), english, args);
    va_end(args);
    va_start(args, english);
    StrView shown = str::FormatV(GetProcessArena(), GetTranslation(english), args);
    va_end(args);
    Logf("RunUninstaller: exit code %d: %s\n", exitCode, logged.CStr());
    UninstallOutcome o;
    o.exitCode = exitCode;
    o.message = shown;
    o.rtl = IsCurrentLangRtl();
    return o;
}

// The reader carries translations.txt as its resource "TRANSLATIONS": the installation does
// not leave the file on the machine, and the reader moves itself away while it uninstalls.
bool ReadTranslationsResource(Str* out) {
    HRSRC res = FindResourceW(nullptr, L"TRANSLATIONS", MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = res ? LoadResource(nullptr, res) : nullptr;
    const char* bytes = data ? (const char*)LockResource(data) : nullptr;
    return bytes && out->Append(bytes, (int32_t)SizeofResource(nullptr, res));
}

void LoadTranslations(bool forTesting) {
    gLoadTranslationsFile = ReadTranslationsResource;
    SetCurrentLangByCode(DetectUserLang(forTesting));
}

StrView TempDirTemp() {
    return path::GetDirTemp(GetLogFilePathTemp());
}

const char* ScopeText(bool allUsers) {
    return allUsers ? "all users" : "the current user";
}

UninstallOutcome RestartElevated(const UninstallRequest& req, StrView self) {
    StrView args = ElevatedUninstallArgumentsTemp(req);
    Logf("RunUninstaller: restarting elevated: '%s' %s\n", self.CStr(), args.CStr());
    HANDLE process = nullptr;
    if (!LaunchElevatedProcess(self, args, &process)) {
        return Outcome(kExitFailed,
                       TranslatableText("VeloraPDF was not uninstalled: removing it for all users needs administrator rights."));
    }
    if (!process) {
        return Outcome(kExitFailed,
                       TranslatableText("VeloraPDF was not uninstalled: the elevated uninstaller could not be followed."));
    }
    uint32_t code = WaitForExitCode(process, kExitFailed);
    Logf("RunUninstaller: elevated uninstaller exited with %u\n", (unsigned)code);
    UninstallOutcome o;
    o.exitCode = (int)code;
    return o;
}

// The directory the uninstall entry of this scope names must be ours: a reader started from
// anywhere else (an extracted copy, another installation) removes nothing. Each scope has
// whole sentences of its own, which translate as wholes.
bool IsRegisteredInstallation(HKEY root, StrView dir, bool allUsers, UninstallOutcome* refusal) {
    StrView registered = InstallDirFromLocationTemp(ReadRegStr(root, kUninstallRegKey, "InstallLocation"));
    if (registered.IsEmpty()) {
        *refusal = allUsers ? Outcome(kExitFailed, TranslatableText("VeloraPDF is not installed for all users, so "
                                                                    "nothing was removed."))
                            : Outcome(kExitFailed, TranslatableText("VeloraPDF is not installed for the current "
                                                                    "user, so nothing was removed."));
        return false;
    }
    if (!path::IsSameFile(registered, dir, path::SameFileNames::SpellingsMayDiffer)) {
        const char* text = allUsers ? TranslatableText("Nothing was removed: VeloraPDF is installed for all users "
                                                       "in '%s', not in '%s'.")
                                    : TranslatableText("Nothing was removed: VeloraPDF is installed for the current "
                                                       "user in '%s', not in '%s'.");
        *refusal = Outcome(kExitFailed, text, registered.CStr(), dir.CStr());
        return false;
    }
    return true;
}

// A folder made new for this process in the temporary folder, which only administrators and
// this run's owner can write: an elevated uninstaller parks or starts its copy there, and no
// unelevated program may swap that copy or plant a library beside it. Empty on failure.
StrView PrivateTempFolderTemp() {
    return CreatePrivateDirTemp(TempDirTemp(), "vlpdf-uninstall-");
}

// Deleting at the next start needs administrator rights; without them a file in the
// temporary folder stays there, where the system's clean-up finds it.
bool DeleteAtNextStart(StrView file, StrView folder) {
    if (DeleteAtRestart(file) && DeleteAtRestart(folder)) {
        Logf("DeleteAtNextStart: '%s' goes at the next start\n", file.CStr());
        return true;
    }
    Logf("DeleteAtNextStart: '%s' stays (err=%lu)\n", file.CStr(), GetLastError());
    return false;
}

// A running program's file cannot be deleted, but it can be renamed within its volume: it
// moves to a folder of its own in the temporary folder, so that the installation folder can
// go while this process still runs and its caller still waits for its result.
bool MoveSelfOut(StrView self) {
    StrView aside = PrivateTempFolderTemp();
    if (aside.IsEmpty()) {
        return false;
    }
    StrView moved = path::JoinTemp(aside, path::GetBaseName(self));
    if (!MoveFileExW(W(self), W(moved), 0)) {
        Logf("MoveSelfOut: moving '%s' to '%s' failed\n", self.CStr(), moved.CStr());
        LogLastError(0);
        RemoveDirectoryW(W(aside));
        return false;
    }
    Logf("MoveSelfOut: moved to '%s'\n", moved.CStr());
    DeleteAtNextStart(moved, aside);
    return true;
}

// Where this file cannot move away (the temporary folder is on another volume), a copy of
// it in a private temporary folder deletes it once this process ended. The caller then has
// the result a moment before the folder is gone. Never started from a folder others can
// write: without a private one, false.
bool StartFinisher(StrView self, StrView dir) {
    StrView folder = PrivateTempFolderTemp();
    if (folder.IsEmpty()) {
        return false;
    }
    StrView copy = path::JoinTemp(folder, path::GetBaseName(self));
    if (!file::Copy(self, copy)) {
        Logf("StartFinisher: copying '%s' to '%s' failed\n", self.CStr(), copy.CStr());
        RemoveDirectoryW(W(folder));
        return false;
    }
    StrView cmd = str::FormatTemp("%s -uninstall-finish %s %lu -silent", QuoteCommandLineArgTemp(copy).CStr(),
                                  QuoteCommandLineArgTemp(dir).CStr(), GetCurrentProcessId());
    HANDLE process = CreateProcessHelper(cmd, TempDirTemp());
    if (!process) {
        Logf("StartFinisher: starting '%s' failed\n", cmd.CStr());
        LogLastError(0);
        return false;
    }
    CloseHandle(process);
    Logf("StartFinisher: '%s' removes '%s' once this process ended\n", copy.CStr(), dir.CStr());
    DeleteAtNextStart(copy, folder);
    return true;
}

// The folders the sweep found, each once empty, then dir; folders holding kept files stay, and
// folders holding only what goes at restart go then.
Deleted RemoveInstallationFolders(StrView dir, InstalledFilesSweep* sweep) {
    Deleted gone = RemoveInstalledFolders(dir, sweep);
    if (gone == Deleted::Now) {
        Logf("RemoveEmptyFolders: removed '%s'\n", dir.CStr());
    } else if (gone == Deleted::AtRestart) {
        Logf("RemoveEmptyFolders: '%s' goes at the next start\n", dir.CStr());
    } else {
        Logf("RemoveEmptyFolders: '%s' stays (err=%lu)\n", dir.CStr(), GetLastError());
    }
    return gone;
}

// The empty folders that the first installation created above its own. One that holds
// anything (someone put something there since) stays, and so do those above it: a folder is
// only ever removed empty, never through what it holds.
void RemoveCreatedFoldersAbove(StrView dir, StrView created) {
    for (StrView folder : CreatedFoldersAboveTemp(dir, created)) {
        if (!RemoveDirectoryW(W(folder))) {
            Logf("RemoveCreatedFolders: '%s' stays (err=%lu)\n", folder.CStr(), GetLastError());
            return;
        }
        Logf("RemoveCreatedFolders: removed '%s'\n", folder.CStr());
    }
}

UninstallOutcome FinishRemoval(const UninstallRequest& req, StrView self) {
    Logf("FinishRemoval: '%s' waits for process %u, then removes '%s'\n", self.CStr(), (unsigned)req.finishAfterPid,
         req.finishDir.CStr());
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, req.finishAfterPid);
    if (process) {
        WaitForSingleObject(process, kFinishWaitMs);
        CloseHandle(process);
    }
    // The uninstaller left only its own file there: nothing else is touched, whatever folder
    // this command line names.
    StrView reader = path::JoinTemp(req.finishDir, path::GetBaseName(self));
    if (DeleteNowOrAtRestart(reader, UninstallerRemoval(false).attempts, AtRestart::Never) != Deleted::Now) {
        return Outcome(kExitFailed, "'%s' could not be deleted.", reader.CStr());
    }
    if (!RemoveDirectoryW(W(req.finishDir))) {
        return Outcome(kExitFailed, "'%s' stays (err=%lu).", req.finishDir.CStr(), GetLastError());
    }
    return Outcome(kExitOk, "'%s' was removed.", req.finishDir.CStr());
}

// spared: a process that must outlive the removal although it runs the reader (0: none).
UninstallOutcome Uninstall(const UninstallRequest& req, StrView self, uint32_t spared) {
    StrView dir = path::GetDirTemp(self);
    HKEY root = RootFor(req.allUsers);
    UninstallOutcome refusal;
    if (!IsRegisteredInstallation(root, dir, req.allUsers, &refusal)) {
        return refusal;
    }
    Logf("RunUninstaller: uninstalling '%s' for %s\n", dir.CStr(), ScopeText(req.allUsers));
    // Read before the entry goes.
    StrView createdFolder = ReadRegStr(root, kUninstallRegKey, kCreatedFolderValue);
    // Whatever options it was installed with: every piece it may have registered goes.
    Registration reg(GetTempArena());
    BuildRegistration(AnyInstallationIn(dir, req.allUsers), &reg);
    // Users of the files first.
    StopWatcher(dir);
    KillProcessesUsingInstallationDir(dir, nullptr, spared);
    RemoveRegistration(reg, Removal::Uninstall);
    // The running reader's own file stays until it moves out.
    InstalledFilesSweep sweep(UninstallerRemoval(req.allUsers));
    Logf("DeleteInstalledFiles('%s')\n", dir.CStr());
    DeleteInstalledFiles(dir, self, &sweep);
    Logf("DeleteInstalledFiles: deleted %d, kept %d\n", sweep.deleted, sweep.kept);
    if (!sweep.firstFailed.IsEmpty()) {
        // The uninstall entry and the reader stay, so that the user can simply run it again.
        return Outcome(kExitFailed,
                       TranslatableText("VeloraPDF could not be removed completely: '%s' is in use or protected. "
                                        "Close the programs that use it and uninstall again. Details are in '%s'."),
                       sweep.firstFailed.CStr(), GetInstallLog().FilePath().CStr());
    }
    RemoveRegistration(reg, Removal::UninstallAfterFiles);
    if (!MoveSelfOut(self)) {
        RemoveInstallationFolders(dir, &sweep);
        if (StartFinisher(self, dir)) {
            return Outcome(kExitOk,
                           TranslatableText("VeloraPDF was uninstalled. Its folder '%s' goes as soon as this "
                                            "uninstaller ends."),
                           dir.CStr());
        }
        // Windows deletes what is marked as the system, following any link on the way: never a
        // folder the user can change (a per-user installation's).
        if (req.allUsers && DeleteAtNextStart(self, dir)) {
            return Outcome(kExitOk, TranslatableText("VeloraPDF was uninstalled. Its folder '%s' goes when Windows "
                                                     "restarts."),
                           dir.CStr());
        }
        return Outcome(kExitFailed,
                       TranslatableText("VeloraPDF could not be removed completely: '%s' is left. Delete the "
                                        "folder '%s' by hand."),
                       self.CStr(), dir.CStr());
    }
    Deleted folder = RemoveInstallationFolders(dir, &sweep);
    if (folder == Deleted::Now) {
        RemoveCreatedFoldersAbove(dir, createdFolder);
    }
    if (sweep.kept > 0) {
        return Outcome(kExitOk,
                       TranslatableText("VeloraPDF was uninstalled. The folder '%s' was kept: it holds files that "
                                        "VeloraPDF did not install."),
                       dir.CStr());
    }
    if (folder == Deleted::AtRestart) {
        return Outcome(kExitOk, TranslatableText("VeloraPDF was uninstalled. Its folder '%s' goes when Windows "
                                                 "restarts."),
                       dir.CStr());
    }
    return Outcome(kExitOk, TranslatableText("VeloraPDF was uninstalled."));
}
}  // namespace

UninstallOutcome RunUninstaller(const UninstallRequest& request) {
    // Nothing may be loaded from beside the program once it runs from the temporary folder.
    RestrictLibrarySearchToSystem();
    TempArenaScope scope;
    SetLogRegistryCalls(true);
    // A current directory inside the installation would keep its folder from going.
    SetCurrentDirectoryW(W(TempDirTemp()));
    bool continuesLog = request.relaunched || !request.finishDir.IsEmpty();
    SetLogFilePath(str::Dup(GetProcessArena(), path::JoinTemp(TempDirTemp(), kUninstallLogName)), continuesLog);
    Log("------------- Starting VeloraPDF uninstallation\n");
    StrView self = str::Dup(GetProcessArena(), GetModulePathTemp());
    UninstallRequest req = request;
    TokenKind token = CurrentTokenKind();
    if (RulesForToken(token).forcesAllUsers && !req.allUsers) {
        Log("RunUninstaller: running as LocalSystem, removing the installation for all users\n");
        req.allUsers = true;
    }
    bool isElevated = token != TokenKind::Limited;
    Logf("RunUninstaller: '%s', allUsers: %d, silent: %d, relaunched: %d, isElevated: %d\n", self.CStr(),
         (int)req.allUsers, (int)req.silent, (int)req.relaunched, (int)isElevated);
    if (!req.finishDir.IsEmpty()) {
        return FinishRemoval(req, self);
    }
    LoadTranslations(req.forTesting);
    // The parent of an elevated copy waits for its result, running the reader that is being
    // removed.
    uint32_t spared = 0;
    PROCESSENTRY32W entry{};
    if (req.relaunched && FindProcessEntry(GetCurrentProcessId(), &entry)) {
        spared = entry.th32ParentProcessID;
    }
    // Only an all-users installation needs rights; an uninstallation never has a window to ask later.
    if (RestartsElevated(ChooseElevation(true, isElevated, req.allUsers, req.relaunched), "RunUninstaller",
                         "uninstalling")) {
        return RestartElevated(req, self);
    }
    if (!req.packageRemoval.IsEmpty() && IsPackageHandingOver(req.packageRemoval)) {
        return UninstallOutcome{};
    }
    UninstallOutcome outcome = Uninstall(req, self, spared);
    RemovePackageRegistration(req.allUsers, !req.packageRemoval.IsEmpty(), outcome.exitCode);
    return outcome;
}
