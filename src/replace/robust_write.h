#pragma once
// Writing one installation file so that it is replaced whenever that is possible at all:
// directly, else through a temporary file moved over it, terminating the processes that
// have it loaded and deleting the old file between attempts. A full disk ends it at once.
#include <stdint.h>

#include "base/str.h"

namespace durable {
class FlushQueue;
}

// How a robust write ended. After a failure, error is the system error of its latest
// failed step (0 when only size checks failed): the caller tells a full disk (112, 39) from
// other failures by it and words the person's message accordingly. 0 after a success.
struct RobustWriteResult {
    bool ok = false;
    uint32_t error = 0;
};

RobustWriteResult WriteInstallerFileRobust(StrView path, const char* data, int32_t size);

// A file the installation knows to be new, in a folder that exists: written as the robust
// writer's first attempt writes a free name, but created only if the name is still free,
// with no lookups around it, and flushed by the queue instead of before the next file. Logs
// what the robust writer would log for it. False when it did nothing (the name is taken, or
// the write did not succeed whole, which it then undoes): the caller writes the file with
// WriteInstallerFileRobust, after draining the queue.
bool WriteNewInstallerFile(StrView path, const char* data, int32_t size, durable::FlushQueue* flushes);
