#include "base/vec.h"

#include <stdlib.h>

#include "base/arena.h"

static int32_t FirstCapacity(int elSize) {
    if (elSize == 1) {
        return 8;
    }
    return elSize <= 1024 ? 4 : 1;
}

bool VecGrow(void** els, int32_t len, int32_t* cap, int elSize, Arena* arena, int64_t needed) {
    bool owned = *cap > 0;
    int64_t curCap = owned ? *cap : -(int64_t)*cap;
    if (*els && curCap >= needed) {
        return true;
    }
    if (elSize <= 0) {
        return false;
    }
    int64_t newCap = curCap != 0 ? curCap * 2 : FirstCapacity(elSize);
    if (newCap < needed) {
        newCap = needed;
    }
    if (newCap > kVecMaxCap) {
        return false;
    }
    int64_t bytes = (newCap + 1) * (int64_t)elSize;
    if (bytes > 0x7FFFFFFF) {
        return false;
    }
    size_t oldBytes = (size_t)len * (size_t)elSize;
    void* mem;
    if (arena) {
        mem = ArenaAlloc(arena, (size_t)bytes, false);
        if (mem && oldBytes) {
            memcpy(mem, *els, oldBytes);
        }
    } else if (owned) {
        mem = realloc(*els, (size_t)bytes);
    } else {
        mem = malloc((size_t)bytes);
        if (mem && oldBytes) {
            memcpy(mem, *els, oldBytes);
        }
    }
    if (!mem) {
        return false;
    }
    memset((char*)mem + oldBytes, 0, (size_t)bytes - oldBytes);
    *els = mem;
    *cap = (int32_t)newCap;
    return true;
}

void VecFreeStorage(void* els, int32_t cap, Arena* arena) {
    if (cap > 0 && !arena) {
        free(els);
    }
}
