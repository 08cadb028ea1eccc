#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "base/arena.h"
#include "integration/associations.h"
#include "integration/default_reader.h"

TEST(Associations, IconsByGroupIgnoringCase) {
    std::map<std::string, std::string> groups = {
        {".epub", ",-3"}, {".cbr", ",-4"}, {".CBZ", ",-4"}, {".cbt", ",-4"}, {".cb7", ",-4"},
        {".chm", ",-5"},  {".djvu", ",-6"}, {".png", ",-7"}, {".JPEG", ",-7"}, {".wdp", ",-7"},
        {".tif", ",-7"},  {".pdf", ",-8"}, {".OFD", ",-8"}, {".p7m", ",-8"},  {".mobi", ",-9"},
        {".azw3", ",-9"}, {".prc", ",-9"}, {".xps", ",-10"}, {".md", ",-10"}, {".svg", ",-10"},
        {".fb2", ",-10"}, {".txt", ",-10"}, {".unknown", ",-10"}, {"", ",-10"},
    };
    for (auto& [ext, suffix] : groups) {
        EXPECT_STREQ(IconSuffix(ext.c_str()), suffix.c_str()) << ext;
    }
}

TEST(Associations, EveryExtensionOnceWithPrintVerbsOnlyForPdf) {
    TempArenaScope scope;
    std::set<std::string> seen;
    for (const char* ext : kSupportedExts) {
        EXPECT_TRUE(seen.insert(ext).second) << ext;
    }
    EXPECT_EQ(seen.size(), 45u);
    Vec<RegValue> values(GetTempArena());
    BuildProgIdValues("C:\\P\\vlpdf.exe", &values);
    int print = 0;
    for (const RegValue& v : values) {
        std::string key = v.key.CStr();
        if (key.find("\\shell\\Print") != std::string::npos) {
            print++;
            EXPECT_EQ(key.rfind("Software\\Classes\\vlpdf.pdf\\shell\\Print", 0), 0u) << key;
        }
    }
    EXPECT_EQ(print, 2);
    EXPECT_EQ(values.len, 45 * 8 + 2);
    EXPECT_STREQ(ProgIdTemp(".cbz").CStr(), "vlpdf.cbz");
}

TEST(DefaultReader, GroupsInOrder) {
    struct {
        ReaderKind kind;
        std::string exts;
    } cases[] = {
        {ReaderKind::Pdf, ".pdf .p7m "},
        {ReaderKind::Ofd, ".ofd "},
        {ReaderKind::Comics, ".cbz .cbr .cb7 .cbt "},
        {ReaderKind::Markdown, ".md .markdown "},
    };
    for (auto& c : cases) {
        int n = 0;
        const char* const* exts = ReaderKindExts(c.kind, &n);
        std::string got;
        for (int i = 0; i < n; i++) got += std::string(exts[i]) + " ";
        EXPECT_EQ(got, c.exts);
    }
}
