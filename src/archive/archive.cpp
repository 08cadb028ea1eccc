#include "archive/archive.h"

#include <lzma.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include "base/dotted_version.h"

namespace {

// Reads little-endian values without ever passing the end. Positions are kept in 64 bits
// so that adding an untrusted 32-bit size can never wrap. After the first read or skip past
// the end the reader stays failed and every read yields 0.
struct BoundedReader {
    const uint8_t* bytes;
    int64_t size;
    int64_t pos = 0;
    bool ok = true;

    BoundedReader(const uint8_t* b, int32_t n) : bytes(b), size(n) {}

    int64_t Left() const { return size - pos; }

    uint32_t U32() {
        if (!ok || Left() < 4) {
            ok = false;
            return 0;
        }
        const uint8_t* p = bytes + pos;
        pos += 4;
        return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    }

    uint8_t U8() {
        if (!ok || Left() < 1) {
            ok = false;
            return 0;
        }
        return bytes[pos++];
    }

    void Skip(int64_t n) {
        if (!ok || n < 0 || n > Left()) {
            ok = false;
            return;
        }
        pos += n;
    }
};

uint32_t Crc32(const uint8_t* p, uint32_t n) {
    // zlib's crc32 takes a uInt length; our buffers are below 2 GiB.
    return (uint32_t)crc32(0, p, (uInt)n);
}

bool IsSep(char c) {
    return c == '\\' || c == '/';
}

// Windows drops trailing dots and spaces from a path component, so "..", ". ." and ".. "
// all mean a parent or the same folder there.
bool IsDotsAndSpacesOnly(const char* s, int32_t n) {
    for (int32_t i = 0; i < n; i++) {
        if (s[i] != '.' && s[i] != ' ') {
            return false;
        }
    }
    return true;
}

bool ReadBaseVersion(BoundedReader* r, StrView* version) {
    uint8_t len = r->U8();
    if (!r->ok || len > r->Left()) {
        return false;
    }
    StrView v((const char*)r->bytes + r->pos, len);
    if (!IsPatchBaseVersion(v)) {
        return false;
    }
    r->Skip(len);
    *version = v;
    return true;
}

}  // namespace

bool IsPatchBaseVersion(StrView v) {
    return v.len <= kPatchBaseVersionMaxLen && IsDottedVersion(v);
}

bool IsValidArchiveEntryName(StrView name) {
    if (name.len <= 0) {
        return false;
    }
    int32_t start = 0;
    for (int32_t i = 0; i <= name.len; i++) {
        if (i < name.len && name.s[i] == ':') {
            return false;
        }
        if (i == name.len || IsSep(name.s[i])) {
            if (IsDotsAndSpacesOnly(name.s + start, i - start)) {
                return false;  // also an empty component
            }
            start = i + 1;
        }
    }
    return true;
}

bool ParseSimpleArchive(const uint8_t* bytes, int32_t size, InstallerArchive* archive) {
    archive->count = 0;
    if (!bytes || size <= 7) {
        return false;
    }
    BoundedReader r(bytes, size);
    archive->patchBaseVersion = StrView();
    uint32_t magic = r.U32();
    if (magic == kPatchArchiveMagic) {
        if (!ReadBaseVersion(&r, &archive->patchBaseVersion)) {
            return false;
        }
    } else if (magic != kArchiveMagic) {
        return false;
    }
    uint32_t count = r.U32();
    if (count > (uint32_t)kArchiveMaxEntries) {
        return false;
    }

    for (uint32_t i = 0; i < count; i++) {
        if (r.Left() < kArchiveEntryHeaderFixedSize + 1) {
            return false;
        }
        uint32_t headerSize = r.U32();
        uint32_t nameLen = headerSize - (kArchiveEntryHeaderFixedSize + 1);  // wraps below 25
        if (nameLen > (uint32_t)kArchiveMaxNameLen) {
            return false;
        }
        if ((int64_t)headerSize - 4 > r.Left()) {
            return false;
        }
        ArchiveEntry& e = archive->entries[i];
        e.compressedSize = r.U32();
        e.uncompressedSize = r.U32();
        e.crc32 = r.U32();
        uint32_t timeLow = r.U32();
        uint32_t timeHigh = r.U32();
        e.fileTime = ((uint64_t)timeHigh << 32) | timeLow;
        const char* name = (const char*)bytes + r.pos;
        const void* nul = memchr(name, 0, nameLen);
        e.name = StrView(name, nul ? (int32_t)((const char*)nul - name) : (int32_t)nameLen);
        e.data = nullptr;
        r.Skip(nameLen);
        if (r.U8() != 0 || !r.ok) {
            return false;
        }
        if (!IsValidArchiveEntryName(e.name)) {
            return false;
        }
    }

    if (r.Left() < 4) {
        return false;
    }
    uint32_t headerCrc = Crc32(bytes, (uint32_t)r.pos);
    if (r.U32() != headerCrc) {
        return false;
    }
    if (count == 0) {
        return r.pos == size;
    }

    for (uint32_t i = 0; i < count; i++) {
        ArchiveEntry& e = archive->entries[i];
        if ((int64_t)e.compressedSize > r.Left()) {
            return false;
        }
        e.data = bytes + r.pos;
        r.Skip(e.compressedSize);
    }
    if (r.pos != size) {
        return false;
    }
    archive->count = (int32_t)count;
    return true;
}

