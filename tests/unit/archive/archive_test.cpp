#include "archive/archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../../helpers/archive_builder.h"

using testpak::Entry;

namespace {

struct Parsed {
    std::string bytes;  // the table points into these
    std::unique_ptr<InstallerArchive> archive = std::make_unique<InstallerArchive>();
    bool ok = false;
};

std::unique_ptr<Parsed> Parse(std::string bytes) {
    auto p = std::make_unique<Parsed>();
    p->bytes = std::move(bytes);
    p->ok = ParseSimpleArchive((const uint8_t*)p->bytes.data(), (int32_t)p->bytes.size(), p->archive.get());
    return p;
}

// The file as GetFileDataByIdx hands it out, or "<null>"; checks the two trailing NULs.
std::string Decode(const Parsed& p, int32_t idx) {
    char* data = GetFileDataByIdx(p.archive.get(), idx);
    if (!data) {
        return "<null>";
    }
    uint32_t n = p.archive->entries[idx].uncompressedSize;
    std::string s(data, n);
    bool nuls = data[n] == 0 && data[n + 1] == 0;
    free(data);
    return nuls ? s : "<no trailing NULs>";
}

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) {
        c = (char)(rng() & 0xFF);
    }
    return s;
}

// Repetitive text with some variation: compresses well, like most of a real payload.
std::string TextBytes(size_t n) {
    std::string s;
    for (size_t i = 0; s.size() < n; i++) {
        s += "line " + std::to_string(i * 7919 % 1000) + " of the quick start guide\r\n";
    }
    s.resize(n);
    return s;
}

std::vector<Entry> ThreeFiles() {
    return {testpak::Lzma("vlpdf.exe", TextBytes(5000)), testpak::Stored("UserSDKHost\\logo.png", "PNG!"),
            testpak::Lzma("translations.txt", "cn\n", 0x00)};
}

std::vector<Entry> ManyEmptyFiles(int n) {
    std::vector<Entry> entries;
    for (int i = 0; i < n; i++) {
        entries.push_back(testpak::Stored("f" + std::to_string(i), ""));
    }
    return entries;
}

std::string FlipBit(std::string s, size_t at) {
    s[at] ^= 0x10;
    return s;
}

struct LayoutCase {
    const char* what;
    std::function<std::string()> bytes;
    bool valid;
    int32_t count;
};

