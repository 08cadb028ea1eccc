#include "ui/uitask_kinds.h"

#include <string.h>

namespace uitask {
namespace {
// NUL-separated, ended by an empty name.
const char kQuietKinds[] =
    "TaskFindCountProgress\0CopyProgress\0RenderFinished\0FrameUpdateUi\0(no kind)\0Repaint\0SaveSettings\0"
    "ShowSelectedAnnot\0GoToFindMatch\0";
}  // namespace

const char* KindText(const char* kind) {
    return kind ? kind : "(no kind)";
}

bool IsQuietKind(const char* kindText) {
    for (const char* k = kQuietKinds; *k; k += strlen(k) + 1) {
        if (strcmp(k, kindText) == 0) {
            return true;
        }
    }
    return false;
}

double QueueTimeMs(int64_t enqueued, int64_t now, int64_t frequency) {
    if (frequency <= 0) {
        return 0;
    }
    return (double)(now - enqueued) * 1000.0 / (double)frequency;
}
}  // namespace uitask
