#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/clock.h"
#include "base/log.h"

namespace {
int64_t gFakeNow = 0;
int64_t FakeClock() {
    return gFakeNow;
}

class FakeClockScope {
  public:
    FakeClockScope() : saved_(gClock) { gClock.perfCounter = FakeClock; gFakeNow = 1000; }
    ~FakeClockScope() { gClock = saved_; }

  private:
    ClockSeam saved_;
};

void AdvanceSeconds(double s) {
    gFakeNow += (int64_t)(s * (double)PerfCounterFrequency());
}

// A logger listening on the pipe, as the developer log viewer would.
class PipeServer {
  public:
    PipeServer() {
        pipe_ = CreateNamedPipeW(L"\\\\.\\pipe\\LOCAL\\Brannoch-Logger", PIPE_ACCESS_INBOUND,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1, 0, 65536, 0, nullptr);
    }
    ~PipeServer() { CloseHandle(pipe_); }
    bool Ok() const { return pipe_ != INVALID_HANDLE_VALUE; }
    std::string ReadAvailable() {
        ConnectNamedPipe(pipe_, nullptr);
        std::string s;
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(pipe_, buf, sizeof(buf), &n, nullptr) && n > 0) {
            s.append(buf, n);
        }
        return s;
    }

  private:
    HANDLE pipe_;
};
}  // namespace

TEST(LogPipe, WithoutListenerLoggingWorksAndRetriesAtMostEveryTenSeconds) {
    FakeClockScope clock;
    InstallLog log;
    log.Append("before any listener\n");  // first attempt fails: nobody listens

    PipeServer server;
    ASSERT_TRUE(server.Ok());
    AdvanceSeconds(9.9);
    log.Append("too early to retry\n");
    EXPECT_EQ(server.ReadAvailable(), "");

    AdvanceSeconds(0.1);
    log.Append("retried after ten seconds\n");
    EXPECT_EQ(server.ReadAvailable(), "app: vlpdf\nretried after ten seconds\n");

    log.Append("same connection\n");
    EXPECT_EQ(server.ReadAvailable(), "same connection\n");
    StrView all = log.ContentsTemp();
    EXPECT_EQ(std::string(all.CStr()),
              "before any listener\ntoo early to retry\nretried after ten seconds\nsame connection\n");
}

TEST(LogPipe, LostListenerIsReconnectedTenSecondsAfterTheLastAttempt) {
    FakeClockScope clock;
    InstallLog log;
    std::string first;
    {
        PipeServer server;
        log.Append("one\n");
        first = server.ReadAvailable();
    }
    EXPECT_EQ(first, "app: vlpdf\none\n");
    log.Append("the write fails and drops the connection\n");

    PipeServer again;
    AdvanceSeconds(5);
    log.Append("dropped: the last attempt was 5 s ago\n");
    EXPECT_EQ(again.ReadAvailable(), "");
    AdvanceSeconds(5);
    log.Append("back\n");
    EXPECT_EQ(again.ReadAvailable(), "app: vlpdf\nback\n");
}
