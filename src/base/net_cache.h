#pragma once
// Caches that keep the installer from stalling on network paths: a share that does not
// answer costs the system's network time-out once, and then fails at once for a while
// instead of on every lookup. The tables are plain data; the caller passes the time (a
// millisecond tick) and takes the locks, so the ageing rules are tested without a network.
#include <stdint.h>

#include "base/str.h"

// What an attribute lookup returns (the system's attribute data, in portable form).
struct FileAttrData {
    uint32_t attrs = 0xFFFFFFFF;
    uint64_t creationTime = 0;
    uint64_t lastAccessTime = 0;
    uint64_t lastWriteTime = 0;
    uint64_t size = 0;
};

namespace netcache {
constexpr int32_t kAttrCacheMax = 512;
constexpr uint64_t kAttrValidMs = 3600000;  // one hour
constexpr uint64_t kRootValidMs = 240000;   // four minutes
constexpr uint64_t kDriveTypeValidMs = 60000;
constexpr int32_t kMaxRootLen = 127;

// Results of attribute lookups on network paths, failures included.
class AttrCache {
  public:
    AttrCache() = default;
    AttrCache(const AttrCache&) = delete;
    AttrCache& operator=(const AttrCache&) = delete;
    ~AttrCache();

    // True with the stored answer when an entry for the path (letter case ignored) is at
    // most an hour old; an older entry is cleared.
    bool Lookup(StrView path, uint64_t now, bool* ok, FileAttrData* data);
    // Updates the path's entry, else takes a free slot, else grows up to 512 entries, else
    // replaces the entry with the oldest time.
    void Store(StrView path, bool ok, const FileAttrData& data, uint64_t now);
    int32_t Count() const { return count_; }

  private:
    struct Entry {
        char* path;  // heap copy; null marks a free slot
        bool ok;
        FileAttrData data;
        uint64_t time;
    };
    Entry* entries_ = nullptr;
    int32_t count_ = 0;  // slots in use or freed, never more than kAttrCacheMax
};

// Reachability of roots (drive letters, \\server\share), newest first.
class RootList {
  public:
    RootList() = default;
    RootList(const RootList&) = delete;
    RootList& operator=(const RootList&) = delete;
    ~RootList();

    // Drops entries older than four minutes, then looks the root up (letter case ignored).
    bool Find(StrView root, uint64_t now, bool* reachable);
    void Record(StrView root, bool reachable, uint64_t now);
    int32_t Count() const { return count_; }

  private:
    struct Entry {
        char root[kMaxRootLen + 1];
        bool reachable;
        uint64_t time;
    };
    Entry* entries_ = nullptr;
    int32_t count_ = 0;
    int32_t cap_ = 0;
};

// The system's type of each drive letter (network, fixed, removable...); an answer is
// reused for a minute.
class DriveTypeCache {
  public:
    bool Lookup(char letter, uint64_t now, uint32_t* type) const;
    void Record(char letter, uint32_t type, uint64_t now);

  private:
    struct Entry {
        bool known = false;
        uint32_t type = 0;
        uint64_t time = 0;
    };
    Entry drives_[26];
};
}  // namespace netcache

namespace path {
// How a path reaches its file system, from its text alone.
struct Location {
    bool unc = false;  // \\server\share\..., \\?\UNC\server\share\...
    char drive = 0;    // upper-case drive letter of "X:...", also after \\?\; 0 when none
    StrView uncRoot;   // "\\server\share" (temporary arena) when both parts are non-empty
                       // and it has at most 127 characters; else empty
};
// Device paths (\\.\...) are neither UNC nor drive paths.
Location GetLocationTemp(StrView path);
}  // namespace path
