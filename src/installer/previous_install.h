#pragma once
// What an earlier installation left behind, and the rules for the installation directory:
// where a new installation goes and whether writing there needs elevation.
#include "base/str.h"
#include "integration/uninstall.h"

// Which uninstall keys name the earlier installation; the log shows the number ("typ").
enum class PrevInstallKeys { None = 0, UserOnly = 1, MachineOnly = 2, MachineAndUser = 3 };

struct PreviousInstallInfo {
    // What the earlier installation chose: its folder (empty when none), the choices its
    // entry recorded (an older entry lacks some: it has the shell extensions found
    // registered, and no Office add-in), and all users for its own all-users key or a
    // folder under Program Files ("needsElevation" and "prevAllUsers" in the log).
    InstallChoices choices;
    PrevInstallKeys keys = PrevInstallKeys::None;
    // The shell extensions registered when the run started, in either root and whoever
    // registered them, with or without an earlier installation: what the window shows, and
    // what the installation takes away to replace their files. Read once, before any is touched.
    ChoiceSet registered;
    // The folder its first installation created its directory from, as its entry recorded it.
    StrView createdFolder;
    // Its version, as its entry records it ("DisplayVersion").
    StrView version;
};

inline bool HasPreviousInstall(const PreviousInstallInfo& info) {
    return info.keys != PrevInstallKeys::None;
}

// A stored "InstallLocation" may name the executable itself (any letter case of ".exe"):
// its directory is meant.
StrView InstallDirFromLocationTemp(StrView location);

// What the elevation rule needs to know about a directory; the system answers in the
// program, tests answer with tables.
struct DirProbe {
    bool (*isUnderProgramFiles)(StrView path);
    bool (*canWrite)(StrView path);
};

// In this order: all users, or under Program Files, need it; an elevated process does not;
// otherwise it is needed when the directory cannot be written. The write test (which
// creates a file) runs only when the answer depends on it.
bool NeedsElevation(StrView path, bool allUsers, bool isElevated, const DirProbe& probe);

// Calls fn on the path and then on each parent directory until fn returns true; the walk
// stops when a parent is empty or not shorter. The directory fn accepted, or empty.
StrView FindSelfOrAncestorTemp(StrView path, bool (*fn)(StrView dir, void* ctx), void* ctx);

#ifdef _WIN32
// Cached for the process after the first non-empty result.
StrView GetExistingInstallationDir();
// Tests describe several earlier installations in one process; the program never forgets.
void ForgetExistingInstallationDir();
void GetPreviousInstallInfo(PreviousInstallInfo* info);
// The earlier installation's folder when there is one and it is not to be ignored, else the
// default folder for the scope.
StrView GetDefaultInstallationDir(StrView earlierDir, bool forAllUsers, bool ignorePrev);
bool IsUnderProgramFiles(StrView path);
bool CanWriteToDirectory(StrView path);
// NeedsElevation with the system's answers.
bool NeedsElevation(StrView path, bool allUsers, bool isElevated);
// The all-users check box changed: the directory becomes the default for the new choice,
// whatever the earlier installation used.
void ForAllUsersStateChanged(InstallChoices* choices, bool allUsers);
#endif
