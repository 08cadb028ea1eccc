#include "archive/patch.h"

#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "base/bytes.h"

namespace {

bool IsWholeMethod(uint8_t m) {
    return m == kArchiveMethodStored || m == kArchiveMethodLzma || m == kArchiveMethodLzmaX86;
}

// One stream of a difference: its size, then its data block, decoded into a new buffer
// of exactly size bytes.
struct StreamReader {
    const uint8_t* p;
    const uint8_t* end;

    uint8_t* Next(uint32_t decodedSize) {
        if (end - p < 4) {
            return nullptr;
        }
        uint32_t blockSize = LoadLe32(p);
        p += 4;
        if (blockSize == 0 || blockSize > (uint64_t)(end - p)) {
            return nullptr;
        }
        uint8_t* out = (uint8_t*)malloc(decodedSize ? decodedSize : 1);
        if (out && !DecompressEntry(p, blockSize, out, decodedSize)) {
            free(out);
            out = nullptr;
        }
        p += blockSize;
        return out;
    }
};

struct Instruction {
    uint32_t add;
    uint32_t copy;
    int32_t seek;
};

Instruction InstructionAt(const uint8_t* instructions, uint32_t i) {
    const uint8_t* p = instructions + (size_t)i * kDifferenceInstructionSize;
    return {LoadLe32(p), LoadLe32(p + 4), (int32_t)LoadLe32(p + 8)};
}

// Runs the instructions once the three streams are decoded. Every length is checked
// against what is left of the result and of its stream before anything is copied.
bool RunInstructions(const uint8_t* instructions, uint32_t count, const uint8_t* added, uint64_t addedSize,
                     const uint8_t* fresh, uint64_t freshSize, const uint8_t* base, uint32_t baseSize,
                     uint8_t* out, uint32_t resultSize) {
    uint64_t at = 0, addedAt = 0, freshAt = 0;
    int64_t basePos = 0;
    for (uint32_t i = 0; i < count; i++) {
        Instruction ins = InstructionAt(instructions, i);
        if (ins.add > resultSize - at || ins.add > addedSize - addedAt) {
            return false;
        }
        for (uint32_t k = 0; k < ins.add; k++) {
            int64_t from = basePos + k;
            uint8_t b = from >= 0 && from < baseSize ? base[from] : 0;
            out[at + k] = (uint8_t)(added[addedAt + k] + b);
        }
        at += ins.add;
        addedAt += ins.add;
        if (ins.copy > resultSize - at || ins.copy > freshSize - freshAt) {
            return false;
        }
        memcpy(out + at, fresh + freshAt, ins.copy);
        at += ins.copy;
        freshAt += ins.copy;
        basePos += (int64_t)ins.add + ins.seek;
    }
    return at == resultSize && addedAt == addedSize && freshAt == freshSize;
}

}  // namespace

bool ApplyDifference(const uint8_t* body, uint32_t bodySize, const uint8_t* base, uint32_t baseSize, uint8_t* out,
                     uint32_t resultSize) {
    if (bodySize < 4) {
        return false;
    }
    uint32_t count = LoadLe32(body);
    // Each instruction makes at least one byte, except a last one that only moves; and the
    // instructions must fit in a buffer the reader can decode.
    if (count > (uint64_t)resultSize + 1 || count > kArchiveMaxFileSize / kDifferenceInstructionSize) {
        return false;
    }
    StreamReader streams{body + 4, body + bodySize};
    uint8_t* instructions = streams.Next(count * kDifferenceInstructionSize);
    if (!instructions) {
        return false;
    }
    uint64_t addedSize = 0, freshSize = 0;
    for (uint32_t i = 0; i < count; i++) {
        Instruction ins = InstructionAt(instructions, i);
        addedSize += ins.add;
        freshSize += ins.copy;
    }
    bool ok = false;
    if (addedSize + freshSize == resultSize) {
        uint8_t* added = streams.Next((uint32_t)addedSize);
        uint8_t* fresh = added ? streams.Next((uint32_t)freshSize) : nullptr;
        ok = fresh && streams.p == streams.end &&
             RunInstructions(instructions, count, added, addedSize, fresh, freshSize, base, baseSize, out, resultSize);
        free(added);
        free(fresh);
    }
    free(instructions);
    return ok;
}

