#include "archive/archive_pe.h"

namespace {

constexpr uint32_t kRtRcData = 10;
constexpr uint32_t kResourceDirIndex = 2;

struct PeBytes {
    const uint8_t* bytes;
    int64_t size;

    bool Has(int64_t off, int64_t n) const { return off >= 0 && n >= 0 && off <= size && n <= size - off; }
    uint16_t U16(int64_t off) const { return (uint16_t)(bytes[off] | (bytes[off + 1] << 8)); }
    uint32_t U32(int64_t off) const {
        return (uint32_t)bytes[off] | ((uint32_t)bytes[off + 1] << 8) | ((uint32_t)bytes[off + 2] << 16) |
               ((uint32_t)bytes[off + 3] << 24);
    }
};

struct Section {
    uint32_t va;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// Looks up one level of the resource tree: the entry with this numeric id (or, with
// anyId, the first entry) of the directory at dirOff. Returns the entry's OffsetToData.
bool FindDirEntry(const PeBytes& pe, int64_t rsrcOff, int64_t rsrcSize, uint32_t dirOff, uint32_t id, bool anyId,
                  uint32_t* target) {
    if ((int64_t)dirOff > rsrcSize - 16) {
        return false;
    }
    int64_t dir = rsrcOff + dirOff;
    int64_t named = pe.U16(dir + 12);
    int64_t ids = pe.U16(dir + 14);
    int64_t first = dir + 16;
    if ((int64_t)dirOff + 16 + (named + ids) * 8 > rsrcSize) {
        return false;
    }
    for (int64_t i = 0; i < named + ids; i++) {
        int64_t e = first + i * 8;
        uint32_t name = pe.U32(e);
        if (anyId || (!(name & 0x80000000u) && name == id)) {
            *target = pe.U32(e + 4);
            return true;
        }
    }
    return false;
}

}  // namespace

bool FindPeRcData(const uint8_t* bytes, int64_t size, uint32_t id, int64_t* offset, uint32_t* len) {
    PeBytes pe{bytes, size};
    if (!pe.Has(0, 64) || pe.U16(0) != 0x5A4D) {  // "MZ"
        return false;
    }
    int64_t peOff = pe.U32(0x3C);
    if (!pe.Has(peOff, 24) || pe.U32(peOff) != 0x00004550) {  // "PE\0\0"
        return false;
    }
    int64_t coff = peOff + 4;
    int64_t sectionCount = pe.U16(coff + 2);
    int64_t optSize = pe.U16(coff + 16);
    int64_t opt = coff + 20;
    if (!pe.Has(opt, optSize) || optSize < 2) {
        return false;
    }
    uint16_t magic = pe.U16(opt);
    int64_t dirsAt = magic == 0x20B ? 112 : magic == 0x10B ? 96 : -1;
    if (dirsAt < 0 || optSize < dirsAt) {
        return false;
    }
    uint32_t dirCount = pe.U32(opt + dirsAt - 4);
    if (dirCount <= kResourceDirIndex || optSize < dirsAt + (kResourceDirIndex + 1) * 8) {
        return false;
    }
    uint32_t rsrcRva = pe.U32(opt + dirsAt + kResourceDirIndex * 8);
    int64_t sections = opt + optSize;
    if (!pe.Has(sections, sectionCount * 40)) {
        return false;
    }

    // RVA to file offset through the section that holds it in the file.
    auto toFile = [&](uint32_t rva, int64_t* fileOff, int64_t* avail) {
        for (int64_t i = 0; i < sectionCount; i++) {
            int64_t s = sections + i * 40;
            Section sec{pe.U32(s + 12), pe.U32(s + 16), pe.U32(s + 20)};
            if (rva >= sec.va && (int64_t)rva - sec.va < sec.rawSize) {
                *fileOff = (int64_t)sec.rawOffset + (rva - sec.va);
                *avail = (int64_t)sec.rawSize - (rva - sec.va);
                if (*avail > size - *fileOff) {
                    *avail = size - *fileOff;
                }
                return *avail > 0;
            }
        }
        return false;
    };

    int64_t rsrcOff = 0;
    int64_t rsrcSize = 0;
    if (rsrcRva == 0 || !toFile(rsrcRva, &rsrcOff, &rsrcSize)) {
        return false;
    }
    uint32_t typeDir = 0;
    uint32_t nameDir = 0;
    uint32_t dataEntry = 0;
    if (!FindDirEntry(pe, rsrcOff, rsrcSize, 0, kRtRcData, false, &typeDir) || !(typeDir & 0x80000000u)) {
        return false;
    }
    if (!FindDirEntry(pe, rsrcOff, rsrcSize, typeDir & 0x7FFFFFFFu, id, false, &nameDir) || !(nameDir & 0x80000000u)) {
        return false;
    }
    if (!FindDirEntry(pe, rsrcOff, rsrcSize, nameDir & 0x7FFFFFFFu, 0, true, &dataEntry) || (dataEntry & 0x80000000u)) {
        return false;
    }
    if ((int64_t)dataEntry > rsrcSize - 16) {
        return false;
    }
    uint32_t dataRva = pe.U32(rsrcOff + dataEntry);
    uint32_t dataSize = pe.U32(rsrcOff + dataEntry + 4);
    int64_t dataOff = 0;
    int64_t avail = 0;
    if (!toFile(dataRva, &dataOff, &avail) || (int64_t)dataSize > avail) {
        return false;
    }
    *offset = dataOff;
    *len = dataSize;
    return true;
}
