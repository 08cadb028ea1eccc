#pragma once
// File, directory and path helpers on UTF-8 paths. Failures return false (or an empty
// view) and leave the system error for the caller to log.
#include <stdint.h>

#include "base/str.h"

namespace file {
bool Exists(StrView path);
// Creates or replaces the file with exactly these bytes.
bool WriteFile(StrView path, StrView data);
// The whole file in the arena (the heap when null); the empty view with ok=false on failure.
StrView ReadFile(StrView path, Arena* a, bool* ok);
bool Delete(StrView path);
}  // namespace file

namespace dir {
bool Exists(StrView path);
// Creates the directory and every missing parent.
bool CreateAll(StrView path);
// Creates one directory whose parent exists; an existing directory counts as success.
bool CreateOne(StrView path);
// Creates every missing directory on the way to the file.
bool CreateForFile(StrView filePath);
}  // namespace dir

namespace path {
bool IsSep(char c);
// The directory part without the trailing separator; empty for a bare name.
StrView GetDirTemp(StrView path);
StrView GetBaseName(StrView path);
// Joins with a backslash unless dir already ends in a separator.
StrView JoinTemp(StrView dir, StrView name);
}  // namespace path
