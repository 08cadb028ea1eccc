#include "pack.h"

#include <errno.h>
#include <lzma.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "archive/archive.h"
#include "archive/patch.h"
#include "base/sha256.h"
#include "difference.h"

namespace {

constexpr uint32_t kDictSize = 16u << 20;
constexpr uint8_t kPropsByte = 0x5D;  // lc 3, lp 0, pb 2

void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; i++) {
        s.push_back((char)(v >> (8 * i)));
    }
}

uint32_t Crc32(const std::string& s) {
    uLong crc = crc32(0, nullptr, 0);
    // zlib takes lengths as uInt: feed large files in pieces.
    for (size_t at = 0; at < s.size();) {
        uInt n = (uInt)std::min<size_t>(s.size() - at, 1u << 30);
        crc = crc32(crc, (const Bytef*)s.data() + at, n);
        at += n;
    }
    return (uint32_t)crc;
}

struct Job {
    uint32_t size = 0;
    uint32_t crc = 0;
    std::string block;
    std::string error;
    bool done = false;
};

// One per worker. A fresh liblzma encoder maps and unmaps its ~190 MB match finder for
// every file, and two threads doing that run no faster than one; re-initialising the same
// stream keeps the memory.
class Encoder {
  public:
    ~Encoder() { lzma_end(&strm_); }

    // A whole file: the x86 filter, then LZMA at the preset every installer has used.
    bool Encode(const std::string& data, std::string* block) {
        lzma_options_lzma opt;
        if (lzma_lzma_preset(&opt, 6)) {
            return false;
        }
        opt.dict_size = kDictSize;
        lzma_filter filters[3] = {{LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA1, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
        return Run(filters, kArchiveMethodLzmaX86, opt.dict_size, data, block);
    }

    // A stream of a difference: mostly zeros and small numbers, no code to filter, packed
    // as hard as LZMA goes (a patch is made once and downloaded by every machine); stored
    // when that does not pay.
    bool EncodeStream(const std::string& data, std::string* block) {
        lzma_options_lzma opt;
        if (lzma_lzma_preset(&opt, 9 | LZMA_PRESET_EXTREME)) {
            return false;
        }
        opt.dict_size = std::clamp<uint32_t>((uint32_t)data.size(), 4096, kDictSize);
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (!Run(filters, kArchiveMethodLzma, opt.dict_size, data, block)) {
            return false;
        }
        if (block->size() > data.size() + 1) {
            *block = std::string(1, (char)kArchiveMethodStored) + data;
        }
        return true;
    }

  private:
    bool Run(const lzma_filter* filters, uint8_t method, uint32_t dictSize, const std::string& data,
             std::string* block) {
        if (lzma_raw_encoder(&strm_, filters) != LZMA_OK) {
            return false;
        }
        block->clear();
        block->push_back((char)method);
        block->push_back((char)kPropsByte);
        PutU32(*block, dictSize);
        size_t start = block->size();
        block->resize(start + data.size() + data.size() / 32 + 4096);
        strm_.next_in = (const uint8_t*)data.data();
        strm_.avail_in = data.size();
        size_t pos = start;
        while (true) {
            strm_.next_out = (uint8_t*)block->data() + pos;
            strm_.avail_out = block->size() - pos;
            lzma_ret ret = lzma_code(&strm_, LZMA_FINISH);
            pos = block->size() - strm_.avail_out;
            if (ret == LZMA_STREAM_END) {
                break;
            }
            if (ret != LZMA_OK) {
                return false;
            }
            block->resize(block->size() * 2);
        }
        block->resize(pos);
        return true;
    }

    lzma_stream strm_ = LZMA_STREAM_INIT;
};

bool PackWhole(const PackInput& in, const std::string& data, Encoder* enc, std::string* block, std::string* error) {
    if (IsStoredName(in.name)) {
        *block = std::string(1, (char)kArchiveMethodStored) + data;
    } else if (!enc->Encode(data, block)) {
        *error = in.path + ": compression failed";
        return false;
    }
    return true;
}

void PutStream(const std::string& data, Encoder* enc, std::string* body) {
    std::string block;
    if (!enc->EncodeStream(data, &block)) {
        block = std::string(1, (char)kArchiveMethodStored) + data;
    }
    PutU32(*body, (uint32_t)block.size());
    *body += block;
}

// The difference's body (after its kind byte), see archive/patch.h.
bool PackDifference(const PackInput& in, const std::string& scratchPath, Encoder* enc, std::string* body,
                    std::string* error) {
    Difference d;
    if (!ComputeDifference(in.basePath, in.path, scratchPath, &d, error)) {
        return false;
    }
    std::string instructions;
    for (const DifferenceInstruction& i : d.instructions) {
        PutU32(instructions, i.add);
        PutU32(instructions, i.copy);
        PutU32(instructions, (uint32_t)i.seek);
    }
    body->clear();
    PutU32(*body, (uint32_t)d.instructions.size());
    PutStream(instructions, enc, body);
    PutStream(d.added, enc, body);
    PutStream(d.fresh, enc, body);
    return true;
}

std::string Digest(const std::string& data) {
    uint8_t digest[kSha256Size];
    Sha256Of((const uint8_t*)data.data(), data.size(), digest);
    return std::string((const char*)digest, kSha256Size);
}

// A file the earlier version also has: nothing when it did not change, otherwise the
// smaller of its difference and the whole file.
bool PackFromBase(const PackInput& in, const std::string& data, const PackOptions& opt, size_t index, Encoder* enc,
                  std::string* block, std::string* error) {
    std::string base;
    if (!ReadWholeFile(in.basePath, &base, error)) {
        return false;
    }
    std::string baseDigest = Digest(base), resultDigest = Digest(data);
    *block = std::string(1, (char)kArchiveMethodFromBase) + baseDigest + resultDigest;
    if (baseDigest == resultDigest && base == data) {
        block->push_back((char)kFromBaseSame);
        return true;
    }
    std::string whole, difference;
    std::string scratch = opt.scratchDir + "/difference-" + std::to_string(index);
    if (!PackWhole(in, data, enc, &whole, error) || !PackDifference(in, scratch, enc, &difference, error)) {
        return false;
    }
    if (difference.size() + 1 < whole.size()) {
        block->push_back((char)kFromBaseDifference);
        *block += difference;
    } else {
        *block += whole;
    }
    return true;
}

void PackOne(const PackInput& in, const PackOptions& opt, size_t index, Encoder* enc, Job* job) {
    std::string data;
    if (!ReadWholeFile(in.path, &data, &job->error)) {
        return;
    }
    job->size = (uint32_t)data.size();
    job->crc = Crc32(data);
    if (in.basePath.empty()) {
        PackWhole(in, data, enc, &job->block, &job->error);
    } else {
        PackFromBase(in, data, opt, index, enc, &job->block, &job->error);
    }
}

std::string Megabytes(uint64_t n) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%.1f MB", (double)n / 1e6);
    return buf;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* data, std::string* error) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        *error = path + ": cannot open: " + strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(f);
        *error = path + ": not a regular file";
        return false;
    }
    if ((uint64_t)st.st_size > kArchiveMaxFileSize) {
        fclose(f);
        *error = path + ": " + std::to_string((uint64_t)st.st_size) + " bytes, more than the installer can unpack (" +
                 std::to_string(kArchiveMaxFileSize) + ")";
        return false;
    }
    data->resize((size_t)st.st_size);
    size_t got = data->empty() ? 0 : fread(data->data(), 1, data->size(), f);
    // One more byte means the file grew while we read it.
    bool grew = fgetc(f) != EOF;
    bool failed = ferror(f);
    fclose(f);
    if (failed || got != data->size() || grew) {
        *error = path + ": read failed or the file changed while it was read";
        return false;
    }
    return true;
}

