#pragma once
// Arenas: chains of reserved virtual-memory blocks that hand out 8-byte-aligned memory and
// are released as a whole, or back to a mark. Short-lived strings come from the calling
// thread's temporary arena (functions named ...Temp); what lives for the whole run comes
// from the process arena.
#include <stddef.h>
#include <stdint.h>

constexpr size_t kArenaDefaultReserve = 0x4000000;  // 64 MiB per block
constexpr size_t kArenaDefaultCommit = 0x10000;     // 64 KiB commit step
constexpr size_t kArenaBlockHeaderSize = 256;

struct Arena;

struct ArenaStats {
    uint64_t allocCount = 0;
    uint64_t highWater = 0;           // highest absolute position ever reached
    uint64_t highWaterResettable = 0;  // same, since the last ArenaResetHighWater
    int blockCount = 0;
    size_t currentBlockReserved = 0;
    uint64_t currentBlockBase = 0;
};

// Null when the first block cannot be reserved or committed.
Arena* ArenaCreate(size_t reserve = kArenaDefaultReserve, size_t commitStep = kArenaDefaultCommit);
void ArenaDestroy(Arena* a);

// Null when memory cannot be committed.
void* ArenaAlloc(Arena* a, size_t size, bool zero = false);

// Absolute position: the current block's base position plus its fill position.
uint64_t ArenaMark(Arena* a);
// Releases every block at or above pos and rewinds to it (pos below 256 counts as 256).
void ArenaReset(Arena* a, uint64_t pos);

ArenaStats ArenaGetStats(Arena* a);
void ArenaResetHighWater(Arena* a);

// The calling thread's temporary arena, created on first use (null if that fails).
Arena* GetTempArena();
// Called when a thread started by StartThread ends; other threads keep theirs to the end.
void ReleaseThreadTempArena();
// The process-wide arena; never released.
Arena* GetProcessArena();

// Rewinds the thread's temporary arena when a scope that made many temporary strings ends.
class TempArenaScope {
  public:
    TempArenaScope();
    ~TempArenaScope();
    TempArenaScope(const TempArenaScope&) = delete;
    TempArenaScope& operator=(const TempArenaScope&) = delete;

  private:
    uint64_t mark_;
};
