#pragma once
// The "LzSA" payload archive: a header listing the entries, a CRC-32 over that header, then
// every entry's data block back to back. All integers are little-endian, nothing is aligned.
//
//   "LzSA" | count | count entry headers | CRC-32 of everything before it | data blocks
//   entry header: headerSize, compressedSize, uncompressedSize, crc32, FILETIME, name, NUL
//   data block:   method (0xFF stored, 0x00 LZMA, 0x01 LZMA + x86 BCJ),
//                 for LZMA the 5 property bytes, then the raw stream ending in an end marker
//
// The archive bytes are untrusted until ParseSimpleArchive accepts them; afterwards each
// file is decoded on demand and checked against its CRC-32.
//
// A patch archive ("LzSP") updates one earlier version's installation. Its header names
// that version right after the magic (one length byte, then the version's characters);
// everything after is laid out as above. Its entries are whole files (the methods above)
// or made from the earlier version's file of the same name (patch.h).
#include <stdint.h>

#include "base/str.h"

constexpr uint32_t kArchiveMagic = 0x41537A4C;       // "LzSA"
constexpr uint32_t kPatchArchiveMagic = 0x50537A4C;  // "LzSP"
constexpr int32_t kPatchBaseVersionMaxLen = 31;
constexpr int32_t kArchiveMaxEntries = 2048;
constexpr int32_t kArchiveMaxNameLen = 999;
constexpr int32_t kArchiveEntryHeaderFixedSize = 24;  // before the name
constexpr uint8_t kArchiveMethodLzma = 0x00;
constexpr uint8_t kArchiveMethodLzmaX86 = 0x01;
constexpr uint8_t kArchiveMethodStored = 0xFF;
constexpr int32_t kArchiveLzmaPropsSize = 5;
// The largest file GetFileDataByIdx can hand out (the buffer adds two NUL bytes).
constexpr uint32_t kArchiveMaxFileSize = 0x7FFFFFFD;

struct ArchiveEntry {
    uint32_t compressedSize = 0;  // of the data block, method byte included
    uint32_t uncompressedSize = 0;
    uint32_t crc32 = 0;
    uint64_t fileTime = 0;  // FILETIME; carried, not used
    StrView name;           // into the header bytes; the bytes before the first NUL
    const uint8_t* data = nullptr;  // the data block inside the archive bytes
};

struct InstallerArchive {
    int32_t count = 0;
    // Of a patch archive: the version whose installation it updates; empty in a full archive.
    StrView patchBaseVersion;
    ArchiveEntry entries[kArchiveMaxEntries];
};

// Checks the whole layout (limits, entry names, header CRC, blocks ending exactly at the
// end; of a patch archive, a base version of digits and dots) and fills the table with views into bytes, which must outlive it. On failure the
// count is 0.
bool ParseSimpleArchive(const uint8_t* bytes, int32_t size, InstallerArchive* archive);

// Whether a patch archive may name this as its base version: digits with single dots
// between them, as an installation's recorded version is written (1 to 31 characters).
bool IsPatchBaseVersion(StrView version);

// Index of the first entry whose name has exactly these bytes (case matters), or -1.
int32_t FindArchiveEntry(const InstallerArchive* archive, StrView name);

// The decoded file in a new malloc'd buffer of uncompressedSize + 2 bytes, the last two 0 so
// that a text file is also a NUL-terminated UTF-8 or UTF-16 string; null when the index is
// out of range, the block does not decode (an entry made from an earlier version's file
// needs that file: BuildFromBase) or the CRC-32 differs. The caller free()s it.
char* GetFileDataByIdx(const InstallerArchive* archive, int32_t idx);

// The memory decoding the entry needs besides its output: the LZMA dictionary, which
// DecompressEntry limits to the file's size; 0 for a stored entry.
uint32_t DecoderScratchSize(const ArchiveEntry& e);

// Decodes one data block into out, which holds exactly uncompressedSize bytes.
bool DecompressEntry(const uint8_t* block, uint32_t compressedSize, uint8_t* out, uint32_t uncompressedSize);

// Whether a name may stand in the archive: a relative path of non-empty components
// separated by '\' (or '/'), none of which Windows would turn into "." or ".." (only dots
// and spaces), and no ':' (no drive, no alternate stream). Extraction joins names to the
// installation directory, so anything else could write outside it.
bool IsValidArchiveEntryName(StrView name);

// The loaded program's own archive (Windows): loaded and verified once per process.
// Returns whether it holds at least one entry.
bool EnsureEmbeddedArchiveLoaded();
// The table filled by EnsureEmbeddedArchiveLoaded (count 0 when loading failed).
const InstallerArchive* GetEmbeddedArchive();
// The resource's size in bytes; -1 when there was no resource, 0 before loading.
int32_t GetEmbeddedArchiveSize();
