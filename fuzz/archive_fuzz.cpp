// Feeds arbitrary bytes to the archive reader: the parse, the lookup and every decode must
// stay inside the input and within bounded memory, and what the parse accepts must hold
// together. Each input is tried as it is and again with its header CRC made right, so that
// mutations reach the data blocks and the decoders instead of stopping at the CRC.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <vector>

#include "archive/archive.h"
#include "archive/patch.h"

namespace {

// Files above this are not decoded: the allocation is the claimed size, and the
// fuzzer's memory limit would report it rather than a fault in the reader.
constexpr uint32_t kMaxDecodedSize = 1 << 20;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

// Writes the CRC where a header of these entry sizes would end; false when there is no
// such place.
bool FixHeaderCrc(std::vector<uint8_t>& b) {
    // A patch archive names its base version between the magic and the count.
    size_t countAt = b.size() > 4 && b[0] == 'L' && b[3] == 'P' ? 5 + (size_t)b[4] : 4;
    if (b.size() < countAt + 8) {
        return false;
    }
    uint32_t count = U32(b, countAt);
    if (count > (uint32_t)kArchiveMaxEntries) {
        return false;
    }
    size_t pos = countAt + 4;
    for (uint32_t i = 0; i < count; i++) {
        if (pos + 4 > b.size()) {
            return false;
        }
        uint32_t headerSize = U32(b, pos);
        if (headerSize < 25 || headerSize > 1024) {
            return false;
        }
        pos += headerSize;
    }
    if (pos + 4 > b.size()) {
        return false;
    }
    uint32_t crc = (uint32_t)crc32(0, b.data(), (uInt)pos);
    for (int i = 0; i < 4; i++) {
        b[pos + i] = (uint8_t)(crc >> (8 * i));
    }
    return true;
}

void Check(bool ok) {
    if (!ok) {
        abort();
    }
}

// A difference is applied without its base's hash matching, so that the instructions and
// streams are reached: against a fixed earlier file, into an exact-size buffer.
void ExerciseDifference(const ArchiveEntry& e) {
    if (ArchiveEntryKind(e) != EntryKind::Difference) {
        return;
    }
    static const uint8_t base[] = "an earlier version of the file";
    uint8_t* out = (uint8_t*)malloc(e.uncompressedSize ? e.uncompressedSize : 1);
    ApplyDifference(e.data + kFromBaseHeaderSize + 1, e.compressedSize - kFromBaseHeaderSize - 1, base,
                    sizeof(base), out, e.uncompressedSize);
    free(out);
}

void Exercise(const std::vector<uint8_t>& bytes, InstallerArchive* archive) {
    // An exact-size heap copy: AddressSanitizer reports any read past the end.
    uint8_t* copy = (uint8_t*)malloc(bytes.size() ? bytes.size() : 1);
    if (!bytes.empty()) {
        memcpy(copy, bytes.data(), bytes.size());
    }
    if (ParseSimpleArchive(copy, (int32_t)bytes.size(), archive)) {
        const uint8_t* next = nullptr;
        for (int32_t i = 0; i < archive->count; i++) {
            const ArchiveEntry& e = archive->entries[i];
            Check(IsValidArchiveEntryName(e.name));
            Check(next == nullptr || e.data == next);
            next = e.data + e.compressedSize;
            Check(FindArchiveEntry(archive, e.name) <= i);
            if (e.uncompressedSize <= kMaxDecodedSize) {
                free(GetFileDataByIdx(archive, i));
                ExerciseDifference(e);
            }
        }
        Check(archive->count == 0 || next == copy + bytes.size());
    } else {
        Check(archive->count == 0);
    }
    free(copy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static InstallerArchive* archive = new InstallerArchive();
    std::vector<uint8_t> bytes(data, data + size);
    Exercise(bytes, archive);
    if (FixHeaderCrc(bytes)) {
        Exercise(bytes, archive);
    }
    return 0;
}
