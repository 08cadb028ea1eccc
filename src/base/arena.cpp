#include "base/arena.h"

#include <string.h>

#include <mutex>
#include <new>

#include "base/vmem.h"

namespace {

// Lives in the first 256 bytes of its block; the rest of the block is handed out.
struct Block {
    Block* next;          // older block
    uint64_t basePos;     // sum of the reserved sizes of all older blocks
    size_t committed;
    size_t reserved;
    size_t fill;          // never below kArenaBlockHeaderSize
};
static_assert(sizeof(Block) <= kArenaBlockHeaderSize);

// Requests beyond this cannot be reserved anywhere; refusing them early keeps the size
// arithmetic below far from overflow.
constexpr size_t kMaxAllocSize = (size_t)1 << 46;

size_t RoundUp(size_t v, size_t to) {
    return (v + to - 1) / to * to;
}

size_t AtLeastHeader(size_t v) {
    return v < kArenaBlockHeaderSize ? kArenaBlockHeaderSize : v;
}

Block* NewBlock(size_t reserve, size_t commit, uint64_t basePos) {
    void* mem = vmem::Reserve(reserve);
    if (!mem) {
        return nullptr;
    }
    if (!vmem::Commit(mem, commit)) {
        vmem::Release(mem, reserve);
        return nullptr;
    }
    Block* b = (Block*)mem;
    memset(b, 0, kArenaBlockHeaderSize);
    b->basePos = basePos;
    b->committed = commit;
    b->reserved = reserve;
    b->fill = kArenaBlockHeaderSize;
    return b;
}

}  // namespace

struct Arena {
    std::mutex lock;
    Block* current = nullptr;
    size_t reserveSize = 0;
    size_t commitStep = 0;
    int blockCount = 0;
    uint64_t allocCount = 0;
    uint64_t highWater = 0;
    uint64_t highWaterResettable = 0;
};

Arena* ArenaCreate(size_t reserve, size_t commitStep) {
    size_t page = vmem::PageSize();
    reserve = RoundUp(AtLeastHeader(reserve), page);
    commitStep = RoundUp(AtLeastHeader(commitStep), page);
    if (commitStep > reserve) {
        commitStep = reserve;
    }
    Block* first = NewBlock(reserve, commitStep, 0);
    if (!first) {
        return nullptr;
    }
    Arena* a = new (std::nothrow) Arena();
    if (!a) {
        vmem::Release(first, first->reserved);
        return nullptr;
    }
    a->current = first;
    a->reserveSize = reserve;
    a->commitStep = commitStep;
    a->blockCount = 1;
    return a;
}

void ArenaDestroy(Arena* a) {
    if (!a) {
        return;
    }
    Block* b = a->current;
    while (b) {
        Block* next = b->next;
        vmem::Release(b, b->reserved);
        b = next;
    }
    delete a;
}

static bool PushBlockFor(Arena* a, size_t size) {
    size_t reserve = a->reserveSize;
    size_t commit = a->commitStep;
    if (reserve < size + kArenaBlockHeaderSize) {
        reserve = RoundUp(size + kArenaBlockHeaderSize, vmem::PageSize());
        commit = reserve;
    }
    Block* old = a->current;
    Block* b = NewBlock(reserve, commit, old->basePos + old->reserved);
    if (!b) {
        return false;
    }
    b->next = old;
    a->current = b;
    a->blockCount++;
    return true;
}

static bool CommitUpTo(Arena* a, size_t end) {
    Block* b = a->current;
    if (end <= b->committed) {
        return true;
    }
    size_t newCommitted = RoundUp(end, a->commitStep);
    if (newCommitted > b->reserved) {
        newCommitted = b->reserved;
    }
    if (!vmem::Commit((char*)b + b->committed, newCommitted - b->committed)) {
        return false;
    }
    b->committed = newCommitted;
    return true;
}

void* ArenaAlloc(Arena* a, size_t size, bool zero) {
    if (!a || size > kMaxAllocSize) {
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(a->lock);
    size_t pos = RoundUp(a->current->fill, 8);
    if (pos + size > a->current->reserved) {
        if (!PushBlockFor(a, size)) {
            return nullptr;
        }
        pos = kArenaBlockHeaderSize;
    }
    size_t end = pos + size;
    if (!CommitUpTo(a, end)) {
        return nullptr;
    }
    Block* b = a->current;
    b->fill = end;
    a->allocCount++;
    uint64_t absEnd = b->basePos + end;
    if (absEnd > a->highWater) {
        a->highWater = absEnd;
    }
    if (absEnd > a->highWaterResettable) {
        a->highWaterResettable = absEnd;
    }
    char* p = (char*)b + pos;
    if (zero) {
        memset(p, 0, size);
    }
    return p;
}

uint64_t ArenaMark(Arena* a) {
    if (!a) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(a->lock);
    return a->current->basePos + a->current->fill;
}

void ArenaReset(Arena* a, uint64_t pos) {
    if (!a) {
        return;
    }
    if (pos < kArenaBlockHeaderSize) {
        pos = kArenaBlockHeaderSize;
    }
    std::lock_guard<std::mutex> guard(a->lock);
    // The first block has base 0 and pos is at least 256, so it is never released.
    while (a->current->basePos >= pos) {
        Block* b = a->current;
        a->current = b->next;
        a->blockCount--;
        vmem::Release(b, b->reserved);
    }
    Block* b = a->current;
    size_t fill = (size_t)(pos - b->basePos);
    b->fill = fill < kArenaBlockHeaderSize ? kArenaBlockHeaderSize : fill;
}

ArenaStats ArenaGetStats(Arena* a) {
    std::lock_guard<std::mutex> guard(a->lock);
    ArenaStats s;
    s.allocCount = a->allocCount;
    s.highWater = a->highWater;
    s.highWaterResettable = a->highWaterResettable;
    s.blockCount = a->blockCount;
    s.currentBlockReserved = a->current->reserved;
    s.currentBlockBase = a->current->basePos;
    return s;
}

void ArenaResetHighWater(Arena* a) {
    std::lock_guard<std::mutex> guard(a->lock);
    a->highWaterResettable = a->current->basePos + a->current->fill;
}

static thread_local Arena* tTempArena = nullptr;

Arena* GetTempArena() {
    if (!tTempArena) {
        tTempArena = ArenaCreate();
    }
    return tTempArena;
}

void ReleaseThreadTempArena() {
    ArenaDestroy(tTempArena);
    tTempArena = nullptr;
}

Arena* GetProcessArena() {
    static Arena* processArena = ArenaCreate();
    return processArena;
}

TempArenaScope::TempArenaScope() : mark_(ArenaMark(GetTempArena())) {}

TempArenaScope::~TempArenaScope() {
    ArenaReset(GetTempArena(), mark_);
}
