#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "base/arena.h"
#include "base/clock.h"
#include "base/log.h"
#include "base/thread.h"
#include "gallery_window.h"
#include "../../helpers/log_capture.h"
#include "ui/uitask.h"

namespace {
struct Ran {
    DWORD thread;
    int index;
};
std::vector<Ran> gRan;

void Record(void* arg) {
    gRan.push_back(Ran{GetCurrentThreadId(), (int)(intptr_t)arg});
}

void PostFromWorker(void*) {
    for (int i = 0; i < 50; i++) uitask::Post(MkTask(Record, (void*)(intptr_t)i), "GalleryTest");
}

int64_t gFakeNow = 0;
int64_t FakeClock() {
    return gFakeNow;
}

// The record addresses of "did execute" lines, in order.
std::vector<std::string> ExecutedRecords(const std::string& log) {
    std::vector<std::string> out;
    const std::string mark = "did execute 0x";
    for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
        size_t start = at + mark.size();
        out.push_back(log.substr(start, log.find('\n', start) - start));
    }
    return out;
}

void Nothing(void*) {}

// Posts one task at fake time 0, dispatches it at now, returns what was logged.
std::string DispatchAt(const char* kind, int64_t now, void (*fn)(void*) = Nothing) {
    LogCapture log;
    gFakeNow = 0;
    uitask::Post(MkTask(fn), kind);
    gFakeNow = now;
    PumpMessages(0);
    return log.Text();
}
}  // namespace

TEST(UiTask, PostsFromAnotherThreadRunOnTheMainThreadInOrderAndRecycleOneRecord) {
    ASSERT_TRUE(uitask::DispatchWindow());
    gRan.clear();
    LogCapture posted;
    void* worker = StartThread(PostFromWorker, nullptr, "poster");
    ASSERT_TRUE(worker);
    JoinThread(worker);
    PumpMessages(0);
    ASSERT_EQ(gRan.size(), 50u);
    for (int i = 0; i < 50; i++) {
        EXPECT_EQ(gRan[i].index, i);
        EXPECT_EQ(gRan[i].thread, GetCurrentThreadId());
    }
    // 50 queued at once need 50 records; the one released last is kept.
    std::string log = posted.Text();
    std::vector<std::string> records = ExecutedRecords(log);
    ASSERT_EQ(records.size(), 50u);
    EXPECT_EQ(std::set<std::string>(records.begin(), records.end()).size(), 50u);
    void* lastRecord = nullptr;
    sscanf(records.back().c_str(), "%p", &lastRecord);
    EXPECT_EQ(uitask::SpareRecord(), lastRecord);
    EXPECT_NE(log.find("will execute 'GalleryTest', 0x"), std::string::npos) << log;

    // One at a time: the spare is reused, so every task runs in the same record.
    LogCapture oneAtATime;
    for (int i = 0; i < 3; i++) {
        uitask::Post(MkTask(Record, (void*)(intptr_t)i), "GalleryTest");
        PumpMessages(0);
    }
    std::vector<std::string> reused = ExecutedRecords(oneAtATime.Text());
    ASSERT_EQ(reused.size(), 3u);
    EXPECT_EQ(reused[0], reused[1]);
    EXPECT_EQ(reused[1], reused[2]);
}

TEST(UiTask, QuietKindsAreLoggedOnlyWhenSlowAndWholeNamesOnly) {
    int64_t freq = PerfCounterFrequency();
    ASSERT_EQ(freq % 1000000, 0) << "the exact times below need a counter in whole microseconds";
    int64_t ms50 = freq / 20, ms49_999 = freq / 1000000 * 49999;
    ClockSeam saved = gClock;
    gClock.perfCounter = FakeClock;
    struct Case {
        const char* kind;
        int64_t waited;
        const char* expected;  // empty: nothing logged
    } cases[] = {
        {"Repaint", ms50, "uitask::WndProcTaskDispatch: slow dispatch of 'Repaint', queued for 50.000 ms\n"},
        {"Repaint", ms49_999, ""},
        {nullptr, ms50, "uitask::WndProcTaskDispatch: slow dispatch of '(no kind)', queued for 50.000 ms\n"},
        {nullptr, 0, ""},
        {"RepaintNow", 0, "will execute 'RepaintNow', 0x"},
        {"repaint", 0, "will execute 'repaint', 0x"},
        {"DelayedEditSelectAll", ms49_999, "will execute 'DelayedEditSelectAll', 0x"},
    };
    for (const Case& c : cases) {
        std::string log = DispatchAt(c.kind, c.waited);
        std::string what = std::string(c.kind ? c.kind : "(null)") + " " + std::to_string(c.waited);
        if (!*c.expected) {
            EXPECT_EQ(log, "") << what;
        } else {
            EXPECT_NE(log.find(c.expected), std::string::npos) << what << ": " << log;
        }
    }
    // A task that is not quiet is logged before and after it runs, with its queue time.
    std::string log = DispatchAt("DelayedEditSelectAll", ms49_999);
    void* rec = nullptr;
    ASSERT_EQ(sscanf(log.c_str(), "uitask::WndProcTaskDispatch: will execute 'DelayedEditSelectAll', 0x%p, queued for 49.999 ms\n", &rec), 1) << log;
    char after[128];
    snprintf(after, sizeof(after), "uitask::WndProcTaskDispatch: did execute 0x%p\n", rec);
    EXPECT_NE(log.find(after), std::string::npos) << log;
    gClock = saved;
}