TEST(ParseSimpleArchive, AcceptsExactlyTheWellFormedLayouts) {
    std::string threeFiles = testpak::Build(ThreeFiles());
    size_t headerEnd = testpak::Header(ThreeFiles()).size();
    Entry longName = testpak::Stored(std::string(999, 'n'), "x");
    Entry overlongName = testpak::Stored(std::string(1000, 'n'), "x");
    const std::vector<LayoutCase> cases = {
        {"count 0, nothing after the CRC", [] { return testpak::Header({}); }, true, 0},
        {"count 0, one byte after the CRC", [] { return testpak::Header({}) + "x"; }, false, 0},
        {"seven bytes", [] { return std::string("LzSA\0\0\0", 7); }, false, 0},
        {"wrong magic", [] { return "LzSB" + testpak::Header({}).substr(4); }, false, 0},
        {"three files", [&] { return threeFiles; }, true, 3},
        {"one byte appended", [&] { return threeFiles + std::string(1, '\0'); }, false, 0},
        {"one byte missing", [&] { return threeFiles.substr(0, threeFiles.size() - 1); }, false, 0},
        {"header CRC only, blocks missing", [&] { return threeFiles.substr(0, headerEnd); }, false, 0},
        {"flipped bit in the count", [&] { return FlipBit(threeFiles, 5); }, false, 0},
        {"flipped bit in a name", [&] { return FlipBit(threeFiles, 8 + 24 + 2); }, false, 0},
        {"flipped bit in the header CRC", [&] { return FlipBit(threeFiles, headerEnd - 2); }, false, 0},
        {"2048 entries", [] { return testpak::Build(ManyEmptyFiles(2048)); }, true, 2048},
        {"2049 entries", [] { return testpak::Build(ManyEmptyFiles(2049)); }, false, 0},
        {"count 0xFFFFFFFF", [] { return testpak::Header({}, 0xFFFFFFFF); }, false, 0},
        {"count beyond the headers present", [] { return testpak::Header(ManyEmptyFiles(1), 2) + "\xFF"; }, false, 0},
        {"headerSize 1024, 999-byte name", [&] { return testpak::Build({longName}); }, true, 1},
        {"headerSize 1025, 1000-byte name", [&] { return testpak::Build({overlongName}); }, false, 0},
        {"headerSize 24",
         [] {
             Entry e = testpak::Stored("a", "x");
             e.headerSize = 24;
             return testpak::Build({e});
         },
         false, 0},
        {"headerSize one more than the name",
         [] {
             Entry e = testpak::Stored("ab", "x");
             e.headerSize = 24 + 2 + 2;
             return testpak::Build({e, testpak::Stored("cd", "y")});
         },
         false, 0},
        {"headerSize past the end",
         [] {
             Entry e = testpak::Stored("ab", "");
             e.headerSize = 1000;
             return testpak::Header({e});
         },
         false, 0},
        {"compressedSize 0xFFFFFFFF",
         [] {
             Entry e = testpak::Stored("a", "x");
             e.compressedSize = 0xFFFFFFFF;
             return testpak::Build({e});
         },
         false, 0},
        {"compressedSizes summing to 2^32 + the real size",
         [] {
             Entry a = testpak::Stored("a", "x");
             Entry b = testpak::Stored("b", "y");
             a.compressedSize = 0x80000002;
             b.compressedSize = 0x80000002;
             return testpak::Build({a, b});
         },
         false, 0},
        {"stored size mismatch still parses", [] {
             Entry e = testpak::Stored("a", "xyz");
             e.size = 2;
             return testpak::Build({e});
         },
         true, 1},
        {"unsafe name", [] { return testpak::Build({testpak::Stored("..\\evil.dll", "x")}); }, false, 0},
        {"patch of 3.7", [&] { return testpak::Build(ThreeFiles(), testpak::PatchMagic("3.7")); }, true, 3},
        {"patch of 10.0.12", [] { return testpak::Build({}, testpak::PatchMagic("10.0.12")); }, true, 0},
        {"patch of a 31-character version",
         [] { return testpak::Build({}, testpak::PatchMagic("123456789.123456789.123456789.1")); }, true, 0},
        {"patch of a 32-character version", [] { return testpak::Build({}, testpak::PatchMagic("123456789.123456789.123456789.12")); }, false, 0},
        {"patch of no version", [] { return testpak::Build({}, testpak::PatchMagic("")); }, false, 0},
        {"patch of '3..7'", [] { return testpak::Build({}, testpak::PatchMagic("3..7")); }, false, 0},
        {"patch of '.3'", [] { return testpak::Build({}, testpak::PatchMagic(".3")); }, false, 0},
        {"patch of '3.7.'", [] { return testpak::Build({}, testpak::PatchMagic("3.7.")); }, false, 0},
        {"patch of '3.7b'", [] { return testpak::Build({}, testpak::PatchMagic("3.7b")); }, false, 0},
        {"patch whose version runs past the end", [] { return std::string("LzSP\x09" "3.7", 8); }, false, 0},
    };
    for (const LayoutCase& c : cases) {
        auto p = Parse(c.bytes());
        EXPECT_EQ(p->ok, c.valid) << c.what;
        EXPECT_EQ(p->archive->count, c.count) << c.what;
        bool patch = p->bytes.rfind("LzSP", 0) == 0;
        EXPECT_EQ(p->archive->patchBaseVersion.len > 0, c.valid && patch) << c.what;
    }
}

