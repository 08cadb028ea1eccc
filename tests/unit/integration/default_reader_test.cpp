#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/md5.h"
#include "integration/default_reader.h"

namespace {
std::string Md5Hex(const std::string& s) {
    uint8_t digest[16];
    Md5((const uint8_t*)s.data(), s.size(), digest);
    std::string hex;
    for (uint8_t b : digest) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    return hex;
}

std::string HashOfBytes(const std::string& s) {
    StrView v = UserChoiceHashOfBytesTemp((const uint8_t*)s.data(), (int32_t)s.size());
    return std::string(v.CStr());
}
}  // namespace

TEST(UserChoiceHash, ValuesAgreeWithTheSystemAndItsParts) {
    // Records the Windows 10 Settings app wrote. With the terminator their UTF-16 texts end
    // 0, 2, 4 and 6 bytes into a block; the last one has letters beyond ASCII and a
    // surrogate pair. Times are FILETIMEs with seconds and milliseconds still in them.
    const char* sid = "S-1-5-21-636376821-3290315252-1794850287-1001";
    struct {
        const char* ext;
        const char* progId;
        uint64_t time;
        const char* value;
    } records[] = {
        {"https", "FirefoxURL-308046B0AF4A39CB", 0x01D73570D57CE3A0, "uzpIsMVyZ1g="},     // 2021-04-19 23:07:56.506
        {".html", "FirefoxHTML-308046B0AF4A39CB", 0x01D73570D57EDF70, "7fjRtUPASlc="},    // 2021-04-19 23:07:56.519
        {"https", "MSEdgeHTM", 0x01D7357041700A70, "Fz0kA3Ymmps="},                       // 2021-04-19 23:03:48.119
        {".html", "ChromeHTML", 0x01D73570923512C0, "R5TD9LGJ5Xw="},                      // 2021-04-19 23:06:03.628
        {".html", "FirefoxHTML-\u00C0B\u00C7D\u00CB\U0001F600\u2020", 0x01D7357D8B1062D0,  // 2021-04-20 00:38:55.101
         "F3NsK3uNv5E="},
    };
    for (auto& r : records) {
        EXPECT_STREQ(UserChoiceHashOfTemp(r.ext, sid, r.progId, r.time).CStr(), r.value) << r.progId;
    }

    // Raw input: only whole 8-byte blocks are mixed, while MD5 still sees every byte.
    // Values from a separate model of the same steps that reproduces the records above.
    struct {
        const char* bytes;
        const char* value;
    } blocks[] = {{"", ""}, {"1234567", ""}, {"12345678", "K0B8uUn6m8Q="}, {"1234567890abc", "WDq5oNMGIv8="}};
    for (auto& b : blocks) {
        EXPECT_EQ(HashOfBytes(b.bytes), b.value) << b.bytes;
    }

    // RFC 1321's test suite: tails that need one and two final blocks, and a whole block.
    struct {
        const char* text;
        const char* digest;
    } md5[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (auto& m : md5) {
        EXPECT_EQ(Md5Hex(m.text), m.digest) << m.text;
    }
}

TEST(DefaultRestore, GivesBackOnlyWhatTheReaderStillHolds) {
    using R = DefaultRestore;
    struct {
        const char* ext;
        const char* current;
        bool hasBackup;
        const char* backup;
        R want;
    } cases[] = {
        // The reader holds the choice: back to the program before it, or to none.
        {".pdf", "vlpdf.pdf", true, "OtherPdf.Document", R::Rewrite},
        {".cbz", "VLPDF.CBZ", true, "Comics.Viewer", R::Rewrite},
        {".md", "vlpdf", true, "Editor.md", R::Rewrite},
        {".pdf", "vlpdf.pdf", true, "", R::Remove},
        {".pdf", "vlpdf.pdf", false, "", R::Remove},
        // A backup that names the reader itself gives nothing back.
        {".pdf", "vlpdf.pdf", true, "vlpdf.pdf", R::Remove},
        {".ofd", "vlpdf.ofd", true, "VlPdf", R::Remove},
        // Another extension's ProgID of the reader is not this extension's choice.
        {".pdf", "vlpdf.ofd", true, "OtherPdf.Document", R::Keep},
        // The user chose something else since, or nothing at all: left alone.
        {".pdf", "OtherPdf.Document", true, "Older.Pdf", R::Keep},
        {".pdf", "", true, "OtherPdf.Document", R::Keep},
        {".markdown", "vlpdf.markdownx", true, "Editor.md", R::Keep},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        EXPECT_EQ(DecideDefaultRestore(c.ext, c.current, c.hasBackup, c.backup), c.want)
            << c.ext << " current '" << c.current << "' backup '" << c.backup << "'";
    }
}
