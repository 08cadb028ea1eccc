#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "base/arena.h"
#include "base/vmem.h"

namespace {
struct ArenaDeleter {
    void operator()(Arena* a) const { ArenaDestroy(a); }
};
using ArenaPtr = std::unique_ptr<Arena, ArenaDeleter>;

size_t RoundToPage(size_t v) {
    size_t page = vmem::PageSize();
    return (v + page - 1) / page * page;
}
}  // namespace

TEST(Arena, AllocationsAreAlignedZeroedOnRequestAndDisjoint) {
    ArenaPtr a(ArenaCreate());
    char* prev = nullptr;
    for (size_t size : {1, 3, 8, 13, 100, 70000}) {
        char* p = (char*)ArenaAlloc(a.get(), size, true);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ((uintptr_t)p % 8, 0u) << size;
        for (size_t i = 0; i < size; i++) ASSERT_EQ(p[i], 0);
        memset(p, 0xAB, size);
        EXPECT_TRUE(prev == nullptr || p > prev);
        prev = p;
    }
}

TEST(Arena, AllocationBiggerThanBlockGetsOwnBlockSizedToRequest) {
    ArenaPtr a(ArenaCreate());
    size_t big = kArenaDefaultReserve + 1000;
    ASSERT_NE(ArenaAlloc(a.get(), big), nullptr);
    ArenaStats s = ArenaGetStats(a.get());
    EXPECT_EQ(s.blockCount, 2);
    EXPECT_EQ(s.currentBlockReserved, RoundToPage(big + kArenaBlockHeaderSize));

    // What is left of the page goes to a small request that fits...
    size_t left = s.currentBlockReserved - (kArenaBlockHeaderSize + big);
    size_t small = left & ~(size_t)7;
    if (small > 0) {
        ASSERT_NE(ArenaAlloc(a.get(), small), nullptr);
        EXPECT_EQ(ArenaGetStats(a.get()).blockCount, 2);
    }
    // ...and one that does not fit starts a fresh default-sized block.
    ASSERT_NE(ArenaAlloc(a.get(), 64), nullptr);
    s = ArenaGetStats(a.get());
    EXPECT_EQ(s.blockCount, 3);
    EXPECT_EQ(s.currentBlockReserved, kArenaDefaultReserve);
}

TEST(Arena, RequestThatFitsABlockOnlyWithoutItsHeaderGetsOwnBlock) {
    ArenaPtr a(ArenaCreate());
    size_t size = kArenaDefaultReserve - 100;
    ASSERT_NE(ArenaAlloc(a.get(), size), nullptr);
    ArenaStats s = ArenaGetStats(a.get());
    EXPECT_EQ(s.blockCount, 2);
    EXPECT_EQ(s.currentBlockReserved, RoundToPage(size + kArenaBlockHeaderSize));
}

TEST(Arena, ResetToOlderBlockReleasesNewerBlocksAndReusesMemory) {
    ArenaPtr a(ArenaCreate(1 << 16, 1 << 16));
    ASSERT_NE(ArenaAlloc(a.get(), 100), nullptr);
    uint64_t mark = ArenaMark(a.get());
    void* first = ArenaAlloc(a.get(), 40);
    for (int i = 0; i < 10; i++) {
        ASSERT_NE(ArenaAlloc(a.get(), 30000), nullptr);
    }
    EXPECT_GT(ArenaGetStats(a.get()).blockCount, 3);
    ArenaReset(a.get(), mark);
    EXPECT_EQ(ArenaGetStats(a.get()).blockCount, 1);
    EXPECT_EQ(ArenaMark(a.get()), mark);
    EXPECT_EQ(ArenaAlloc(a.get(), 40), first);
}

TEST(Arena, ResetBelowHeaderCountsAsHeader) {
    ArenaPtr a(ArenaCreate());
    ArenaAlloc(a.get(), 1000);
    ArenaReset(a.get(), 0);
    EXPECT_EQ(ArenaMark(a.get()), kArenaBlockHeaderSize);
}

TEST(Arena, HighWaterMarkSurvivesResetUnlessResetItself) {
    ArenaPtr a(ArenaCreate());
    uint64_t start = ArenaMark(a.get());
    ArenaAlloc(a.get(), 5000);
    ArenaReset(a.get(), start);
    ArenaStats s = ArenaGetStats(a.get());
    EXPECT_EQ(s.highWater, start + 5000);
    ArenaResetHighWater(a.get());
    EXPECT_EQ(ArenaGetStats(a.get()).highWaterResettable, start);
    EXPECT_EQ(ArenaGetStats(a.get()).highWater, start + 5000);
}

TEST(Arena, SharedArenaHandsOutDisjointMemoryToConcurrentThreads) {
    ArenaPtr a(ArenaCreate(1 << 20, 1 << 16));
    constexpr int kThreads = 4, kAllocs = 2000;
    std::vector<std::vector<uint32_t*>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kAllocs; i++) {
                uint32_t* p = (uint32_t*)ArenaAlloc(a.get(), 24);
                p[0] = (uint32_t)(t * kAllocs + i);
                got[t].push_back(p);
            }
        });
    }
    for (auto& th : threads) th.join();
    std::set<uint32_t*> distinct;
    for (int t = 0; t < kThreads; t++) {
        for (int i = 0; i < kAllocs; i++) {
            EXPECT_EQ(*got[t][i], (uint32_t)(t * kAllocs + i));
            distinct.insert(got[t][i]);
        }
    }
    EXPECT_EQ(distinct.size(), (size_t)kThreads * kAllocs);
}

TEST(Arena, EachThreadHasItsOwnTemporaryArena) {
    Arena* mine = GetTempArena();
    Arena* theirs = nullptr;
    std::thread([&] { theirs = GetTempArena(); ReleaseThreadTempArena(); }).join();
    EXPECT_NE(mine, nullptr);
    EXPECT_NE(theirs, mine);
    EXPECT_EQ(GetTempArena(), mine);
}

TEST(Arena, TempScopeRewindsTheThreadsArena) {
    uint64_t before = ArenaMark(GetTempArena());
    {
        TempArenaScope scope;
        ArenaAlloc(GetTempArena(), 12345);
        EXPECT_GT(ArenaMark(GetTempArena()), before);
    }
    EXPECT_EQ(ArenaMark(GetTempArena()), before);
}
