// Decoding every entry of an archive through GetFileDataByIdx against the least a program
// must do with liblzma and zlib on the same blocks: one decoder per block, the output
// buffer, crc32. Each way runs in a child process of its own so that its peak resident
// memory can be told apart; the rounds alternate and the fastest round counts.
//   archive_bench <archive.pak> [rounds]
#include <lzma.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace {

double Now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// The minimal loop. dictFromProps: the dictionary the block's properties ask for (what a
// plain use of liblzma does); otherwise no larger than the file.
bool MinimalDecode(const ArchiveEntry& e, bool dictFromProps) {
    uint8_t* out = (uint8_t*)malloc((size_t)e.uncompressedSize + 2);
    if (!out) {
        return false;
    }
    bool ok = false;
    if (e.data[0] == kArchiveMethodStored) {
        memcpy(out, e.data + 1, e.uncompressedSize);
        ok = true;
    } else {
        lzma_filter lz = {LZMA_FILTER_LZMA1, nullptr};
        if (lzma_properties_decode(&lz, nullptr, e.data + 1, 5) != LZMA_OK) {
            free(out);
            return false;
        }
        lzma_options_lzma* opt = (lzma_options_lzma*)lz.options;
        if (!dictFromProps && opt->dict_size > e.uncompressedSize) {
            opt->dict_size = e.uncompressedSize;
        }
        lzma_filter filters[3] = {{LZMA_FILTER_X86, nullptr}, lz, {LZMA_VLI_UNKNOWN, nullptr}};
        lzma_stream strm = LZMA_STREAM_INIT;
        lzma_filter* chain = e.data[0] == kArchiveMethodLzmaX86 ? filters : filters + 1;
        if (lzma_raw_decoder(&strm, chain) == LZMA_OK) {
            strm.next_in = e.data + 6;
            strm.avail_in = e.compressedSize - 6;
            strm.next_out = out;
            strm.avail_out = (size_t)e.uncompressedSize + 1;
            ok = lzma_code(&strm, LZMA_FINISH) == LZMA_STREAM_END && strm.total_out == e.uncompressedSize;
        }
        lzma_end(&strm);
        free(opt);
    }
    ok = ok && (uint32_t)crc32(0, out, e.uncompressedSize) == e.crc32;
    free(out);
    return ok;
}

enum Way { kLoadOnly, kOurs, kMinimalPropsDict, kMinimalFileDict, kWays };
const char* const kWayNames[kWays] = {
    "archive loaded, nothing decoded",
    "GetFileDataByIdx",
    "minimal loop, dictionary from the properties",
    "minimal loop, dictionary = file size",
};

struct Result {
    double seconds = 0;
    long peakKb = 0;
};

// Runs one way in a child; the child reports its time through a pipe.
bool RunChild(Way way, const std::string& bytes, Result* r) {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        auto table = std::make_unique<InstallerArchive>();
        if (!ParseSimpleArchive((const uint8_t*)bytes.data(), (int32_t)bytes.size(), table.get())) {
            _exit(3);
        }
        double t0 = Now();
        for (int32_t i = 0; i < table->count && way != kLoadOnly; i++) {
            bool ok = false;
            if (way == kOurs) {
                char* data = GetFileDataByIdx(table.get(), i);
                ok = data != nullptr;
                free(data);
            } else {
                ok = MinimalDecode(table->entries[i], way == kMinimalPropsDict);
            }
            if (!ok) {
                _exit(4);
            }
        }
        double t = Now() - t0;
        ssize_t w = write(fds[1], &t, sizeof(t));
        _exit(w == (ssize_t)sizeof(t) ? 0 : 5);
    }
    close(fds[1]);
    double t = 0;
    ssize_t got = read(fds[0], &t, sizeof(t));
    close(fds[0]);
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || got != sizeof(t)) {
        fprintf(stderr, "archive_bench: %s failed (status %d)\n", kWayNames[way], status);
        return false;
    }
    r->seconds = t;
    r->peakKb = ru.ru_maxrss;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: archive_bench <archive.pak> [rounds]\n");
        return 2;
    }
    int rounds = argc > 2 ? atoi(argv[2]) : 5;
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        fprintf(stderr, "archive_bench: cannot open %s\n", argv[1]);
        return 1;
    }
    std::string bytes;
    char buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) {
        bytes.append(buf, n);
    }
    fclose(f);
    auto table = std::make_unique<InstallerArchive>();
    if (!ParseSimpleArchive((const uint8_t*)bytes.data(), (int32_t)bytes.size(), table.get())) {
        fprintf(stderr, "archive_bench: %s is not a valid archive\n", argv[1]);
        return 1;
    }
    uint64_t total = 0;
    for (int32_t i = 0; i < table->count; i++) {
        total += table->entries[i].uncompressedSize;
    }

    Result best[kWays];
    for (int round = 0; round < rounds; round++) {
        for (int w = 0; w < kWays; w++) {
            Result r;
            if (!RunChild((Way)w, bytes, &r)) {
                return 1;
            }
            if (round == 0 || r.seconds < best[w].seconds) {
                best[w].seconds = r.seconds;
            }
            best[w].peakKb = std::max(best[w].peakKb, r.peakKb);
        }
    }

    printf("decoding %d files, %.1f MB (archive %.1f MB), fastest of %d rounds:\n", table->count, (double)total / 1e6,
           (double)bytes.size() / 1e6, rounds);
    for (int w = 0; w < kWays; w++) {
        printf("  %-46s %7.3f s  %7.1f MB/s  peak %7.1f MiB\n", kWayNames[w], best[w].seconds,
               w == kLoadOnly ? 0.0 : (double)total / 1e6 / best[w].seconds, (double)best[w].peakKb / 1024);
    }
    double ratio = best[kOurs].seconds / best[kMinimalPropsDict].seconds;
    double extraMiB = (double)(best[kOurs].peakKb - best[kMinimalPropsDict].peakKb) / 1024;
    printf("time ratio GetFileDataByIdx / minimal loop: %.3f (goal <= 1.03)\n", ratio);
    printf("peak memory GetFileDataByIdx - minimal loop: %+.1f MiB (goal <= +4 MiB)\n", extraMiB);
    printf("dictionary = file size, minimal loop: time %.3f of the dictionary from the properties, peak %+.1f MiB\n",
           best[kMinimalFileDict].seconds / best[kMinimalPropsDict].seconds,
           (double)(best[kMinimalFileDict].peakKb - best[kMinimalPropsDict].peakKb) / 1024);
    return 0;
}
