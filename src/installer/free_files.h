#pragma once
// Freeing an installation's files before they are replaced: the shell extensions that
// Explorer and the indexer load are unregistered (and put back if the installation fails),
// the watcher is stopped and every process using the installation is ended.
#include "base/install_choices.h"
#include "base/str.h"
#include "base/vec.h"
#include "installer/installer_message.h"

#ifdef _WIN32
#include <windows.h>

// registered: the shell extensions registered when the run started (the earlier
// installation's record). unregistered, when not null, is given what was undone: the shell
// extensions that were on, the scope and the folder, so that a failed installation can put
// them back.
void FreeInstallationFilesInUse(StrView dir, bool allUsers, ChoiceSet registered, InstallChoices* unregistered);
void RestoreShellExtensions(const InstallChoices& unregistered);
// Appends to out, as "name (pid)" in out's arena, the processes that use the existing
// installation's reader, its libraries or its shell extensions.
void ProcessesUsingInstallation(Vec<StrView>* out);
// Names the programs that still use the existing installation in the window's message
// ("Close ... to continue.") or shows the welcome text again; true when there is none.
// Nothing is ended here: the person may still have work open in them, and the
// installation ends them only once Install is pressed.
bool CheckInstallUninstallPossible(HWND window, PageMessage* page, bool silent);
#endif