TEST(ParseSimpleArchive, PointsEntriesAtTheirBlocksAndNames) {
    auto p = Parse(testpak::Build(ThreeFiles()));
    ASSERT_TRUE(p->ok);
    const ArchiveEntry& png = p->archive->entries[1];
    EXPECT_EQ(std::string(png.name.s, png.name.len), "UserSDKHost\\logo.png");
    EXPECT_EQ(png.compressedSize, 5u);
    EXPECT_EQ(png.uncompressedSize, 4u);
    EXPECT_EQ(png.fileTime, 0x01D9000000000000ull);
    EXPECT_EQ(std::string((const char*)png.data, png.compressedSize), "\xFFPNG!");
    const ArchiveEntry& last = p->archive->entries[2];
    EXPECT_EQ((const char*)last.data + last.compressedSize, p->bytes.data() + p->bytes.size());
}

TEST(ParseSimpleArchive, NameEndsAtItsFirstNul) {
    Entry e = testpak::Stored(std::string("abc\0def", 7), "x");
    auto p = Parse(testpak::Build({e}));
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(p->archive->entries[0].name.len, 3);
    EXPECT_EQ(FindArchiveEntry(p->archive.get(), "abc"), 0);
}

TEST(IsValidArchiveEntryName, RefusesNamesThatLeaveTheInstallDirectory) {
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {
        {"vlpdf.exe", true},
        {"plugins\\pdfwatch\\vlpdf-watch.exe", true},
        {"UserSDKHost/app.js", true},
        {"a..b\\.config\\x.", true},
        {"", false},
        {"..", false},
        {"..\\vlpdf.exe", false},
        {"plugins\\..\\..\\x.dll", false},
        {"plugins/../x.dll", false},
        {"a\\.\\b", false},
        {"a\\.. \\b", false},
        {"a\\ . .\\b", false},
        {"\\Windows\\x.dll", false},
        {"/etc/passwd", false},
        {"C:\\x.dll", false},
        {"C:x.dll", false},
        {"vlpdf.exe:Zone.Identifier", false},
        {"a\\\\b", false},
        {"plugins\\", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidArchiveEntryName(c.name), c.valid) << c.name;
    }
}

TEST(FindArchiveEntry, MatchesExactBytesAndTakesTheFirst) {
    auto p = Parse(testpak::Build({testpak::Stored("HardwareId.dll", "1"), testpak::Stored("HardwareId.dll2", "2"),
                                   testpak::Stored("HardwareId.dll", "3")}));
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(FindArchiveEntry(p->archive.get(), "HardwareId.dll"), 0);
    EXPECT_EQ(FindArchiveEntry(p->archive.get(), "HardwareId.dll2"), 1);
    EXPECT_EQ(FindArchiveEntry(p->archive.get(), "hardwareid.dll"), -1);
    EXPECT_EQ(FindArchiveEntry(p->archive.get(), "HardwareId"), -1);
    EXPECT_EQ(FindArchiveEntry(p->archive.get(), ""), -1);
}

struct DecodeCase {
    const char* what;
    std::function<Entry()> entry;
    std::string expected;  // "<null>" when the file must not decode
};

