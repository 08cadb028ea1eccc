#include "installer/free_files.h"

#include <windows.h>

#include "base/arena.h"
#include "base/log.h"
#include "i18n/translations.h"
#include "installer/installer_message.h"
#include "installer/previous_install.h"
#include "installer/window_rules.h"
#include "integration/registration.h"
#include "replace/holders.h"
#include "ui/window_geometry.h"


namespace {
// The reader, its libraries and the shell extensions: what a running installation uses.
// The SDK host runs on its own and is only ended while files are replaced.
constexpr int kPairsInUseByInstallation = 3;
constexpr DWORD kSettleMs = 250;
}  // namespace

void FreeInstallationFilesInUse(StrView dir, bool allUsers, ChoiceSet registered, InstallChoices* unregistered) {
    TempArenaScope scope;
    Logf("FreeInstallationFilesInUse('%s' allUsers=%d)\n", str::DupTemp(dir).CStr(), (int)allUsers);
    InstallChoices found;
    found.on = registered.Only({Choice::SearchFilter, Choice::Previewer});
    found.Set(Choice::AllUsers, allUsers);
    found.installDir = str::Dup(GetProcessArena(), dir);
    // Taken from both roots, whatever scope registered them.
    Registration taken(GetTempArena());
    BuildRegistration(AnyInstallationIn(found.installDir, allUsers), &taken);
    if (found.Has(Choice::SearchFilter)) {
        Log("  unregistering search filter before file overwrite\n");
        RemovePiece(taken, Piece::SearchFilter, Removal::Upgrade);
    }
    if (found.Has(Choice::Previewer)) {
        Log("  unregistering previewer before file overwrite\n");
        RemovePiece(taken, Piece::Previewer, Removal::Upgrade);
    }
    bool letGo = found.Has(Choice::SearchFilter) || found.Has(Choice::Previewer);
    letGo = StopWatcher(dir) || letGo;
    StrView existing = GetExistingInstallationDir();
    bool otherExisting = dir.IsEmpty() || (!existing.IsEmpty() && !str::EqI(existing, dir));
    // The earlier folder's watcher too: one still starting has not seen the quit event, and
    // would keep its file from being removed with that installation.
    if (otherExisting && !existing.IsEmpty()) {
        letGo = StopWatcher(existing) || letGo;
    }
    int ended = 0;
    if (!dir.IsEmpty()) {
        KillProcessesUsingInstallationDir(dir, &ended);
    }
    if (otherExisting) {
        KillProcessesUsingInstallationDir(existing, &ended);
    }
    // Ended programs and shell hosts whose extensions went away release their files a moment
    // later. When nothing was ended or taken away there is nothing to wait for.
    if (letGo || ended > 0) {
        Sleep(kSettleMs);
    }
    if (unregistered) {
        *unregistered = found;
    }
}

void RestoreShellExtensions(const InstallChoices& unregistered) {
    if (unregistered.installDir.IsEmpty()) {
        Log("RestoreShellExtensions: no installDir, skip\n");
        return;
    }
    Logf("RestoreShellExtensions: filter=%d preview=%d allUsers=%d dir='%s'\n",
         (int)unregistered.Has(Choice::SearchFilter), (int)unregistered.Has(Choice::Previewer),
         (int)unregistered.AllUsers(), unregistered.installDir.CStr());
    TempArenaScope scope;
    Registration reg(GetTempArena());
    BuildRegistration(unregistered, &reg);
    RestoreShellExtensionsFrom(reg);
}

void ProcessesUsingInstallation(Vec<StrView>* out) {
    Log("ProcessesUsingInstallation()\n");
    StrView existing = GetExistingInstallationDir();
    if (existing.IsEmpty()) {
        return;
    }
    Vec<ProcessRef> users(GetTempArena());
    ProcessesUsingDir(existing, kPairsInUseByInstallation, &users);
    for (int32_t i = 0; i < users.len; i++) {
        out->Append(str::Format(out->arena, "%s (%d)", users.els[i].name.CStr(), (int)users.els[i].pid));
    }
}

bool CheckInstallUninstallPossible(HWND window, PageMessage* page, bool silent) {
    Logf("CheckInstallUninstallPossible(silent=%d)\n", (int)silent);
    TempArenaScope scope;
    Vec<StrView> blocking(GetTempArena());
    ProcessesUsingInstallation(&blocking);
    bool possible = blocking.len == 0;
    StrView message = page->Welcome();
    if (!possible) {
        StrView names = BlockingProcessesTextTemp(blocking);
        message = str::FormatTemp(GetTranslation("Close %s to continue."), names.CStr());
        if (!silent) {
            MessageBeep(MB_ICONWARNING);
        }
    }
    Logf("CheckInstallUninstallPossible: '%s'\n", message.CStr());
    uint32_t color = possible ? kMessageTextArgb : kErrorTextArgb;
    // The check runs every 10 seconds while the window waits: an unchanged page is not
    // painted again.
    bool changed = !str::Eq(page->Text(), message) || page->Color() != color;
    page->Set(message, color);
    if (changed) {
        RepaintWindow(window);
    }
    return possible;
}
