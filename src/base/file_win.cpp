#include <windows.h>

#include <mutex>

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"
#include "base/file_win.h"
#include "base/log.h"
#include "base/log_system.h"
#include "base/net_cache.h"
#include "base/clock.h"
#include "base/wide_win.h"

namespace {
uint64_t Join64(DWORD hi, DWORD lo) {
    return ((uint64_t)hi << 32) | lo;
}

uint64_t FileTime64(const FILETIME& ft) {
    return Join64(ft.dwHighDateTime, ft.dwLowDateTime);
}

// The attribute cache and the root list share this lock; the drive types have their own.
// Neither is held while the system is asked about a root or a drive.
std::mutex gNetCacheLock;
netcache::AttrCache gAttrCache;
netcache::RootList gRootList;
std::mutex gDriveTypeLock;
netcache::DriveTypeCache gDriveTypes;

UINT DriveTypeOf(char letter) {
    uint64_t now = TickCountMs();
    uint32_t type = 0;
    {
        std::lock_guard<std::mutex> guard(gDriveTypeLock);
        if (gDriveTypes.Lookup(letter, now, &type)) {
            return type;
        }
    }
    WCHAR root[4] = {(WCHAR)letter, L':', L'\\', 0};
    type = GetDriveTypeW(root);
    std::lock_guard<std::mutex> guard(gDriveTypeLock);
    gDriveTypes.Record(letter, type, now);
    return type;
}

bool IsNetworkDrive(char letter) {
    return DriveTypeOf(letter) == DRIVE_REMOTE;
}

bool QueryAttributes(StrView path, FileAttrData* data) {
    WIN32_FILE_ATTRIBUTE_DATA fad{};
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &fad)) {
        return false;
    }
    data->attrs = fad.dwFileAttributes;
    data->creationTime = FileTime64(fad.ftCreationTime);
    data->lastAccessTime = FileTime64(fad.ftLastAccessTime);
    data->lastWriteTime = FileTime64(fad.ftLastWriteTime);
    data->size = Join64(fad.nFileSizeHigh, fad.nFileSizeLow);
    return true;
}

// Asks the system whether the root answers, and remembers the answer for four minutes.
bool CheckRoot(StrView root, bool isDrive) {
    StrView probe = isDrive ? str::FormatTemp("%c:\\", root.s[0]) : root;
    bool reachable = GetFileAttributesW(W(probe)) != INVALID_FILE_ATTRIBUTES;
    std::lock_guard<std::mutex> guard(gNetCacheLock);
    gRootList.Record(root, reachable, TickCountMs());
    return reachable;
}

// -1: not known, 0: unreachable, 1: reachable.
int KnownRootState(StrView root) {
    std::lock_guard<std::mutex> guard(gNetCacheLock);
    bool reachable = false;
    if (!gRootList.Find(root, TickCountMs(), &reachable)) {
        return -1;
    }
    return reachable ? 1 : 0;
}

void StoreRemote(StrView path, bool ok, const FileAttrData& data) {
    std::lock_guard<std::mutex> guard(gNetCacheLock);
    gAttrCache.Store(path, ok, data, TickCountMs());
}

void RecordRootReachable(StrView root) {
    std::lock_guard<std::mutex> guard(gNetCacheLock);
    gRootList.Record(root, true, TickCountMs());
}
}  // namespace

namespace file {
bool GetAttributeData(StrView path, FileAttrData* data) {
    TempArenaScope scope;
    *data = FileAttrData();
    path::Location loc = path::GetLocationTemp(path);
    bool remote = loc.unc || (loc.drive && IsNetworkDrive(loc.drive));

    StrView root;
    bool rootIsDrive = false;
    if (loc.unc) {
        root = loc.uncRoot;
    } else if (loc.drive) {
        UINT type = DriveTypeOf(loc.drive);
        if (type != DRIVE_FIXED && type != DRIVE_UNKNOWN) {
            root = str::FormatTemp("%c", loc.drive);
            rootIsDrive = true;
        }
    }

    if (!root.IsEmpty()) {
        int state = KnownRootState(root);
        if (state == 0) {
            SetLastError(ERROR_BAD_NETPATH);
            return false;
        }
        if (state < 0 && remote && !CheckRoot(root, rootIsDrive)) {
            SetLastError(ERROR_BAD_NETPATH);
            return false;
        }
    }

    if (remote) {
        std::lock_guard<std::mutex> guard(gNetCacheLock);
        bool ok = false;
        if (gAttrCache.Lookup(path, TickCountMs(), &ok, data)) {
            if (!ok) {
                SetLastError(ERROR_FILE_NOT_FOUND);
            }
            return ok;
        }
    }

    if (QueryAttributes(path, data)) {
        if (!root.IsEmpty()) {
            RecordRootReachable(root);
        }
        if (remote) {
            StoreRemote(path, true, *data);
        }
        return true;
    }
    DWORD err = GetLastError();
    if (!root.IsEmpty() && !remote && KnownRootState(root) < 0) {
        CheckRoot(root, rootIsDrive);
    }
    if (remote) {
        StoreRemote(path, false, FileAttrData());
    }
    SetLastError(err);
    return false;
}

uint32_t GetAttributes(StrView path) {
    FileAttrData data;
    return GetAttributeData(path, &data) ? data.attrs : kInvalidFileAttributes;
}

bool Exists(StrView path) {
    uint32_t attrs = GetAttributes(path);
    return attrs != kInvalidFileAttributes && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t GetSize(StrView path) {
    if (path.IsEmpty()) {
        return -1;
    }
    FileAttrData data;
    if (!GetAttributeData(path, &data)) {
        TempArenaScope scope;
        WIN32_FILE_ATTRIBUTE_DATA fad{};
        if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &fad)) {
            return -1;
        }
        data.attrs = fad.dwFileAttributes;
        data.size = Join64(fad.nFileSizeHigh, fad.nFileSizeLow);
    }
    if (data.attrs & FILE_ATTRIBUTE_DIRECTORY) {
        return -1;
    }
    return (int64_t)data.size;
}