int32_t FindArchiveEntry(const InstallerArchive* archive, StrView name) {
    for (int32_t i = 0; i < archive->count; i++) {
        const StrView& n = archive->entries[i].name;
        if (n.len == name.len && (n.len == 0 || memcmp(n.s, name.s, (size_t)n.len) == 0)) {
            return i;
        }
    }
    return -1;
}

namespace {

bool DecodeLzma(const uint8_t* block, uint32_t compressedSize, bool x86, uint8_t* out, uint32_t uncompressedSize) {
    const uint8_t* props = block + 1;
    uint32_t lclppb = props[0];
    if (lclppb >= 9 * 5 * 5) {
        return false;
    }
    lzma_options_lzma opt;
    memset(&opt, 0, sizeof(opt));
    opt.lc = lclppb % 9;
    opt.lp = (lclppb / 9) % 5;
    opt.pb = lclppb / 45;
    opt.dict_size = (uint32_t)props[1] | ((uint32_t)props[2] << 8) | ((uint32_t)props[3] << 16) |
                    ((uint32_t)props[4] << 24);
    // No match can reach further back than the start of the file, so a dictionary the size
    // of the file decodes exactly the same; it spares the allocation of the encoder's
    // dictionary size (16 MiB) for every small file, and a crafted block cannot make us
    // reserve gigabytes. liblzma raises anything below 4 KiB to 4 KiB itself.
    if (opt.dict_size > uncompressedSize) {
        opt.dict_size = uncompressedSize;
    }

    lzma_filter filters[3];
    int nf = 0;
    if (x86) {
        filters[nf++] = {LZMA_FILTER_X86, nullptr};  // start offset 0, fresh state
    }
    filters[nf++] = {LZMA_FILTER_LZMA1, &opt};
    filters[nf] = {LZMA_VLI_UNKNOWN, nullptr};

    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&strm, filters) != LZMA_OK) {
        lzma_end(&strm);
        return false;
    }
    strm.next_in = block + 1 + kArchiveLzmaPropsSize;
    strm.avail_in = compressedSize - 1 - kArchiveLzmaPropsSize;
    strm.next_out = out;
    strm.avail_out = uncompressedSize;
    lzma_ret ret = lzma_code(&strm, LZMA_FINISH);
    if (ret == LZMA_OK && strm.avail_out == 0) {
        // The output is full but the decoder stops there before reading the end marker:
        // one more call with room for a byte tells a clean end from a stream that goes on
        // (more bytes than the header claims) or has no marker.
        uint8_t spare = 0;
        strm.next_out = &spare;
        strm.avail_out = 1;
        ret = lzma_code(&strm, LZMA_FINISH);
        if (strm.avail_out == 0) {
            ret = LZMA_DATA_ERROR;
        }
    }
    bool ok = ret == LZMA_STREAM_END && strm.total_out == uncompressedSize;
    lzma_end(&strm);
    return ok;
}

}  // namespace

uint32_t DecoderScratchSize(const ArchiveEntry& e) {
    if (e.compressedSize < 1 + (uint32_t)kArchiveLzmaPropsSize ||
        (e.data[0] != kArchiveMethodLzma && e.data[0] != kArchiveMethodLzmaX86)) {
        return 0;
    }
    const uint8_t* props = e.data + 1;
    uint32_t dict = (uint32_t)props[1] | ((uint32_t)props[2] << 8) | ((uint32_t)props[3] << 16) |
                    ((uint32_t)props[4] << 24);
    dict = dict < e.uncompressedSize ? dict : e.uncompressedSize;
    constexpr uint32_t kSmallestDict = 4096;  // liblzma's own floor
    return dict > kSmallestDict ? dict : kSmallestDict;
}

bool DecompressEntry(const uint8_t* block, uint32_t compressedSize, uint8_t* out, uint32_t uncompressedSize) {
    if (compressedSize == 0) {
        return false;
    }
    uint8_t method = block[0];
    if (method == kArchiveMethodStored) {
        if ((uint64_t)compressedSize != (uint64_t)uncompressedSize + 1) {
            return false;
        }
        if (uncompressedSize > 0) {
            memcpy(out, block + 1, uncompressedSize);
        }
        return true;
    }
    if (method != kArchiveMethodLzma && method != kArchiveMethodLzmaX86) {
        return false;
    }
    if (compressedSize < 1 + (uint32_t)kArchiveLzmaPropsSize) {
        return false;
    }
    return DecodeLzma(block, compressedSize, method == kArchiveMethodLzmaX86, out, uncompressedSize);
}

char* GetFileDataByIdx(const InstallerArchive* archive, int32_t idx) {
    if (idx < 0 || idx >= archive->count) {
        return nullptr;
    }
    const ArchiveEntry& e = archive->entries[idx];
    if (e.uncompressedSize > kArchiveMaxFileSize) {
        return nullptr;
    }
    // A stored block carries its size exactly; refuse a mismatch before allocating.
    if (e.compressedSize > 0 && e.data[0] == kArchiveMethodStored &&
        (uint64_t)e.compressedSize != (uint64_t)e.uncompressedSize + 1) {
        return nullptr;
    }
    size_t n = (size_t)e.uncompressedSize;
    uint8_t* buf = (uint8_t*)malloc(n + 2);
    if (!buf) {
        return nullptr;
    }
    buf[n] = 0;
    buf[n + 1] = 0;
    if (!DecompressEntry(e.data, e.compressedSize, buf, e.uncompressedSize) || Crc32(buf, e.uncompressedSize) != e.crc32) {
        free(buf);
        return nullptr;
    }
    return (char*)buf;
}
