#pragma once
// Crafts "LzSA" archives byte by byte for tests and fuzz seeds, including ones no correct
// packer would write: every field can be overridden.
#include <lzma.h>
#include <stdint.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace testpak {

inline uint32_t Crc(const std::string& s) {
    return (uint32_t)crc32(0, (const Bytef*)s.data(), (uInt)s.size());
}

inline void PutU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; i++) {
        s.push_back((char)(v >> (8 * i)));
    }
}

inline std::string StoredBlock(const std::string& data) {
    return std::string(1, '\xFF') + data;
}

// An LZMA data block (method 0x00, or 0x01 with the x86 filter) with properties 0x5D.
// Without the end marker the stream still decodes to the right bytes but stops silently.
inline std::string LzmaBlock(const std::string& data, uint8_t method = 0x01, bool endMarker = true,
                             uint32_t dictSize = 1u << 20) {
    lzma_options_lzma opt;
    lzma_lzma_preset(&opt, 1);
    opt.dict_size = dictSize;
    opt.ext_flags = 0;
    opt.ext_size_low = UINT32_MAX;
    opt.ext_size_high = UINT32_MAX;
    lzma_filter filters[3];
    int n = 0;
    if (method == 0x01) {
        filters[n++] = {LZMA_FILTER_X86, nullptr};
    }
    filters[n++] = {endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &opt};
    filters[n] = {LZMA_VLI_UNKNOWN, nullptr};

    std::string out(1, (char)method);
    out.push_back(0x5D);
    PutU32(out, dictSize);
    std::vector<uint8_t> buf(data.size() + data.size() / 2 + 1024);
    size_t outPos = 0;
    if (lzma_raw_buffer_encode(filters, nullptr, (const uint8_t*)data.data(), data.size(), buf.data(), &outPos,
                               buf.size()) != LZMA_OK) {
        return "<encode failed>";
    }
    out.append((const char*)buf.data(), outPos);
    return out;
}

struct Entry {
    std::string name;
    std::string block;
    uint32_t size = 0;
    uint32_t crc = 0;
    uint64_t fileTime = 0x01D9000000000000ull;
    int64_t headerSize = -1;      // -1: 24 + name + NUL
    int64_t compressedSize = -1;  // -1: the block's size
};

inline Entry Stored(const std::string& name, const std::string& data) {
    return {name, StoredBlock(data), (uint32_t)data.size(), Crc(data)};
}

inline Entry Lzma(const std::string& name, const std::string& data, uint8_t method = 0x01, bool endMarker = true) {
    return {name, LzmaBlock(data, method, endMarker), (uint32_t)data.size(), Crc(data)};
}

// What comes before the count: a full archive's magic, or a patch archive's with its base
// version (any bytes, to try what the reader refuses).
inline std::string PatchMagic(const std::string& baseVersion) {
    return "LzSP" + std::string(1, (char)baseVersion.size()) + baseVersion;
}

// Magic, count, entry headers and the header CRC (or the given one).
inline std::string Header(const std::vector<Entry>& entries, int64_t count = -1, int64_t crc = -1,
                          const std::string& magic = "LzSA") {
    std::string h = magic;
    PutU32(h, (uint32_t)(count >= 0 ? count : (int64_t)entries.size()));
    for (const Entry& e : entries) {
        PutU32(h, (uint32_t)(e.headerSize >= 0 ? e.headerSize : 24 + (int64_t)e.name.size() + 1));
        PutU32(h, (uint32_t)(e.compressedSize >= 0 ? e.compressedSize : (int64_t)e.block.size()));
        PutU32(h, e.size);
        PutU32(h, e.crc);
        PutU32(h, (uint32_t)e.fileTime);
        PutU32(h, (uint32_t)(e.fileTime >> 32));
        h += e.name;
        h.push_back('\0');
    }
    PutU32(h, crc >= 0 ? (uint32_t)crc : Crc(h));
    return h;
}

inline std::string Build(const std::vector<Entry>& entries, const std::string& magic = "LzSA") {
    std::string a = Header(entries, -1, -1, magic);
    for (const Entry& e : entries) {
        a += e.block;
    }
    return a;
}

// The body of a difference (after its kind byte): the count, then the instructions, the
// added bytes and the new bytes, each stream stored or LZMA.
struct Step {
    uint32_t add, copy;
    int32_t seek;
};

inline std::string DifferenceBody(const std::vector<Step>& steps, const std::string& added, const std::string& fresh,
                                  bool lzma = false) {
    std::string instructions;
    for (const Step& s : steps) {
        PutU32(instructions, s.add);
        PutU32(instructions, s.copy);
        PutU32(instructions, (uint32_t)s.seek);
    }
    std::string body;
    PutU32(body, (uint32_t)steps.size());
    for (const std::string& stream : {instructions, added, fresh}) {
        std::string block = lzma ? LzmaBlock(stream, 0x00) : StoredBlock(stream);
        PutU32(body, (uint32_t)block.size());
        body += block;
    }
    return body;
}

// An entry made from an earlier file: its kind byte, the two SHA-256 digests given as 32
// bytes each, then the body (0x20, 0x21 and a difference, or a whole data block).
inline Entry FromBase(const std::string& name, const std::string& baseSha, const std::string& result,
                      const std::string& resultSha, const std::string& body) {
    return {name, "\x10" + baseSha + resultSha + body, (uint32_t)result.size(), Crc(result)};
}

}  // namespace testpak