bool WriteFile(StrView path, StrView data, bool flush) {
    TempArenaScope scope;
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        Logf("file::WriteFile: CreateFileW failed for '%s' lastError=%u\n", str::DupTemp(path).CStr(), (unsigned)err);
        SetLastError(err);
        return false;
    }
    // Windows writes a disk file in one call or fails. Wine reports a short write as a
    // success when the disk fills up; writing the rest then fails with the real error.
    DWORD total = 0;
    BOOL ok = TRUE;
    DWORD err = 0;
    while (ok && total < (DWORD)data.len) {
        DWORD written = 0;
        ok = ::WriteFile(h, data.s + total, (DWORD)data.len - total, &written, nullptr);
        err = ok ? 0 : GetLastError();
        total += written;
        if (ok && written == 0) {
            break;
        }
    }
    if (!ok || total != (DWORD)data.len) {
        Logf("file::WriteFile: WriteFile failed for '%s' ok=%d wrote=%u want=%zu lastError=%u\n",
             str::DupTemp(path).CStr(), (int)ok, (unsigned)total, (size_t)data.len, (unsigned)err);
        CloseHandle(h);
        SetLastError(err);
        return false;
    }
    durable::Note(durable::Step::Write, path);
    if (flush && !FlushFileBuffers(h)) {
        err = GetLastError();
        Logf("file::WriteFile: FlushFileBuffers failed for '%s' lastError=%u\n", str::DupTemp(path).CStr(),
             (unsigned)err);
        CloseHandle(h);
        SetLastError(err);
        return false;
    }
    if (flush) {
        durable::Note(durable::Step::Flush, path);
    }
    CloseHandle(h);
    SetLastError(0);
    return true;
}

StrView ReadFile(StrView path, Arena* a, bool* ok) {
    *ok = false;
    HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return {};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size) || size.QuadPart > 0x7FFFFFFE) {
        CloseHandle(h);
        return {};
    }
    DWORD n = (DWORD)size.QuadPart;
    char* p = (char*)(a ? ArenaAlloc(a, (size_t)n + 2) : malloc((size_t)n + 2));
    DWORD got = 0;
    BOOL readOk = p && ::ReadFile(h, p, n, &got, nullptr);
    CloseHandle(h);
    if (!p) {
        return {};
    }
    p[got] = 0;
    p[got + 1] = 0;
    *ok = readOk && got == n;
    return {p, (int32_t)got};
}

bool Delete(StrView path) {
    if (path.IsEmpty()) {
        return false;
    }
    if (DeleteFileW(W(path))) {
        return true;
    }
    DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
        return true;
    }
    LogLastError(err);
    SetLastError(err);
    return false;
}

bool Copy(StrView src, StrView dst) {
    TempArenaScope scope;
    if (CopyFileW(W(src), W(dst), TRUE)) {
        return true;
    }
    DWORD err = GetLastError();
    LogLastError(err);
    SetLastError(err);
    return false;
}
}  // namespace file

void ClearReadOnly(StrView path) {
    uint32_t attrs = file::GetAttributes(path);
    if (attrs == kInvalidFileAttributes || !(attrs & FILE_ATTRIBUTE_READONLY)) {
        return;
    }
    TempArenaScope scope;
    Logf("  clearing READONLY on '%s'\n", str::DupTemp(path).CStr());
    SetFileAttributesW(W(path), attrs & ~(DWORD)FILE_ATTRIBUTE_READONLY);
    // A cached network answer would still show the bit.
    path::Location loc = path::GetLocationTemp(path);
    FileAttrData data;
    if ((loc.unc || (loc.drive && IsNetworkDrive(loc.drive))) && QueryAttributes(path, &data)) {
        StoreRemote(path, true, data);
    }
}