uint8_t EntryKindByte(const ArchiveEntry& e) {
    return IsFromBase(e) ? e.data[kFromBaseHeaderSize] : e.compressedSize ? e.data[0] : 0;
}

bool IsFromBase(const ArchiveEntry& e) {
    return e.compressedSize > (uint32_t)kFromBaseHeaderSize && e.data[0] == kArchiveMethodFromBase;
}

const uint8_t* BaseSha256(const ArchiveEntry& e) {
    return IsFromBase(e) ? e.data + 1 : nullptr;
}

const uint8_t* ResultSha256(const ArchiveEntry& e) {
    return IsFromBase(e) ? e.data + 1 + kSha256Size : nullptr;
}

EntryKind ArchiveEntryKind(const ArchiveEntry& e) {
    if (e.compressedSize == 0) {
        return EntryKind::Unknown;
    }
    switch (e.data[0]) {
        case kArchiveMethodStored:
            return EntryKind::Stored;
        case kArchiveMethodLzma:
            return EntryKind::Lzma;
        case kArchiveMethodLzmaX86:
            return EntryKind::LzmaX86;
        default:
            break;
    }
    if (!IsFromBase(e)) {
        return EntryKind::Unknown;
    }
    uint8_t body = e.data[kFromBaseHeaderSize];
    if (body == kFromBaseSame) {
        return e.compressedSize == (uint32_t)kFromBaseHeaderSize + 1 ? EntryKind::Same : EntryKind::Unknown;
    }
    if (body == kFromBaseDifference) {
        return EntryKind::Difference;
    }
    return IsWholeMethod(body) ? EntryKind::Replaced : EntryKind::Unknown;
}

const char* EntryKindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::Stored:
            return "stored";
        case EntryKind::Lzma:
            return "lzma";
        case EntryKind::LzmaX86:
            return "lzma+x86";
        case EntryKind::Same:
            return "same";
        case EntryKind::Difference:
            return "diff";
        case EntryKind::Replaced:
            return "replaced";
        case EntryKind::Unknown:
            break;
    }
    return "unknown";
}

namespace {

bool MakeResult(const ArchiveEntry& e, EntryKind kind, const uint8_t* base, uint32_t baseSize, uint8_t* out) {
    const uint8_t* body = e.data + kFromBaseHeaderSize;
    uint32_t bodySize = e.compressedSize - kFromBaseHeaderSize;
    switch (kind) {
        case EntryKind::Same:
            if (baseSize != e.uncompressedSize) {
                return false;
            }
            if (baseSize > 0) {
                memcpy(out, base, baseSize);
            }
            return true;
        case EntryKind::Difference:
            return ApplyDifference(body + 1, bodySize - 1, base, baseSize, out, e.uncompressedSize);
        default:
            return DecompressEntry(body, bodySize, out, e.uncompressedSize);
    }
}

}  // namespace

char* BuildFromBase(const ArchiveEntry& e, const uint8_t* base, uint32_t baseSize, BuildOutcome* outcome) {
    EntryKind kind = ArchiveEntryKind(e);
    if (kind != EntryKind::Same && kind != EntryKind::Difference && kind != EntryKind::Replaced) {
        *outcome = BuildOutcome::UnknownKind;
        return nullptr;
    }
    uint8_t digest[kSha256Size];
    Sha256Of(base, baseSize, digest);
    if (memcmp(digest, BaseSha256(e), kSha256Size) != 0) {
        *outcome = BuildOutcome::BaseDiffers;
        return nullptr;
    }
    if (e.uncompressedSize > kArchiveMaxFileSize) {
        *outcome = BuildOutcome::Damaged;
        return nullptr;
    }
    size_t n = e.uncompressedSize;
    uint8_t* out = (uint8_t*)malloc(n + 2);
    if (!out) {
        *outcome = BuildOutcome::OutOfMemory;
        return nullptr;
    }
    out[n] = 0;
    out[n + 1] = 0;
    bool ok = MakeResult(e, kind, base, baseSize, out);
    if (ok) {
        Sha256Of(out, n, digest);
        ok = memcmp(digest, ResultSha256(e), kSha256Size) == 0 && (uint32_t)crc32(0, out, (uInt)n) == e.crc32;
    }
    if (!ok) {
        free(out);
        *outcome = BuildOutcome::Damaged;
        return nullptr;
    }
    *outcome = BuildOutcome::Built;
    return (char*)out;
}
