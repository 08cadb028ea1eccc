#include <stdlib.h>
#include <windows.h>

#include <condition_variable>
#include <mutex>

#include "base/arena.h"
#include "base/durable.h"
#include "base/str.h"
#include "base/thread.h"
#include "base/wide_win.h"

namespace durable {
bool Flush(StrView path) {
    TempArenaScope scope;
    // Others may have the file open for reading (an aside copy, a keep copy just made).
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = FlushFileBuffers(h) != 0;
    DWORD err = GetLastError();
    CloseHandle(h);
    if (ok) {
        Note(Step::Flush, path);
    }
    SetLastError(ok ? 0 : err);
    return ok;
}

bool Replace(StrView from, StrView to) {
    TempArenaScope scope;
    if (!MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return false;
    }
    Note(Step::Rename, from, to);
    return true;
}
}  // namespace durable

namespace durable {
namespace {
constexpr int32_t kMaxFlushThreads = 4;
}  // namespace

struct FlushQueue::State {
    std::mutex lock;
    std::condition_variable work;  // a file waits, or the queue stops
    std::condition_variable done;  // a file was taken or finished
    HANDLE files[kMaxPending];
    char* paths[kMaxPending];
    int32_t head = 0;
    int32_t waiting = 0;
    int32_t flushing = 0;
    bool stopping = false;
    void* threads[kMaxFlushThreads] = {};
    int32_t threadCount = 0;
    char* failedPath = nullptr;  // the first failure's
    uint32_t error = 0;
};

void FlushQueue::Start(int32_t threads) {
    if (state_) {
        return;
    }
    state_ = new State;
    threads = threads < kMaxFlushThreads ? threads : kMaxFlushThreads;
    for (int32_t i = 0; i < threads; i++) {
        void* t = StartThread(Work, this, "FlushThread");
        if (!t) {
            break;
        }
        state_->threads[state_->threadCount++] = t;
    }
}

// Flushes and closes one file; the first failure is kept for Finish.
void FlushQueue::FlushOne(void* file, char* path) {
    bool ok = FlushFileBuffers((HANDLE)file) != 0;
    DWORD err = ok ? 0 : GetLastError();
    CloseHandle((HANDLE)file);
    std::lock_guard<std::mutex> guard(state_->lock);
    if (ok) {
        Note(Step::Flush, path);
    } else if (!state_->failedPath) {
        state_->failedPath = path;
        state_->error = err;
        return;
    }
    free(path);
}

void FlushQueue::Work(void* arg) {
    FlushQueue* q = (FlushQueue*)arg;
    State* s = q->state_;
    for (;;) {
        HANDLE file;
        char* path;
        {
            std::unique_lock<std::mutex> guard(s->lock);
            s->work.wait(guard, [s] { return s->waiting > 0 || s->stopping; });
            if (s->waiting == 0) {
                return;
            }
            file = s->files[s->head];
            path = s->paths[s->head];
            s->head = (s->head + 1) % kMaxPending;
            s->waiting--;
            s->flushing++;
        }
        q->FlushOne(file, path);
        {
            std::lock_guard<std::mutex> guard(s->lock);
            s->flushing--;
        }
        s->done.notify_all();
    }
}

void FlushQueue::Add(void* file, StrView pathIn) {
    if (!state_) {
        Start(0);
    }
    State* s = state_;
    char* path = (char*)str::Dup(nullptr, pathIn).s;
    if (s->threadCount == 0 || !path) {
        // No thread to hand it to: flushed here, as a file written on its own would be.
        FlushOne(file, path ? path : (char*)calloc(1, 1));
        return;
    }
    {
        std::unique_lock<std::mutex> guard(s->lock);
        s->done.wait(guard, [s] { return s->waiting < kMaxPending; });
        int32_t at = (s->head + s->waiting) % kMaxPending;
        s->files[at] = (HANDLE)file;
        s->paths[at] = path;
        s->waiting++;
    }
    s->work.notify_one();
}

bool FlushQueue::Finish(StrView* failedPath, uint32_t* error) {
    if (!state_) {
        return true;
    }
    State* s = state_;
    std::unique_lock<std::mutex> guard(s->lock);
    s->done.wait(guard, [s] { return s->waiting == 0 && s->flushing == 0; });
    if (!s->failedPath) {
        return true;
    }
    if (failedPath) {
        *failedPath = str::DupTemp(s->failedPath);
    }
    if (error) {
        *error = s->error;
    }
    return false;
}

FlushQueue::~FlushQueue() {
    if (!state_) {
        return;
    }
    Finish(nullptr, nullptr);
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->stopping = true;
    }
    state_->work.notify_all();
    for (int32_t i = 0; i < state_->threadCount; i++) {
        JoinThread(state_->threads[i]);
    }
    free(state_->failedPath);
    delete state_;
}
}  // namespace durable
