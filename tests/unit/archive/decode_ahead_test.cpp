#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "archive/decode_ahead.h"

namespace {
constexpr int64_t MiB = 1024 * 1024;
}

TEST(PlanDecodeAhead, WorkersFromCoresAndBudgetFromLargestFile) {
    struct Case {
        int32_t cores;
        int64_t largest;
        int64_t total;
        int32_t asked;
        int32_t workers;
        int64_t budget;
    } cases[] = {
        {2, 30 * MiB, 100 * MiB, 0, 2, 64 * MiB},
        {4, 30 * MiB, 100 * MiB, 0, 4, 64 * MiB},
        {16, 30 * MiB, 100 * MiB, 0, 4, 64 * MiB},   // never more than four on their own
        {1, 30 * MiB, 100 * MiB, 0, 1, 64 * MiB},    // one core: serial
        {2, MiB / 2, 1 * MiB - 1, 0, 1, 64 * MiB},   // a small payload: serial
        {2, MiB / 2, 1 * MiB, 0, 2, 64 * MiB},
        {2, 80 * MiB, 200 * MiB, 0, 2, 80 * MiB},    // the largest file always fits
        {2, 30 * MiB, 100 * MiB, 1, 1, 64 * MiB},    // asked for: the serial path
        {2, 1 * MiB, 2 * MiB, 4, 4, 64 * MiB},       // asked for: more than cores, small payload
        {1, 30 * MiB, 100 * MiB, 3, 3, 64 * MiB},
    };
    for (const Case& c : cases) {
        DecodeAheadPlan plan = PlanDecodeAhead(c.cores, c.largest, c.total, c.asked);
        EXPECT_EQ(plan.workers, c.workers) << c.cores << " cores, asked " << c.asked << ", total " << c.total;
        EXPECT_EQ(plan.budget, c.budget) << c.largest;
    }
    struct Setting {
        const char* text;
        int32_t workers;
    } settings[] = {{"1", 1}, {"4", 4}, {"08", 8}, {"9", 0}, {"0", 0}, {"", 0}, {"2x", 0},
                    {"-2", 0}, {"99999999999", 0}, {nullptr, 0}};
    for (const Setting& s : settings) {
        EXPECT_EQ(ParseWorkersSetting(s.text), s.workers) << (s.text ? s.text : "(null)");
    }
}

namespace {
// A decoder whose files are their index repeated; it counts the bytes that exist decoded and
// not yet freed by the writer, with its scratch memory while it decodes, and fails the file
// it is told to, but only once some files behind it have been decoded, as a slow failing
// file would.
struct FakeArchive {
    std::vector<uint32_t> sizes;
    std::vector<uint32_t> scratch;
    int32_t failing = -1;
    std::atomic<int64_t> live{0};
    std::atomic<int64_t> peakLive{0};
    std::atomic<int32_t> decoded{0};
    std::atomic<int32_t> laterDecodedAtFailure{0};

    static char* Decode(void* ctx, int32_t idx) {
        FakeArchive* a = (FakeArchive*)ctx;
        int64_t now = a->live += a->sizes[idx] + a->scratch[idx];
        for (int64_t peak = a->peakLive; now > peak && !a->peakLive.compare_exchange_weak(peak, now);) {
        }
        if (idx == a->failing) {
            for (int i = 0; i < 200 && a->decoded < idx + 3; i++) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            a->laterDecodedAtFailure = a->decoded - idx;
            a->live -= a->sizes[idx] + a->scratch[idx];
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 * (idx % 3)));
        char* buf = (char*)malloc(a->sizes[idx] + 1);
        memset(buf, 'a' + idx % 26, a->sizes[idx] + 1);
        a->live -= a->scratch[idx];
        a->decoded++;
        return buf;
    }
};

struct WriteOutcome {
    std::vector<int32_t> order;  // the files written, in the order written
    int32_t failedAt = -1;
};

WriteOutcome WriteAll(FakeArchive* a, int32_t workers, int64_t budget) {
    std::vector<int32_t> files;
    for (int32_t i = 0; i < (int32_t)a->sizes.size(); i++) {
        files.push_back(i);
    }
    WriteOutcome out;
    DecodeAhead ahead;
    EXPECT_TRUE(ahead.Start(files.data(), a->sizes.data(), a->scratch.data(), (int32_t)files.size(), workers, budget,
                            FakeArchive::Decode, a));
    for (int32_t k = 0; k < (int32_t)files.size(); k++) {
        char* data = ahead.Take(k);
        if (!data) {
            out.failedAt = k;
            return out;  // the destructor frees what was decoded behind it
        }
        EXPECT_EQ(data[0], 'a' + k % 26) << k;
        EXPECT_EQ(data[a->sizes[k]], 'a' + k % 26) << k;
        std::this_thread::sleep_for(std::chrono::microseconds(300));  // writing
        free(data);
        a->live -= a->sizes[k];
        ahead.Written(k);
        out.order.push_back(k);
    }
    return out;
}
}  // namespace

TEST(DecodeAhead, WritesInOrderWithinTheBudgetAndStopsAtTheFirstBadFile) {
    for (int32_t workers : {2, 4}) {
        SCOPED_TRACE(workers);
        // Forty files of 1 to 5 units, one of 30 (larger than the budget of 20) in the middle;
        // decoding needs a unit more, 5 for the large one.
        FakeArchive a;
        for (int32_t i = 0; i < 40; i++) {
            a.sizes.push_back(i == 17 ? 30 : 1 + i % 5);
            a.scratch.push_back(i == 17 ? 5 : 1);
        }
        WriteOutcome out = WriteAll(&a, workers, 20);
        ASSERT_EQ(out.failedAt, -1);
        ASSERT_EQ(out.order.size(), 40u);
        for (int32_t k = 0; k < 40; k++) {
            EXPECT_EQ(out.order[k], k);
        }
        EXPECT_EQ(a.live, 0);
        // Within the budget, except the large file, which was decoded alone.
        EXPECT_LE(a.peakLive, 35);
        EXPECT_GE(a.peakLive, 35);

        FakeArchive bad;
        bad.sizes.assign(30, 2);
        bad.scratch.assign(30, 1);
        bad.failing = 9;
        out = WriteAll(&bad, workers, 20);
        EXPECT_EQ(out.failedAt, 9);
        EXPECT_EQ(out.order.size(), 9u);
        EXPECT_GE(bad.laterDecodedAtFailure, 1) << "no file behind the bad one was decoded before it failed";
        EXPECT_LE(bad.peakLive, 20);
    }
}
