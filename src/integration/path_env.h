#pragma once
// The installation directory on the user's or the machine's PATH.
#include "base/str.h"

constexpr const char* kMachineEnvKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr const char* kUserEnvKey = "Environment";

// The new PATH value with dir appended, or empty when an element already equals dir
// ignoring case. Elements are compared as written: no expansion of %VAR% references and no
// trimming of a trailing backslash, so "C:\D\" is not "C:\D".
StrView PathWithDirTemp(StrView oldValue, StrView dir);
// The PATH value without the elements that equal dir (compared as PathWithDirTemp compares);
// the other elements keep their order and their separators. *found tells whether one went.
StrView PathWithoutDirTemp(StrView oldValue, StrView dir, bool* found);

#ifdef _WIN32
// Never creates the environment key; tells running programs when PATH changed.
void AddInstallDirToPath(bool allUsers, StrView installDir);
// Takes the directory off PATH again; a value that only held it is deleted.
void RemoveInstallDirFromPath(bool allUsers, StrView installDir);
#endif
