#include "difference.h"

#include <bzlib.h>
#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

extern char** environ;

namespace {

constexpr size_t kBsdiffHeaderSize = 32;

// bsdiff's numbers: 8 bytes little-endian, the top bit the sign, the rest the magnitude.
int64_t Offtin(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) {
        v = (v << 8) | p[i];
    }
    int64_t magnitude = (int64_t)(v & ~(1ull << 63));
    return (v >> 63) ? -magnitude : magnitude;
}

bool Bunzip(const std::string& packed, std::string* out) {
    bz_stream s;
    memset(&s, 0, sizeof(s));
    if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK) {
        return false;
    }
    s.next_in = (char*)packed.data();
    s.avail_in = (unsigned)packed.size();
    out->clear();
    char buf[1 << 16];
    int ret;
    do {
        s.next_out = buf;
        s.avail_out = sizeof(buf);
        ret = BZ2_bzDecompress(&s);
        out->append(buf, sizeof(buf) - s.avail_out);
    } while (ret == BZ_OK && (s.avail_out == 0 || s.avail_in > 0));
    BZ2_bzDecompressEnd(&s);
    return ret == BZ_STREAM_END;
}

bool FitsU32(int64_t v) {
    return v >= 0 && v <= 0x7FFFFFFF;
}

bool RunBsdiff(const std::string& basePath, const std::string& newPath, const std::string& outPath,
               std::string* error) {
    const char* argv[] = {"bsdiff", basePath.c_str(), newPath.c_str(), outPath.c_str(), nullptr};
    pid_t pid;
    int spawned = posix_spawnp(&pid, "bsdiff", nullptr, nullptr, (char* const*)argv, environ);
    if (spawned != 0) {
        *error = std::string("cannot run bsdiff (Debian's bsdiff package; scripts/setup.sh installs it): ") +
                 strerror(spawned);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "bsdiff " + basePath + " " + newPath + " failed";
        return false;
    }
    return true;
}

}  // namespace

bool ParseBsdiff(const std::string& patch, Difference* out, std::string* error) {
    const uint8_t* p = (const uint8_t*)patch.data();
    if (patch.size() < kBsdiffHeaderSize || memcmp(p, "BSDIFF40", 8) != 0) {
        *error = "not bsdiff's output (no BSDIFF40 header)";
        return false;
    }
    int64_t instructionsSize = Offtin(p + 8), addedSize = Offtin(p + 16);
    if (instructionsSize < 0 || addedSize < 0 ||
        (uint64_t)instructionsSize + (uint64_t)addedSize > patch.size() - kBsdiffHeaderSize) {
        *error = "bsdiff's output is cut short";
        return false;
    }
    size_t at = kBsdiffHeaderSize;
    std::string instructions;
    if (!Bunzip(patch.substr(at, (size_t)instructionsSize), &instructions) ||
        !Bunzip(patch.substr(at + instructionsSize, (size_t)addedSize), &out->added) ||
        !Bunzip(patch.substr(at + instructionsSize + addedSize), &out->fresh) || instructions.size() % 24 != 0) {
        *error = "bsdiff's output does not decode";
        return false;
    }
    out->instructions.clear();
    for (size_t i = 0; i < instructions.size(); i += 24) {
        const uint8_t* t = (const uint8_t*)instructions.data() + i;
        int64_t add = Offtin(t), copy = Offtin(t + 8), seek = Offtin(t + 16);
        if (!FitsU32(add) || !FitsU32(copy) || seek < INT32_MIN || seek > INT32_MAX) {
            *error = "a file of 2 GB or more cannot be patched";
            return false;
        }
        out->instructions.push_back({(uint32_t)add, (uint32_t)copy, (int32_t)seek});
    }
    return true;
}

bool ComputeDifference(const std::string& basePath, const std::string& newPath, const std::string& patchPath,
                       Difference* out, std::string* error) {
    bool ok = RunBsdiff(basePath, newPath, patchPath, error);
    if (ok) {
        std::ifstream in(patchPath, std::ios::binary);
        std::string patch(std::istreambuf_iterator<char>(in), {});
        ok = ParseBsdiff(patch, out, error);
        if (!ok) {
            *error = newPath + ": " + *error;
        }
    }
    unlink(patchPath.c_str());
    return ok;
}
