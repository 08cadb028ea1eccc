// Host side of the file helpers, for the host tools and the native tests.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/arena.h"
#include "base/file.h"

namespace {
// Host paths may use either separator; the system wants '/'.
const char* NativePathTemp(StrView p) {
    StrView copy = str::DupTemp(p);
    char* s = (char*)copy.s;
    for (int32_t i = 0; i < copy.len; i++) {
        if (s[i] == '\\') s[i] = '/';
    }
    return copy.CStr();
}
}  // namespace

namespace file {
bool Exists(StrView path) {
    struct stat st;
    return stat(NativePathTemp(path), &st) == 0 && S_ISREG(st.st_mode);
}

bool WriteFile(StrView path, StrView data) {
    FILE* f = fopen(NativePathTemp(path), "wb");
    if (!f) {
        return false;
    }
    bool ok = fwrite(data.s, 1, (size_t)data.len, f) == (size_t)data.len;
    ok = fclose(f) == 0 && ok;
    return ok;
}

StrView ReadFile(StrView path, Arena* a, bool* ok) {
    *ok = false;
    FILE* f = fopen(NativePathTemp(path), "rb");
    if (!f) {
        return {};
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_size > 0x7FFFFFFE) {
        fclose(f);
        return {};
    }
    size_t size = (size_t)st.st_size;
    char* p = (char*)(a ? ArenaAlloc(a, size + 1) : malloc(size + 1));
    if (!p) {
        fclose(f);
        return {};
    }
    size_t got = fread(p, 1, size, f);
    fclose(f);
    p[got] = 0;
    *ok = got == size;
    return {p, (int32_t)got};
}

bool Delete(StrView path) {
    return unlink(NativePathTemp(path)) == 0 || errno == ENOENT;
}
}  // namespace file

namespace dir {
bool Exists(StrView path) {
    struct stat st;
    return stat(NativePathTemp(path), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateOne(StrView path) {
    return mkdir(NativePathTemp(path), 0777) == 0 || errno == EEXIST;
}
}  // namespace dir
