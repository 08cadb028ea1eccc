#include "base/net_cache.h"

#include <stdlib.h>

#include "base/arena.h"
#include "base/file.h"

namespace netcache {

AttrCache::~AttrCache() {
    for (int32_t i = 0; i < count_; i++) {
        free(entries_[i].path);
    }
    free(entries_);
}

bool AttrCache::Lookup(StrView path, uint64_t now, bool* ok, FileAttrData* data) {
    for (int32_t i = 0; i < count_; i++) {
        Entry& e = entries_[i];
        if (!e.path || !str::EqI(path, e.path)) {
            continue;
        }
        if (now - e.time > kAttrValidMs) {
            free(e.path);
            e.path = nullptr;
            return false;
        }
        *ok = e.ok;
        *data = e.data;
        return true;
    }
    return false;
}

void AttrCache::Store(StrView path, bool ok, const FileAttrData& data, uint64_t now) {
    Entry* slot = nullptr;
    Entry* freeSlot = nullptr;
    Entry* oldest = nullptr;
    for (int32_t i = 0; i < count_ && !slot; i++) {
        Entry& e = entries_[i];
        if (!e.path) {
            freeSlot = freeSlot ? freeSlot : &e;
        } else if (str::EqI(path, e.path)) {
            slot = &e;
        } else if (!oldest || e.time < oldest->time) {
            oldest = &e;
        }
    }
    if (!slot) {
        slot = freeSlot;
    }
    if (!slot && count_ < kAttrCacheMax) {
        if (!entries_) {
            entries_ = (Entry*)calloc(kAttrCacheMax, sizeof(Entry));
            if (!entries_) {
                return;
            }
        }
        slot = &entries_[count_++];
    }
    if (!slot) {
        slot = oldest;
    }
    if (!slot->path || !str::Eq(path, slot->path)) {
        char* copy = (char*)malloc((size_t)path.len + 1);
        if (!copy) {
            return;
        }
        memcpy(copy, path.s, (size_t)path.len);
        copy[path.len] = 0;
        free(slot->path);
        slot->path = copy;
    }
    slot->ok = ok;
    slot->data = data;
    slot->time = now;
}

RootList::~RootList() {
    free(entries_);
}

bool RootList::Find(StrView root, uint64_t now, bool* reachable) {
    int32_t kept = 0;
    for (int32_t i = 0; i < count_; i++) {
        if (now - entries_[i].time <= kRootValidMs) {
            entries_[kept++] = entries_[i];
        }
    }
    count_ = kept;
    for (int32_t i = 0; i < count_; i++) {
        if (str::EqI(root, entries_[i].root)) {
            *reachable = entries_[i].reachable;
            return true;
        }
    }
    return false;
}

void RootList::Record(StrView root, bool reachable, uint64_t now) {
    if (root.IsEmpty() || root.len > kMaxRootLen) {
        return;
    }
    for (int32_t i = 0; i < count_; i++) {
        if (str::EqI(root, entries_[i].root)) {
            memmove(entries_ + i, entries_ + i + 1, sizeof(Entry) * (size_t)(count_ - i - 1));
            count_--;
            break;
        }
    }
    if (count_ == cap_) {
        int32_t newCap = cap_ ? cap_ * 2 : 8;
        Entry* grown = (Entry*)realloc(entries_, sizeof(Entry) * (size_t)newCap);
        if (!grown) {
            return;
        }
        entries_ = grown;
        cap_ = newCap;
    }
    memmove(entries_ + 1, entries_, sizeof(Entry) * (size_t)count_);
    Entry& e = entries_[0];
    memcpy(e.root, root.s, (size_t)root.len);
    e.root[root.len] = 0;
    e.reachable = reachable;
    e.time = now;
    count_++;
}

namespace {
int DriveIndex(char letter) {
    if (letter >= 'a' && letter <= 'z') {
        letter = (char)(letter - 32);
    }
    return (letter >= 'A' && letter <= 'Z') ? letter - 'A' : -1;
}
}  // namespace

bool DriveTypeCache::Lookup(char letter, uint64_t now, uint32_t* type) const {
    int i = DriveIndex(letter);
    if (i < 0 || !drives_[i].known || now - drives_[i].time > kDriveTypeValidMs) {
        return false;
    }
    *type = drives_[i].type;
    return true;
}

void DriveTypeCache::Record(char letter, uint32_t type, uint64_t now) {
    int i = DriveIndex(letter);
    if (i < 0) {
        return;
    }
    drives_[i].known = true;
    drives_[i].type = type;
    drives_[i].time = now;
}

}  // namespace netcache

namespace path {

namespace {
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Server and share of "server\share[\...]"; both must be non-empty.
StrView UncRootTemp(StrView rest) {
    int32_t i = 0;
    while (i < rest.len && !IsSep(rest.s[i])) i++;
    int32_t serverEnd = i;
    if (serverEnd == 0 || i >= rest.len) {
        return {};
    }
    i++;
    int32_t shareStart = i;
    while (i < rest.len && !IsSep(rest.s[i])) i++;
    if (i == shareStart) {
        return {};
    }
    StrView root = str::FormatTemp("\\\\%.*s\\%.*s", (int)serverEnd, rest.s, (int)(i - shareStart),
                                   rest.s + shareStart);
    return root.len <= netcache::kMaxRootLen ? root : StrView();
}
}  // namespace

Location GetLocationTemp(StrView p) {
    Location loc;
    if (p.len >= 4 && IsSep(p.s[0]) && IsSep(p.s[1]) && p.s[2] == '?' && IsSep(p.s[3])) {
        StrView rest(p.s + 4, p.len - 4);
        if (str::StartsWithI(rest, "UNC") && rest.len > 3 && IsSep(rest.s[3])) {
            loc.unc = true;
            loc.uncRoot = UncRootTemp(StrView(rest.s + 4, rest.len - 4));
            return loc;
        }
        p = rest;
    }
    if (p.len >= 2 && IsSep(p.s[0]) && IsSep(p.s[1])) {
        if (p.len >= 3 && (p.s[2] == '.' || p.s[2] == '?') && (p.len == 3 || IsSep(p.s[3]))) {
            return loc;  // a device path
        }
        loc.unc = true;
        loc.uncRoot = UncRootTemp(StrView(p.s + 2, p.len - 2));
        return loc;
    }
    if (p.len >= 2 && IsLetter(p.s[0]) && p.s[1] == ':') {
        loc.drive = (p.s[0] >= 'a') ? (char)(p.s[0] - 32) : p.s[0];
    }
    return loc;
}

}  // namespace path
