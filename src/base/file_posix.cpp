// Host side of the file helpers, for the host tools and the native tests.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/arena.h"
#include "base/file.h"
#include "base/net_cache.h"

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

bool WriteFile(StrView path, StrView data, bool flush) {
    FILE* f = fopen(NativePathTemp(path), "wb");
    if (!f) {
        return false;
    }
    bool ok = fwrite(data.s, 1, (size_t)data.len, f) == (size_t)data.len;
    ok = ok && (!flush || (fflush(f) == 0 && fsync(fileno(f)) == 0));
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
    char* p = (char*)(a ? ArenaAlloc(a, size + 2) : malloc(size + 2));
    if (!p) {
        fclose(f);
        return {};
    }
    size_t got = fread(p, 1, size, f);
    fclose(f);
    p[got] = 0;
    p[got + 1] = 0;
    *ok = got == size;
    return {p, (int32_t)got};
}

bool Delete(StrView path) {
    if (path.IsEmpty()) {
        return false;
    }
    return unlink(NativePathTemp(path)) == 0 || errno == ENOENT;
}

// Host tools see only local files: no network caches here. Attributes are reduced to
// the directory and read-only bits.
bool GetAttributeData(StrView path, FileAttrData* data) {
    *data = FileAttrData();
    struct stat st;
    if (path.IsEmpty() || stat(NativePathTemp(path), &st) != 0) {
        return false;
    }
    data->attrs = (S_ISDIR(st.st_mode) ? dir::kAttrDirectory : 0x80) | ((st.st_mode & 0200) ? 0 : 0x1);
    data->size = (uint64_t)st.st_size;
    data->lastWriteTime = (uint64_t)st.st_mtime;
    data->lastAccessTime = (uint64_t)st.st_atime;
    data->creationTime = (uint64_t)st.st_ctime;
    return true;
}

uint32_t GetAttributes(StrView path) {
    FileAttrData data;
    return GetAttributeData(path, &data) ? data.attrs : kInvalidFileAttributes;
}

int64_t GetSize(StrView path) {
    struct stat st;
    if (path.IsEmpty() || stat(NativePathTemp(path), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return (int64_t)st.st_size;
}

bool Copy(StrView src, StrView dst) {
    if (Exists(dst)) {
        errno = EEXIST;
        return false;
    }
    bool ok = false;
    StrView data = ReadFile(src, nullptr, &ok);
    ok = ok && WriteFile(dst, data);
    free((void*)data.s);
    return ok;
}
}  // namespace file

void ClearReadOnly(StrView path) {
    struct stat st;
    const char* p = NativePathTemp(path);
    if (stat(p, &st) == 0 && !(st.st_mode & 0200)) {
        chmod(p, st.st_mode | 0200);
    }
}

namespace dir {
bool Exists(StrView path) {
    struct stat st;
    return stat(NativePathTemp(path), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateOne(StrView path) {
    return mkdir(NativePathTemp(path), 0777) == 0 || errno == EEXIST;
}
}  // namespace dir

namespace dir {
Walk::~Walk() {
    if (find_) {
        closedir((DIR*)find_);
    }
    free(current_);
    DropPending();
}

bool Walk::OpenNext() {
    if (!PopDirectory()) {
        return false;
    }
    find_ = opendir(NativePathTemp(current_));
    if (!find_) {
        DropPending();
        return false;
    }
    return true;
}

bool Walk::Next(WalkEntry* e) {
    for (;;) {
        if (!find_ && !OpenNext()) {
            return false;
        }
        dirent* de = readdir((DIR*)find_);
        if (!de) {
            closedir((DIR*)find_);
            find_ = nullptr;
            continue;
        }
        StrView name = str::DupTemp(de->d_name);
        if (str::Eq(name, ".") || str::Eq(name, "..")) {
            continue;
        }
        StrView full = path::JoinTemp(current_, name);
        struct stat st;
        if (lstat(NativePathTemp(full), &st) != 0) {
            continue;
        }
        bool isDir = S_ISDIR(st.st_mode);
        bool isFile = S_ISREG(st.st_mode);
        if (isDir && recurse_) {
            Push(full);
        }
        if ((isFile && files_) || (isDir && dirs_)) {
            e->name = name;
            e->path = full;
            e->size = (int64_t)st.st_size;
            e->lastAccessTime = (uint64_t)st.st_atime;
            e->lastWriteTime = (uint64_t)st.st_mtime;
            e->isFile = isFile;
            e->isDir = isDir;
            return true;
        }
    }
}
}  // namespace dir

namespace path {
bool IsSameFile(StrView a, StrView b, SameFileNames names) {
    int byName = CompareNamesForSameFile(a, b, names);
    if (byName != 0) {
        return byName > 0;
    }
    struct stat sa, sb;
    if (stat(NativePathTemp(a), &sa) == 0 && stat(NativePathTemp(b), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    return str::EqI(NormalizeTemp(a), NormalizeTemp(b));
}

StrView NormalizeTemp(StrView p) {
    char* real = realpath(NativePathTemp(p), nullptr);
    if (!real) {
        return str::DupTemp(p);
    }
    StrView res = str::DupTemp(real);
    free(real);
    return res;
}
}  // namespace path
