#include "archive/decode_ahead.h"

#include <stdlib.h>

#include "base/thread.h"

DecodeAheadPlan PlanDecodeAhead(int32_t cores, int64_t largest, int64_t total, int32_t workersAsked) {
    DecodeAheadPlan plan;
    plan.budget = largest > kDecodeAheadMinBudget ? largest : kDecodeAheadMinBudget;
    if (workersAsked > 0) {
        plan.workers = workersAsked < kDecodeAheadMaxWorkers ? workersAsked : kDecodeAheadMaxWorkers;
        return plan;
    }
    // One core gains nothing from a second thread that decodes; a small payload is done
    // before the threads would have started.
    if (cores <= 1 || total < kDecodeAheadMinTotal) {
        plan.workers = 1;
        return plan;
    }
    plan.workers = cores < 4 ? cores : 4;
    return plan;
}

int32_t ParseWorkersSetting(const char* text) {
    if (!text || text[0] < '0' || text[0] > '9') {
        return 0;
    }
    int32_t n = 0;
    for (const char* c = text; *c; c++) {
        if (*c < '0' || *c > '9' || n > kDecodeAheadMaxWorkers) {
            return 0;
        }
        n = n * 10 + (*c - '0');
    }
    return n >= 1 && n <= kDecodeAheadMaxWorkers ? n : 0;
}

bool DecodeAhead::Start(const int32_t* files, const uint32_t* sizes, const uint32_t* scratch, int32_t count,
                        int32_t workers, int64_t budget, DecodeFileFunc decode, void* ctx) {
    slots_ = (Slot*)calloc(count > 0 ? (size_t)count : 1, sizeof(Slot));
    if (!slots_) {
        return false;
    }
    files_ = files;
    sizes_ = sizes;
    scratch_ = scratch;
    count_ = count;
    budget_ = budget;
    decode_ = decode;
    ctx_ = ctx;
    if (workers > kDecodeAheadMaxWorkers) {
        workers = kDecodeAheadMaxWorkers;
    }
    for (int32_t i = 0; i < workers; i++) {
        void* t = StartThread(WorkerMain, this, "ExtractDecoder");
        if (!t) {
            break;
        }
        threads_[threadCount_++] = t;
    }
    if (threadCount_ == 0) {
        free(slots_);
        slots_ = nullptr;
        return false;
    }
    return true;
}

void DecodeAhead::WorkerMain(void* self) {
    ((DecodeAhead*)self)->Work();
}

void DecodeAhead::Work() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        // Reserve the next file in order; while it does not fit, nobody behind it may pass.
        // A file that does not fit an empty budget goes alone.
        while (!stopping_ && next_ < count_ && reserved_ > 0 && reserved_ + Need(next_) > budget_) {
            roomFreed_.wait(guard);
        }
        if (stopping_ || next_ >= count_) {
            return;
        }
        int32_t k = next_++;
        reserved_ += Need(k);
        peak_ = reserved_ > peak_ ? reserved_ : peak_;
        guard.unlock();
        char* data = decode_(ctx_, files_[k]);
        guard.lock();
        slots_[k].data = data;
        slots_[k].done = true;
        reserved_ -= scratch_[k];  // the decoder's memory is gone; the file's stays until written
        fileDone_.notify_all();
        roomFreed_.notify_all();
    }
}

char* DecodeAhead::Take(int32_t k) {
    std::unique_lock<std::mutex> guard(lock_);
    while (!slots_[k].done) {
        fileDone_.wait(guard);
    }
    char* data = slots_[k].data;
    slots_[k].data = nullptr;
    return data;
}

void DecodeAhead::Written(int32_t k) {
    std::lock_guard<std::mutex> guard(lock_);
    reserved_ -= sizes_[k];
    roomFreed_.notify_all();
}

void DecodeAhead::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        roomFreed_.notify_all();
    }
    for (int32_t i = 0; i < threadCount_; i++) {
        JoinThread(threads_[i]);
    }
    threadCount_ = 0;
    if (slots_) {
        for (int32_t k = 0; k < count_; k++) {
            free(slots_[k].data);
        }
        free(slots_);
        slots_ = nullptr;
    }
}
