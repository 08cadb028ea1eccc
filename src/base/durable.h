#pragma once
// Writes and renames that survive a power cut. An installation that replaces a running
// product must never leave a name pointing at data the disk has not got yet: a file's bytes
// are flushed before the rename that puts it under an installed name, renames that replace
// are written through, and what the uninstall entry names is on the disk before the entry.
// Wine cannot cut power, so every such step is also reported to an observer that tests set;
// they check the order of the steps against what must come before what.
#include <stdint.h>

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

// Files flushed by other threads while the writing thread goes on with the next ones: a
// flush waits for the disk, not for the processor, and one after each file of a
// many-file installation is most of what each file costs. Only for files written into
// names that were free: nothing may be renamed or registered before Finish has returned
// true, so the order of a power cut's rules is kept at every step that depends on it.
// The observer sees each Flush from a flushing thread, one at a time.
class FlushQueue {
  public:
    // Files waiting at most: each holds an open handle.
    static constexpr int32_t kMaxPending = 64;

    FlushQueue() = default;
    FlushQueue(const FlushQueue&) = delete;
    FlushQueue& operator=(const FlushQueue&) = delete;
    ~FlushQueue();

    // Starts up to `threads` flushing threads; without any, Add flushes on the caller's thread.
    void Start(int32_t threads);
    // Takes over the open file (a HANDLE with write access) written at path: it is flushed,
    // then closed. Waits while kMaxPending files are waiting.
    void Add(void* file, StrView path);
    // Waits until every file handed over is flushed and closed. False when a flush failed:
    // *failedPath (temporary arena) and *error are the first failure's.
    bool Finish(StrView* failedPath, uint32_t* error);

  private:
    struct State;
    static void Work(void* arg);
    void FlushOne(void* file, char* path);
    State* state_ = nullptr;
};
// Moves from onto to, replacing it; returns once the rename itself is on the disk. A failure
// is left as the thread's last error, for the caller to log.
bool Replace(StrView from, StrView to);
#endif
}  // namespace durable
