// Host side of the log sinks: the file sink is real, there is no debugger output or
// logger pipe to talk to.
#include <stdio.h>
#include <stdlib.h>

#include "base/log_sinks.h"

namespace logsink {
void ToDebugger(StrView) {}

void AppendToFile(StrView path, StrView text) {
    FILE* f = fopen(path.CStr(), "ab");
    if (!f) {
        return;
    }
    fwrite(text.s, 1, (size_t)text.len, f);
    fflush(f);
    fclose(f);
}

void* OpenPipe() {
    return nullptr;
}

bool WritePipe(void*, StrView) {
    return false;
}

void ClosePipe(void*) {}

StrView TempDirTemp() {
    const char* dir = getenv("TMPDIR");
    return str::FormatTemp("%s/", dir && *dir ? dir : "/tmp");
}
}  // namespace logsink