namespace dir {
bool Exists(StrView path) {
    uint32_t attrs = file::GetAttributes(path);
    return attrs != kInvalidFileAttributes && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateOne(StrView path) {
    return CreateDirectoryW(W(path), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

Walk::~Walk() {
    if (find_) {
        FindClose((HANDLE)find_);
    }
    free(current_);
    free(data_);
    DropPending();
}

// Lists the most recently pushed directory; its first entry waits in data_.
bool Walk::OpenNext() {
    if (!PopDirectory()) {
        return false;
    }
    if (!data_) {
        data_ = malloc(sizeof(WIN32_FIND_DATAW));
        if (!data_) {
            return false;
        }
    }
    HANDLE h = FindFirstFileW(W(path::JoinTemp(current_, "*")), (WIN32_FIND_DATAW*)data_);
    if (h == INVALID_HANDLE_VALUE) {
        DropPending();
        return false;
    }
    find_ = h;
    first_ = true;
    return true;
}

bool Walk::Next(WalkEntry* e) {
    for (;;) {
        if (!find_ && !OpenNext()) {
            return false;
        }
        WIN32_FIND_DATAW& fd = *(WIN32_FIND_DATAW*)data_;
        if (first_) {
            first_ = false;
        } else if (!FindNextFileW((HANDLE)find_, &fd)) {
            FindClose((HANDLE)find_);
            find_ = nullptr;
            continue;
        }
        StrView name = U(fd.cFileName);
        uint32_t attrs = fd.dwFileAttributes;
        uint32_t tag = (attrs & FILE_ATTRIBUTE_REPARSE_POINT) ? fd.dwReserved0 : 0;
        bool isFile = IsWalkFile(attrs, tag);
        bool isDir = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDir && (str::Eq(name, ".") || str::Eq(name, ".."))) {
            continue;
        }
        StrView full = path::JoinTemp(current_, name);
        if (isDir && recurse_ && !IsNameSurrogate(attrs, tag)) {
            Push(full);
        }
        if ((isFile && files_) || (isDir && dirs_)) {
            e->name = name;
            e->path = full;
            e->size = (int64_t)Join64(fd.nFileSizeHigh, fd.nFileSizeLow);
            e->lastAccessTime = FileTime64(fd.ftLastAccessTime);
            e->lastWriteTime = FileTime64(fd.ftLastWriteTime);
            e->isFile = isFile;
            e->isDir = isDir;
            return true;
        }
    }
}
}  // namespace dir

namespace path {
HANDLE OpenToQuery(StrView path) {
    TempArenaScope scope;
    return CreateFileW(W(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

namespace {
bool ReadInformation(StrView path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE h = OpenToQuery(path);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = GetFileInformationByHandle(h, info);
    CloseHandle(h);
    return ok;
}
}  // namespace

bool IsSameFile(StrView a, StrView b, SameFileNames names) {
    int byName = CompareNamesForSameFile(a, b, names);
    if (byName != 0) {
        return byName > 0;
    }
    TempArenaScope scope;
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    bool haveA = ReadInformation(a, &ia);
    bool haveB = ReadInformation(b, &ib);
    if (haveA && haveB) {
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
               ia.nFileIndexLow == ib.nFileIndexLow && ia.nFileSizeHigh == ib.nFileSizeHigh &&
               ia.nFileSizeLow == ib.nFileSizeLow && ia.dwFileAttributes == ib.dwFileAttributes &&
               ia.nNumberOfLinks == ib.nNumberOfLinks && FileTime64(ia.ftLastWriteTime) == FileTime64(ib.ftLastWriteTime) &&
               FileTime64(ia.ftCreationTime) == FileTime64(ib.ftCreationTime);
    }
    return str::EqI(NormalizeTemp(a), NormalizeTemp(b));
}

StrView NormalizeTemp(StrView p) {
    const WCHAR* in = W(p);
    DWORD n = GetFullPathNameW(in, 0, nullptr, nullptr);
    if (n == 0) {
        return str::DupTemp(p);
    }
    WCHAR* full = (WCHAR*)ArenaAlloc(GetTempArena(), (size_t)n * sizeof(WCHAR));
    DWORD got = full ? GetFullPathNameW(in, n, full, nullptr) : 0;
    if (got == 0 || got >= n) {
        return str::DupTemp(p);
    }
    StrView fullPath = U(full, got);
    bool network = GetLocationTemp(p).unc || GetLocationTemp(fullPath).unc;
    StrView longPath, shortPath;
    if (!network) {
        for (int pass = 0; pass < 2; pass++) {
            auto fn = pass == 0 ? GetLongPathNameW : GetShortPathNameW;
            DWORD need = fn(full, nullptr, 0);
            WCHAR* buf = need ? (WCHAR*)ArenaAlloc(GetTempArena(), (size_t)need * sizeof(WCHAR)) : nullptr;
            DWORD len = buf ? fn(full, buf, need) : 0;
            if (len > 0 && len < need) {
                (pass == 0 ? longPath : shortPath) = U(buf, len);
            }
        }
    }
    return ChooseNormalizedTemp(fullPath, longPath, shortPath, network);
}
}  // namespace path
