#pragma once
// The product's entry in the platform's list of installed programs. The same key keeps the
// installation choices that the next installation reads back.
#include <stdint.h>

#include "base/install_choices.h"
#include "base/str.h"
#include "base/vec.h"
#include "integration/reg_value.h"

constexpr const char* kPublisher = "Quenmoor Network Technology Co., Ltd.";
// The platform's list of installed programs, and the product's entry in it.
constexpr const char* kUninstallListKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kUninstallRegKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf";
constexpr const char* kProductRegKey = "Software\\vlpdf";
// DWORD values 1 in the uninstall key while an installation has the earlier installation's
// search filter or previewer unregistered to replace their files; gone once that
// installation ends. A run after one that was killed takes them as still registered.
constexpr const char* kPendingSearchFilterValue = "PendingSearchFilter";
constexpr const char* kPendingPreviewerValue = "PendingPreviewer";
// The highest folder above its directory that the installation created on the way to it,
// for the uninstaller to take away the empty folders there that nobody else made. Absent when
// the directory's parent was there before.
constexpr const char* kCreatedFolderValue = "CreatedFolder";
// The installed version, which a patch checks before it updates the installation.
constexpr const char* kDisplayVersionValue = "DisplayVersion";

// "\"<exe>\" -uninstall", plus " -all-users" for an all-users installation.
StrView UninstallStringTemp(StrView exePath, bool allUsers);
// The uninstall string followed by " -silent".
StrView QuietUninstallStringTemp(StrView uninstallString);
// Kilobytes of a byte total; totals past what 32 bits of kilobytes hold report the maximum
// rather than wrapping to a small number.
uint32_t EstimatedSizeKb(uint64_t bytes);

// The uninstall entry records every choice, each a DWORD value 1 or 0 named by the choice
// table's `recorded` column, for the next installation to read back: the values, in the
// order they are written.
void BuildRecordedChoiceValues(const InstallChoices& choices, Vec<RegValue>* out);

struct UninstallEntryInputs {
    StrView installDir;
    bool allUsers = false;
    uint64_t dirSizeBytes = 0;
    int year = 0, month = 0, day = 0;  // UTC
    // Platforms before major version 6 show no version column: the name carries it.
    bool nameWithVersion = false;
    StrView createdFolder;  // written last when not empty
};

// The values of the uninstall key, in the order they are written.
void BuildUninstallValues(const UninstallEntryInputs& in, Vec<RegValue>* out);

#ifdef _WIN32
#include <windows.h>
// Writing the entry and taking it away are the registration table's (the UninstallEntry piece).
// The entry's key flushed to the disk; the failure logged.
bool FlushUninstallEntry(HKEY root);
// The entry alone, without the product key (which an upgrade took already): an earlier
// installation's, once the new entry is written. Absent is success.
bool RemoveUninstallEntry(HKEY root);
// Reads the recorded choices of the entry under root into out, as the choice table's
// `read` column says (an older entry lacks some values).
void ReadRecordedChoices(HKEY root, InstallChoices* out);
// Bytes of the files directly in dir (subdirectories are not entered).
uint64_t GetDirSize(StrView dir);
#endif
