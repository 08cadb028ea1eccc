#include "integration/default_reader.h"

#include "base/arena.h"
#include "base/bytes.h"
#include "base/file.h"
#include "base/md5.h"
#include "base/product.h"
#include "base/utf.h"
#include "integration/associations.h"

namespace {
const char* const kPdfExts[] = {".pdf", ".p7m"};
const char* const kOfdExts[] = {".ofd"};
const char* const kComicsExts[] = {".cbz", ".cbr", ".cb7", ".cbt"};
const char* const kMarkdownExts[] = {".md", ".markdown"};
}  // namespace

const char* const* ReaderKindExts(ReaderKind kind, int* n) {
    switch (kind) {
        case ReaderKind::Pdf:
            *n = 2;
            return kPdfExts;
        case ReaderKind::Ofd:
            *n = 1;
            return kOfdExts;
        case ReaderKind::Comics:
            *n = 4;
            return kComicsExts;
        case ReaderKind::Markdown:
            break;
    }
    *n = 2;
    return kMarkdownExts;
}

bool IsOurProgId(StrView ext, StrView progId) {
    return str::EqI(progId, ProgIdTemp(ext)) || str::EqI(progId, kProductId);
}

DefaultRestore DecideDefaultRestore(StrView ext, StrView currentProgId, bool hasBackup, StrView backup) {
    if (!IsOurProgId(ext, currentProgId)) {
        return DefaultRestore::Keep;
    }
    if (hasBackup && !backup.IsEmpty() && !IsOurProgId(ext, backup)) {
        return DefaultRestore::Rewrite;
    }
    return DefaultRestore::Remove;
}

StrView FileExtKeyTemp(StrView ext) {
    return path::JoinTemp("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts", ext);
}

StrView UserChoiceKeyTemp(StrView ext) {
    return path::JoinTemp(FileExtKeyTemp(ext), "UserChoice");
}

void BuildUserChoiceValues(StrView ext, Vec<RegValue>* out) {
    StrView key = UserChoiceKeyTemp(ext);
    AddSz(*out, key, kUserChoiceProgIdValue, ProgIdTemp(ext));
    AddSz(*out, key, kUserChoiceHashValue, {}).varies = true;
}

void BuildDefaultBackupValues(ReaderKind kind, Vec<RegValue>* out) {
    int n = 0;
    const char* const* exts = ReaderKindExts(kind, &n);
    for (int i = 0; i < n; i++) {
        AddSz(*out, kPrevDefaultKey, exts[i], {}).varies = true;
    }
}

namespace {
// The two running sums of the verification value, each with one set of multipliers for the
// first and one for the second word of an 8-byte block. The first multiplier of a set is
// not fixed: it comes from the MD5 of the input (made odd).
struct MixConstants {
    uint32_t k1, k2, k3, k4;
};
const MixConstants kSwapMultiplySets[2] = {{0xCF98B111, 0x87085B9F, 0x12CEB96D, 0x257E1D83},
                                           {0xA27416F5, 0xD38396FF, 0x7C932B89, 0xBFA49F69}};
const MixConstants kShiftAddSets[2] = {{0xEF0569FB, 0x689B6B9F, 0x79F8A395, 0xC3EFEA97},
                                       {0xC31713DB, 0xDDCD1F0F, 0x59C3AF2D, 0x35BD1EC9}};

constexpr const char* kUserChoiceSalt =
    "User Choice set via Windows User Experience {D18B6DD5-6124-4341-9318-804003BAFA0B}";
constexpr uint64_t kFileTimeMinute = 60ull * 10000000;

uint32_t Swap16(uint32_t v) {
    return v << 16 | v >> 16;
}

struct TwoSums {
    uint32_t h0 = 0, a0 = 0, h1 = 0, a1 = 0;

    void Add(uint32_t w, uint32_t k0, const MixConstants& c, const MixConstants& k) {
        h0 = (h0 + w) * k0;
        const uint32_t multipliers[] = {c.k1, c.k2, c.k3, c.k4};
        for (uint32_t m : multipliers) {
            h0 = Swap16(h0) * m;
        }
        a0 += h0;

        h1 += w;
        h1 = Swap16(h1) * k.k1 + h1 * k0;
        h1 = (h1 >> 16) * k.k2 + h1 * k.k3;
        h1 = Swap16(h1) * k.k4 + h1;
        a1 += h1;
    }
};

StrView Base64Temp(const uint8_t* data, int n) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Str out(GetTempArena());
    for (int i = 0; i < n; i += 3) {
        uint32_t group = (uint32_t)data[i] << 16;
        if (i + 1 < n) group |= (uint32_t)data[i + 1] << 8;
        if (i + 2 < n) group |= data[i + 2];
        for (int d = 0; d < 4; d++) {
            out.Append(i + d <= n ? kDigits[(group >> (18 - 6 * d)) & 63] : '=');
        }
    }
    return str::View(out);
}
}  // namespace

// MD5 seeds both sums; each 8-byte block feeds its two words to them; the result is the
// sums' final and accumulated values folded together, in base64.
StrView UserChoiceHashOfBytesTemp(const uint8_t* bytes, int32_t len) {
    int32_t blocks = len / 8;
    if (blocks == 0) {
        return {};
    }
    uint8_t md5[16];
    Md5(bytes, (size_t)len, md5);
    uint32_t seeds[2] = {LoadLe32(md5) | 1, LoadLe32(md5 + 4) | 1};
    TwoSums sums;
    for (int32_t i = 0; i < blocks * 2; i++) {
        int set = i % 2;
        sums.Add(LoadLe32(bytes + 4 * i), seeds[set], kSwapMultiplySets[set], kShiftAddSets[set]);
    }
    uint8_t result[8];
    StoreLe32(sums.h0 ^ sums.h1, result);
    StoreLe32(sums.a0 ^ sums.a1, result + 4);
    return Base64Temp(result, 8);
}

// The input is the four parts and a fixed salt as one lower-cased text; the time is written as
// its high and low halves in hex, truncated to the minute.
StrView UserChoiceHashOfTemp(StrView ext, StrView sid, StrView progId, uint64_t lastWriteTime) {
    uint64_t minute = lastWriteTime - lastWriteTime % kFileTimeMinute;
    StrView text = str::FormatTemp("%s%s%s%08x%08x%s", ext.CStr(), sid.CStr(), progId.CStr(), (unsigned)(minute >> 32),
                                   (unsigned)minute, kUserChoiceSalt);
    WStrView wide = ToWStrTemp(text);
    if (wide.IsEmpty()) {
        return {};
    }
    utf::LowerCaseInPlace((char16_t*)wide.s, wide.len);
    // The platform hashes the UTF-16LE text with its terminator.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "UTF-16 units are used as UTF-16LE bytes");
    return UserChoiceHashOfBytesTemp((const uint8_t*)wide.s, (wide.len + 1) * 2);
}
