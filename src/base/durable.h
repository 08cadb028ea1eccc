#pragma once
// Writes and renames that survive a power cut. An installation that replaces a running
// product must never leave a name pointing at data the disk has not got yet: a file's bytes
// are flushed before the rename that puts it under an installed name, renames that replace
// are written through, and what the uninstall entry names is on the disk before the entry.
// Wine cannot cut power, so every such step is also reported to an observer that tests set;
// they check the order of the steps against what must come before what.
#include "base/str.h"

namespace durable {
enum class Step {
    Write,     // a file's bytes handed to the system (path)
    Flush,     // a file's bytes on the disk (path)
    Rename,    // from path onto to, replacing it, written through
    RegWrite,  // a value written under a registry key (path: the key)
    RegFlush,  // a registry key on the disk (path: the key)
};

// A test seam: sees every step that succeeded, in the order they happened; null outside tests.
using Observer = void (*)(Step step, StrView path, StrView to);
extern Observer gObserver;
void Note(Step step, StrView path, StrView to = {});

#ifdef _WIN32
// Flushes the data of an existing file to the disk.
bool Flush(StrView path);
// Moves from onto to, replacing it; returns once the rename itself is on the disk. A failure
// is left as the thread's last error, for the caller to log.
bool Replace(StrView from, StrView to);
#endif
}  // namespace durable
