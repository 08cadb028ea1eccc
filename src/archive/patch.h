#pragma once
// The entries of a patch archive that are made from the earlier version's file of the same
// name. Their data block:
//
//   0x10 | SHA-256 of the earlier file | SHA-256 of the result | body
//   body: 0x20                   the file did not change: the result is the earlier file
//         0x21 | the difference  the result is the earlier file with a difference applied
//         a whole data block     the file changed too much for a difference to pay
//                                (method 0x00, 0x01 or 0xFF, as in a full archive)
//
// The difference is the earlier file read along with three streams: instructions, bytes
// to add to the earlier file's bytes, and new bytes.
//   count (u32) | instructions | added bytes | new bytes
//   each stream: its block's size (u32), then a data block (method 0x00 or 0xFF) whose
//   decoded size follows from the instructions: count x 12 bytes of instructions, the sum
//   of the adds, the sum of the copies
//   instruction: add (u32), copy (u32), seek (i32): take `add` bytes of the earlier file
//   at the current position plus the same number of added bytes (bytewise, modulo 256; a
//   position outside the earlier file counts as 0), then `copy` new bytes; then move the
//   position in the earlier file by add + seek.
// The entry's header holds the result's size and CRC-32, as any entry's does.
#include <stdint.h>

#include "archive/archive.h"
#include "base/sha256.h"

constexpr uint8_t kArchiveMethodFromBase = 0x10;
constexpr uint8_t kFromBaseSame = 0x20;
constexpr uint8_t kFromBaseDifference = 0x21;
constexpr int32_t kFromBaseHeaderSize = 1 + 2 * kSha256Size;  // before the body
constexpr int32_t kDifferenceInstructionSize = 12;

enum class EntryKind {
    Stored,      // a whole file, stored
    Lzma,        // a whole file, LZMA
    LzmaX86,     // a whole file, LZMA after the x86 filter
    Same,        // the earlier file, unchanged
    Difference,  // the earlier file with a difference applied
    Replaced,    // replaces the earlier file with a whole file
    Unknown,     // a kind this reader does not know: a newer tool made it, or it is damaged
};

// What the entry's block says it is. A from-base block too short for its header is Unknown.
EntryKind ArchiveEntryKind(const ArchiveEntry& e);
// Short lower-case name of a kind, for lists and log lines.
const char* EntryKindName(EntryKind kind);
// The byte that names the entry's kind: the block's first, or for an entry made from an
// earlier file its body's first (0 for an empty block). What a log names when the kind is
// Unknown.
uint8_t EntryKindByte(const ArchiveEntry& e);

// Whether the entry is made from the earlier version's file; if so, the SHA-256 that file
// must have.
bool IsFromBase(const ArchiveEntry& e);
const uint8_t* BaseSha256(const ArchiveEntry& e);
const uint8_t* ResultSha256(const ArchiveEntry& e);

enum class BuildOutcome {
    Built,
    BaseDiffers,   // the earlier file is not the one the entry was made from
    Damaged,       // the block does not decode, or the result fails its size or hashes
    UnknownKind,   // not a from-base entry, or a body this reader does not know
    OutOfMemory,
};

// The result file made from the earlier file's bytes, in a new malloc'd buffer of
// uncompressedSize + 2 bytes (the last two 0, as GetFileDataByIdx gives), checked against the
// entry's size, CRC-32 and SHA-256; null with the reason otherwise. The caller free()s it.
char* BuildFromBase(const ArchiveEntry& e, const uint8_t* base, uint32_t baseSize, BuildOutcome* outcome);

// Applies a difference body (after its 0x21) to the earlier file; out holds exactly
// resultSize bytes. False when the body is malformed or does not make exactly that many.
bool ApplyDifference(const uint8_t* body, uint32_t bodySize, const uint8_t* base, uint32_t baseSize, uint8_t* out,
                     uint32_t resultSize);
