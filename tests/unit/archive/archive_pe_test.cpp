#include "archive/archive_pe.h"

#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

namespace {

void Put16(std::string& s, size_t at, uint32_t v) {
    s[at] = (char)v;
    s[at + 1] = (char)(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

constexpr size_t kRsrcFile = 0x200;  // where the resource section starts in the file
constexpr uint32_t kRsrcRva = 0x3000;
constexpr size_t kPayloadAt = 0x58;  // inside the section

// The smallest PE32+ file with one section, .rsrc, holding RCDATA <id> = payload.
std::string MinimalPe(const std::string& payload, uint32_t type = 10, uint32_t id = 1) {
    std::string pe(kRsrcFile + kPayloadAt + payload.size(), '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    Put32(pe, 0x3C, 64);
    memcpy(&pe[64], "PE\0\0", 4);
    size_t coff = 68;
    Put16(pe, coff, 0x8664);
    Put16(pe, coff + 2, 1);    // sections
    Put16(pe, coff + 16, 240);  // optional header size
    size_t opt = coff + 20;
    Put16(pe, opt, 0x20B);
    Put32(pe, opt + 108, 16);  // data directories
    Put32(pe, opt + 112 + 2 * 8, kRsrcRva);
    Put32(pe, opt + 112 + 2 * 8 + 4, (uint32_t)(kPayloadAt + payload.size()));
    size_t sec = opt + 240;
    memcpy(&pe[sec], ".rsrc", 5);
    Put32(pe, sec + 8, (uint32_t)(kPayloadAt + payload.size()));
    Put32(pe, sec + 12, kRsrcRva);
    Put32(pe, sec + 16, (uint32_t)(kPayloadAt + payload.size()));
    Put32(pe, sec + 20, (uint32_t)kRsrcFile);
    // Three directory levels (type, id, language), each with one entry, then the data entry.
    size_t r = kRsrcFile;
    Put16(pe, r + 14, 1);
    Put32(pe, r + 16, type);
    Put32(pe, r + 20, 0x80000000u | 0x18);
    Put16(pe, r + 0x18 + 14, 1);
    Put32(pe, r + 0x18 + 16, id);
    Put32(pe, r + 0x18 + 20, 0x80000000u | 0x30);
    Put16(pe, r + 0x30 + 14, 1);
    Put32(pe, r + 0x30 + 16, 0x409);
    Put32(pe, r + 0x30 + 20, 0x48);
    Put32(pe, r + 0x48, kRsrcRva + (uint32_t)kPayloadAt);
    Put32(pe, r + 0x48 + 4, (uint32_t)payload.size());
    memcpy(&pe[kRsrcFile + kPayloadAt], payload.data(), payload.size());
    return pe;
}

// The found resource's bytes, or "<none>".
std::string Find(const std::string& pe, uint32_t id = 1) {
    // An exact-size copy, so that AddressSanitizer sees any read past the end.
    std::vector<uint8_t> bytes(pe.begin(), pe.end());
    int64_t off = -1;
    uint32_t len = 0;
    if (!FindPeRcData(bytes.data(), (int64_t)bytes.size(), id, &off, &len)) {
        return "<none>";
    }
    return pe.substr((size_t)off, len);
}

TEST(FindPeRcData, FindsTheResourceThroughTheSectionTable) {
    EXPECT_EQ(Find(MinimalPe("LzSA payload")), "LzSA payload");
    EXPECT_EQ(Find(MinimalPe("LzSA payload"), 2), "<none>");
    EXPECT_EQ(Find(MinimalPe("LzSA payload", 3 /* RT_ICON */)), "<none>");
}

TEST(FindPeRcData, RefusesDamagedFilesWithoutReadingPastThem) {
    const std::string good = MinimalPe("LzSA payload");
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    const Case cases[] = {
        {"no MZ", [](std::string& s) { s[0] = 'X'; }},
        {"PE header beyond the end", [](std::string& s) { Put32(s, 0x3C, 0x7FFFFFF0); }},
        {"unknown optional header", [](std::string& s) { Put16(s, 88, 0x30B); }},
        {"two data directories only", [](std::string& s) { Put32(s, 88 + 108, 2); }},
        {"section table beyond the end", [](std::string& s) { Put16(s, 70, 0xFFFF); }},
        {"resource RVA in no section", [](std::string& s) { Put32(s, 88 + 128, 0x9000); }},
        {"section data beyond the end", [](std::string& s) { Put32(s, 328 + 20, 0xFFFFFF00); }},
        {"directory with 65535 entries", [](std::string& s) { Put16(s, kRsrcFile + 14, 0xFFFF); }},
        {"subdirectory beyond the section", [](std::string& s) { Put32(s, kRsrcFile + 20, 0x8FFFFFF0); }},
        {"data entry beyond the section", [](std::string& s) { Put32(s, kRsrcFile + 0x30 + 20, 0x7FFFFFF0); }},
        {"language level is not a data entry", [](std::string& s) { Put32(s, kRsrcFile + 0x30 + 20, 0x80000018); }},
        {"data longer than its section", [](std::string& s) { Put32(s, kRsrcFile + 0x48 + 4, 0x1000); }},
        {"data at an RVA in no section", [](std::string& s) { Put32(s, kRsrcFile + 0x48, 0x100); }},
    };
    for (const Case& c : cases) {
        std::string pe = good;
        c.damage(pe);
        EXPECT_EQ(Find(pe), "<none>") << c.what;
    }
    for (size_t n = 0; n < good.size(); n++) {
        EXPECT_EQ(Find(good.substr(0, n)), "<none>") << "cut at " << n;
    }
}

}  // namespace