bool IsStoredName(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) {
        c = (char)tolower((unsigned char)c);
    }
    return ext == ".png";
}

bool PackArchive(const std::vector<PackInput>& inputs, const PackOptions& opt, std::string* out, std::string* error) {
    std::vector<Job> jobs(inputs.size());
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable changed;
    size_t finished = 0;
    uint64_t bytesIn = 0;

    auto work = [&] {
        Encoder enc;
        while (!stop) {
            size_t i = next++;
            if (i >= inputs.size()) {
                break;
            }
            PackOne(inputs[i], opt, i, &enc, &jobs[i]);
            std::lock_guard<std::mutex> g(lock);
            jobs[i].done = true;
            finished++;
            bytesIn += jobs[i].size;
            if (!jobs[i].error.empty()) {
                stop = true;
            }
            changed.notify_all();
        }
    };
    int n = std::max(1, std::min<int>(opt.jobs, (int)inputs.size()));
    std::vector<std::thread> threads;
    for (int i = 0; i < n; i++) {
        threads.emplace_back(work);
    }
    {
        std::unique_lock<std::mutex> g(lock);
        while (finished < inputs.size() && !stop) {
            changed.wait_for(g, std::chrono::milliseconds(200));
            if (opt.progress) {
                fprintf(stderr, "\rmkpak: %zu/%zu files, %s read ", finished, inputs.size(), Megabytes(bytesIn).c_str());
            }
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    if (opt.progress) {
        fprintf(stderr, "\r\033[K");
    }
    for (const Job& j : jobs) {
        if (!j.error.empty()) {
            *error = j.error;
            return false;
        }
    }

    // The header, then the blocks. The reader keeps sizes in signed 32 bits.
    std::string a;
    if (opt.patchBaseVersion.empty()) {
        a = "LzSA";
    } else {
        a = "LzSP";
        a.push_back((char)opt.patchBaseVersion.size());
        a += opt.patchBaseVersion;
    }
    PutU32(a, (uint32_t)inputs.size());
    uint64_t total = 0;
    for (size_t i = 0; i < inputs.size(); i++) {
        const Job& j = jobs[i];
        PutU32(a, (uint32_t)(kArchiveEntryHeaderFixedSize + inputs[i].name.size() + 1));
        PutU32(a, (uint32_t)j.block.size());
        PutU32(a, j.size);
        PutU32(a, j.crc);
        PutU32(a, (uint32_t)opt.fileTime);
        PutU32(a, (uint32_t)(opt.fileTime >> 32));
        a += inputs[i].name;
        a.push_back('\0');
        total += j.block.size();
    }
    PutU32(a, Crc32(a));
    total += a.size();
    if (total > 0x7FFFFFFF) {
        *error = "the archive would be " + std::to_string(total) + " bytes; the installer reads at most 2147483647";
        return false;
    }
    *out = std::move(a);
    out->reserve((size_t)total);
    for (Job& j : jobs) {
        *out += j.block;
        std::string().swap(j.block);
    }
    return true;
}
