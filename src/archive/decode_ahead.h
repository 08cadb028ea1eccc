#pragma once
// Decoding the files of an extraction ahead of the thread that writes them. Each file of the
// archive is compressed on its own, so several can be decoded at once, and decoding the next
// files overlaps with writing the current one. The writing thread still takes the files one
// by one in entry order, so it logs, writes and advances the progress exactly as when it
// decodes each file itself; only the decoding moves to the workers.
//
// Memory: the bytes decoded but not yet written (counted from the moment a worker starts
// decoding a file until the writer is done with it), together with the scratch memory of the
// decodes under way (the decoder's dictionary), stay within a budget. Workers take the
// files strictly in entry order and reserve each file's size before decoding it, so the
// file the writer waits for has always been reserved before any later one: the writer never
// waits on a file that waits for room held by files behind it. A file larger than the whole
// budget is decoded alone.
#include <stdint.h>

#include <condition_variable>
#include <mutex>

constexpr int32_t kDecodeAheadMaxWorkers = 8;
constexpr int64_t kDecodeAheadMinBudget = 64ll * 1024 * 1024;
// Below this many bytes in all, threads cost more than they save: one thread decodes and
// writes, as it always did. Starting two workers takes about 2.5 ms under Wine; the
// product's own payload of about two megabytes is written in 33 ms with them, 57 without.
constexpr int64_t kDecodeAheadMinTotal = 1ll * 1024 * 1024;

struct DecodeAheadPlan {
    int32_t workers = 1;  // 1: no workers, the writing thread decodes each file itself
    int64_t budget = 0;   // bytes decoded but not yet written, at most
};

// How many workers decode and within what budget, from the processor count, the largest and
// the total uncompressed size of the files to extract, and the workers asked for
// (VLPDF_EXTRACT_WORKERS; 0 when not asked). Asked-for counts override the automatic choice,
// up to kDecodeAheadMaxWorkers, so that 1 always restores the serial path.
DecodeAheadPlan PlanDecodeAhead(int32_t cores, int64_t largest, int64_t total, int32_t workersAsked);
// The worker count of the setting's text: 1 to kDecodeAheadMaxWorkers, else 0 (not asked).
int32_t ParseWorkersSetting(const char* text);

// Decodes one file: a malloc'd buffer, or null when the file does not decode.
using DecodeFileFunc = char* (*)(void* ctx, int32_t idx);

class DecodeAhead {
  public:
    DecodeAhead() = default;
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;
    ~DecodeAhead() { Stop(); }

    // Starts decoding files[0..count) (archive indices, in writing order; sizes their
    // uncompressed sizes, scratch what decoding each needs besides) on up to `workers`
    // threads. False when no thread could be started; the caller then decodes by itself.
    bool Start(const int32_t* files, const uint32_t* sizes, const uint32_t* scratch, int32_t count, int32_t workers,
               int64_t budget, DecodeFileFunc decode, void* ctx);
    // Waits for the k-th file (k counts from 0, in order) and hands over its buffer (null:
    // it did not decode). Its bytes stay counted until Written(k).
    char* Take(int32_t k);
    // The writer is done with the k-th file and has freed its buffer.
    void Written(int32_t k);
    // Ends the workers: files not started are not decoded, the ones decoded and not taken
    // are freed. Called by the destructor; a writer that stops at a failure just returns.
    void Stop();

    // The most bytes that were reserved at once (for tests and measurements).
    int64_t PeakReserved() const { return peak_; }

  private:
    struct Slot {
        char* data;
        bool done;
    };
    static void WorkerMain(void* self);
    int64_t Need(int32_t k) const { return (int64_t)sizes_[k] + scratch_[k]; }
    void Work();

    std::mutex lock_;
    std::condition_variable roomFreed_;  // reserved bytes went down, or stopping
    std::condition_variable fileDone_;   // a slot's decode finished
    const int32_t* files_ = nullptr;
    const uint32_t* sizes_ = nullptr;
    const uint32_t* scratch_ = nullptr;
    Slot* slots_ = nullptr;
    int32_t count_ = 0;
    int32_t next_ = 0;  // the next file a worker reserves
    int64_t budget_ = 0;
    int64_t reserved_ = 0;
    int64_t peak_ = 0;
    bool stopping_ = false;
    DecodeFileFunc decode_ = nullptr;
    void* ctx_ = nullptr;
    void* threads_[kDecodeAheadMaxWorkers] = {};
    int32_t threadCount_ = 0;
};