TEST(GetFileDataByIdx, DecodesOnlyBlocksThatMatchTheirHeader) {
    const std::string text = TextBytes(3000);
    const std::string farMatch = RandomBytes(100000, 3) + RandomBytes(100000, 3);
    const std::vector<DecodeCase> cases = {
        {"stored empty file", [] { return testpak::Stored("a", ""); }, ""},
        {"stored file", [] { return testpak::Stored("a", "stored bytes"); }, "stored bytes"},
        {"stored, compressedSize is not size + 1",
         [] {
             Entry e = testpak::Stored("a", "abc");
             e.size = 4;
             return e;
         },
         "<null>"},
        {"LZMA", [&] { return testpak::Lzma("a", text, 0x00); }, text},
        {"LZMA + x86", [&] { return testpak::Lzma("a", text, 0x01); }, text},
        {"LZMA + x86, empty file", [] { return testpak::Lzma("a", "", 0x01); }, ""},
        {"LZMA + x86, one byte", [] { return testpak::Lzma("a", "\xE8", 0x01); }, "\xE8"},
        {"LZMA without end marker", [&] { return testpak::Lzma("a", text, 0x00, false); }, "<null>"},
        {"LZMA + x86 without end marker", [&] { return testpak::Lzma("a", text, 0x01, false); }, "<null>"},
        {"LZMA yields one byte more than the header says",
         [&] {
             Entry e = testpak::Lzma("a", text + "!", 0x00);
             e.size = (uint32_t)text.size();
             e.crc = testpak::Crc(text);
             return e;
         },
         "<null>"},
        {"LZMA yields one byte less than the header says",
         [&] {
             Entry e = testpak::Lzma("a", text.substr(1), 0x00);
             e.size = (uint32_t)text.size();
             e.crc = testpak::Crc(text);
             return e;
         },
         "<null>"},
        {"input after the end marker", [&] {
             Entry e = testpak::Lzma("a", text, 0x01);
             e.block += "trailing";
             return e;
         },
         text},
        {"wrong CRC",
         [&] {
             Entry e = testpak::Lzma("a", text, 0x01);
             e.crc ^= 1;
             return e;
         },
         "<null>"},
        {"LZMA block of five bytes", [] { return Entry{"a", std::string("\x00\x5D\x00\x00\x10", 5), 0, 0}; }, "<null>"},
        {"empty block", [] { return Entry{"a", "", 0, 0}; }, "<null>"},
        {"invalid properties byte",
         [&] {
             Entry e = testpak::Lzma("a", text, 0x00);
             e.block[1] = (char)225;
             return e;
         },
         "<null>"},
        {"dictionary of 4 GiB - 1 in the properties, a match from the end to the start",
         [&] {
             Entry e = testpak::Lzma("a", farMatch, 0x01);
             e.block.replace(2, 4, "\xFF\xFF\xFF\xFF");
             return e;
         },
         farMatch},
        {"size beyond what a buffer can hold",
         [] {
             Entry e = testpak::Lzma("a", "x", 0x00);
             e.size = 0x7FFFFFFE;
             return e;
         },
         "<null>"},
    };
    for (const DecodeCase& c : cases) {
        auto p = Parse(testpak::Build({c.entry()}));
        ASSERT_TRUE(p->ok) << c.what;
        EXPECT_EQ(Decode(*p, 0), c.expected) << c.what;
    }
}

TEST(GetFileDataByIdx, RefusesEveryOtherMethod) {
    for (int method = 0x02; method <= 0xFE; method++) {
        Entry e = testpak::Lzma("a", "data", 0x00);
        e.block[0] = (char)method;
        auto p = Parse(testpak::Build({e}));
        ASSERT_TRUE(p->ok);
        EXPECT_EQ(Decode(*p, 0), "<null>") << "method " << method;
    }
}

TEST(GetFileDataByIdx, FlippedBitInOneBlockSparesTheOthers) {
    std::vector<Entry> entries = ThreeFiles();
    std::string bytes = testpak::Build(entries);
    size_t firstBlock = testpak::Header(entries).size();
    auto p = Parse(FlipBit(bytes, firstBlock + 40));
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(Decode(*p, 0), "<null>");
    EXPECT_EQ(Decode(*p, 1), "PNG!");
    EXPECT_EQ(Decode(*p, 2), "cn\n");
}

TEST(GetFileDataByIdx, RefusesIndicesOutsideTheTable) {
    auto p = Parse(testpak::Build(ThreeFiles()));
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(Decode(*p, -1), "<null>");
    EXPECT_EQ(Decode(*p, 3), "<null>");
}

TEST(GetFileDataByIdx, RoundTripsFilesOfManySizes) {
    const std::vector<std::string> files = {
        "", "x", RandomBytes(65536, 1), TextBytes(65536), RandomBytes(3 << 20, 2), TextBytes(5 << 20),
    };
    for (uint8_t method : {(uint8_t)0x00, (uint8_t)0x01}) {
        std::vector<Entry> entries;
        for (size_t i = 0; i < files.size(); i++) {
            entries.push_back(testpak::Lzma("f" + std::to_string(i), files[i], method));
        }
        auto p = Parse(testpak::Build(entries));
        ASSERT_TRUE(p->ok);
        for (size_t i = 0; i < files.size(); i++) {
            EXPECT_TRUE(Decode(*p, (int32_t)i) == files[i]) << "method " << (int)method << " size " << files[i].size();
        }
    }
}

}  // namespace
