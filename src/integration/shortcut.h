#pragma once
// Start-menu and desktop shortcuts of the installed reader.
#include "base/str.h"
#include "base/vec.h"

// The shell folders that get a shortcut, in order: all users desktop (25) and programs (23),
// or the user's desktop (0) and programs (2); desktops only when wanted.
void ShortcutFoldersToCreate(bool allUsers, bool withDesktop, Vec<int>* csidls);
// Every folder an earlier installation may have used, in the order they are cleaned
// (three passes; repeats are harmless).
extern const int kShortcutFoldersToRemove[11];

#ifdef _WIN32
// The folder joined with "VeloraPDF.lnk"; empty when the folder cannot be resolved.
StrView GetShortcutPathTemp(int csidl);
void CreateAppShortcuts(bool allUsers, bool withDesktop, StrView exePath);
void RemoveAppShortcuts();
void RemoveShortcutFile(int csidl);
// Initialises COM for its own duration. Arguments and description only when not empty.
bool CreateShortcut(StrView shortcutPath, StrView targetPath, StrView args, StrView description);
// The target of a .lnk file; empty on any failure. Needs COM initialised by the caller.
StrView ResolveShortcutTemp(StrView lnkPath);
#endif
