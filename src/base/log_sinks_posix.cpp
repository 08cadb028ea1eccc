// Host side of the log sinks: the file sink is real, there is no debugger output or
// logger pipe to talk to.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/log_sinks.h"

namespace logsink {
namespace {
bool WriteAll(int fd, const char* s, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, s, n);
        if (w <= 0) {
            return false;
        }
        s += w;
        n -= (size_t)w;
    }
    return true;
}

// The file of the run this one continues, when it is a plain file with no other name.
int OpenPlainFileToAppend(StrView path) {
    int fd = open(path.CStr(), O_WRONLY | O_APPEND | O_NOFOLLOW);
    struct stat st{};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)) {
        close(fd);
        fd = -1;
    }
    return fd;
}
}  // namespace

void ToDebugger(StrView) {}

void* CreateLogFile(StrView path, bool keepEarlier, StrView* why) {
    StrView name = str::DupTemp(path);
    int earlier = keepEarlier ? OpenPlainFileToAppend(name) : -1;
    if (earlier >= 0) {
        return (void*)(intptr_t)(earlier + 1);
    }
    StrView made = str::FormatTemp("%s.%d.new", name.CStr(), (int)getpid());
    int fd = open(made.CStr(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW, 0644);
    if (fd < 0) {
        *why = str::FormatTemp("creating '%s' failed (errno=%d)", made.CStr(), errno);
        return nullptr;
    }
    // rename replaces the name itself, never what a link there points to.
    if (rename(made.CStr(), name.CStr()) != 0) {
        *why = str::FormatTemp("replacing '%s' failed (errno=%d)", name.CStr(), errno);
        close(fd);
        unlink(made.CStr());
        return nullptr;
    }
    return (void*)(intptr_t)(fd + 1);
}

bool WriteLogFile(void* file, StrView text) {
    return WriteAll((int)(intptr_t)file - 1, text.s, (size_t)text.len);
}

void CloseLogFile(void* file) {
    close((int)(intptr_t)file - 1);
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
