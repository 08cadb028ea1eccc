#include <gtest/gtest.h>

#include <vector>

#include "base/arena.h"
#include "base/vec.h"

TEST(Vec, GrowingEmptyByteArrayToOneGivesEightZeroedPlusTerminator) {
    Vec<char> v;
    ASSERT_TRUE(v.Grow(1));
    EXPECT_EQ(v.cap, 8);
    for (int i = 0; i < 9; i++) EXPECT_EQ(v.els[i], 0);
}

template <int N>
struct Blob {
    char bytes[N];
};

TEST(Vec, FirstCapacityDependsOnElementSize) {
    Vec<Blob<1>> b1;
    Vec<Blob<4>> b4;
    Vec<Blob<1024>> b1024;
    Vec<Blob<1025>> b1025;
    ASSERT_TRUE(b1.Grow(1) && b4.Grow(1) && b1024.Grow(1) && b1025.Grow(1));
    EXPECT_EQ(b1.cap, 8);
    EXPECT_EQ(b4.cap, 4);
    EXPECT_EQ(b1024.cap, 4);
    EXPECT_EQ(b1025.cap, 1);
}

TEST(Vec, GrowthDoublesOrTakesWhatIsNeeded) {
    struct Case {
        int start, needed, expected;
    } cases[] = {{8, 8, 8}, {8, 9, 16}, {8, 100, 100}, {16, 17, 32}};
    for (const Case& c : cases) {
        Vec<char> v;
        ASSERT_TRUE(v.Grow(c.start));
        ASSERT_TRUE(v.Grow(c.needed));
        EXPECT_EQ(v.cap, c.expected) << c.start << " -> " << c.needed;
        EXPECT_EQ(v.els[v.cap], 0);
    }
}

TEST(Vec, GrowthThatWouldOverflowFailsAndLeavesArrayUnchanged) {
    Vec<int> v;
    v.Append(7);
    int* before = v.els;
    int32_t cap = v.cap;
    EXPECT_FALSE(v.Grow((int64_t)kVecMaxCap + 1));
    EXPECT_FALSE(v.Grow(0x7FFFFFFF / 4));  // (cap + 1) * 4 bytes exceeds 2 GiB
    EXPECT_EQ(v.els, before);
    EXPECT_EQ(v.cap, cap);
    EXPECT_EQ(v.els[0], 7);
}

TEST(Vec, CallerStorageIsUsedUntilFirstGrowthAndNeverFreed) {
    char storage[4] = {};
    {
        Vec<char> v(storage, 3);
        v.Append('a');
        v.Append('b');
        v.Append('c');
        EXPECT_EQ(v.els, storage);
        EXPECT_FALSE(v.OwnsStorage());
        v.Append('d');  // copies into owned storage
        EXPECT_NE(v.els, storage);
        EXPECT_TRUE(v.OwnsStorage());
        EXPECT_STREQ(v.els, "abcd");
    }  // freeing the stack storage here would be caught by the address sanitizer
    EXPECT_EQ(storage[0], 'a');
}

TEST(Vec, RemoveKeepsOrderOrMovesLastAndZeroesFreedSlot) {
    Vec<int> v;
    for (int i = 1; i <= 5; i++) v.Append(i);
    v.RemoveAt(1);
    EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{1, 3, 4, 5}));
    EXPECT_EQ(v.els[4], 0);
    v.RemoveAtFast(0);
    EXPECT_EQ(std::vector<int>(v.begin(), v.end()), (std::vector<int>{5, 3, 4}));
    EXPECT_EQ(v.els[3], 0);
}

TEST(Vec, ArenaBackedArrayTakesStorageFromArena) {
    Arena* a = ArenaCreate();
    uint64_t before = ArenaMark(a);
    {
        Vec<char> v(a);
        for (int i = 0; i < 100; i++) v.Append('x');
        EXPECT_EQ(v.len, 100);
        EXPECT_EQ(v.els[100], 0);
    }
    EXPECT_GT(ArenaMark(a), before);
    ArenaDestroy(a);
}
