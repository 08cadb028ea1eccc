#include "archive/patch.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "../../helpers/archive_builder.h"

namespace {

using testpak::Step;

std::string Body(const std::vector<Step>& steps, const std::string& added, const std::string& fresh,
                 bool lzma = false) {
    return testpak::DifferenceBody(steps, added, fresh, lzma);
}

std::string Apply(const std::string& body, const std::string& base, uint32_t resultSize) {
    std::string out(resultSize, '?');
    bool ok = ApplyDifference((const uint8_t*)body.data(), (uint32_t)body.size(), (const uint8_t*)base.data(),
                              (uint32_t)base.size(), (uint8_t*)out.data(), resultSize);
    return ok ? out : "<refused>";
}

std::string Zeros(size_t n) {
    return std::string(n, '\0');
}

TEST(ApplyDifference, FollowsItsInstructionsAndRefusesWhatDoesNotAddUp) {
    const std::string base = "abcdef";
    const struct {
        const char* what;
        std::string body;
        uint32_t resultSize;
        std::string want;
    } cases[] = {
        {"take, copy, skip one, take", Body({{3, 2, 1}, {2, 0, 0}}, Zeros(5), "XY"), 7, "abcXYef"},
        {"the same through LZMA streams", Body({{3, 2, 1}, {2, 0, 0}}, Zeros(5), "XY", true), 7, "abcXYef"},
        {"added bytes wrap modulo 256", Body({{2, 0, 0}}, "\x01\xFF", ""), 2, "ba"},
        {"a seek back reads again", Body({{2, 0, -2}, {2, 0, 0}}, Zeros(4), ""), 4, "abab"},
        {"before and after the earlier file count as 0",
         Body({{0, 0, -2}, {3, 0, 0}, {0, 0, 100}, {1, 0, 0}}, "xy\x01z", ""), 4, "xybz"},
        {"only new bytes", Body({{0, 3, 0}}, "", "new"), 3, "new"},
        {"an empty result", Body({}, "", ""), 0, ""},
        {"one byte short of the result", Body({{3, 2, 1}, {1, 0, 0}}, Zeros(4), "XY"), 7, "<refused>"},
        {"more new bytes than the instructions copy", Body({{0, 3, 0}}, "", "new!"), 3, "<refused>"},
        {"an add past the result", Body({{0xFFFFFFFF, 0, 0}}, "", ""), 3, "<refused>"},
        {"a copy past the result", Body({{0, 0xFFFFFFFD, 0}, {0, 6, 0}}, "", "abcdef"), 3, "<refused>"},
        {"bytes after the last stream", Body({{0, 3, 0}}, "", "new") + "x", 3, "<refused>"},
        {"the last stream cut short", Body({{0, 3, 0}}, "", "new").substr(0, 30), 3, "<refused>"},
        {"more instructions than the result has bytes", [] {
             std::string b = Body({{0, 1, 0}}, "", "n");
             b[0] = 9;
             return b;
         }(), 1, "<refused>"},
        {"no count", "", 0, "<refused>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Apply(c.body, base, c.resultSize), c.want) << c.what;
    }
}

std::string Sha(const std::string& s) {
    uint8_t d[kSha256Size];
    Sha256Of((const uint8_t*)s.data(), s.size(), d);
    return std::string((const char*)d, kSha256Size);
}

testpak::Entry FromBase(const std::string& base, const std::string& result, const std::string& body) {
    return testpak::FromBase("plugins\\f.dll", Sha(base), result, Sha(result), body);
}

struct Built {
    BuildOutcome outcome;
    std::string file;
};

Built BuildEntry(const testpak::Entry& entry, const std::string& base) {
    std::string bytes = testpak::Build({entry}, testpak::PatchMagic("3.7"));
    InstallerArchive archive;
    if (!ParseSimpleArchive((const uint8_t*)bytes.data(), (int32_t)bytes.size(), &archive)) {
        return {BuildOutcome::Damaged, "<does not parse>"};
    }
    if (IsFromBase(archive.entries[0])) {
        EXPECT_EQ(GetFileDataByIdx(&archive, 0), nullptr) << "a from-base entry decoded without its base";
    }
    BuildOutcome outcome;
    char* data = BuildFromBase(archive.entries[0], (const uint8_t*)base.data(), (uint32_t)base.size(), &outcome);
    std::string file = data ? std::string(data, entry.size) : "";
    EXPECT_TRUE(!data || (data[entry.size] == 0 && data[entry.size + 1] == 0));
    free(data);
    return {outcome, file};
}

TEST(BuildFromBase, MakesTheFileOnlyFromTheRightBaseAndChecksTheResult) {
    const std::string base = "the earlier library's bytes";
    const std::string result = "the earlier library's BYTES, and more";
    const std::string diff = "\x21" + Body({{22, 15, 5}}, Zeros(22), "BYTES, and more");
    testpak::Entry wrongSize = FromBase(base, base, "\x20");
    wrongSize.size = 3;
    testpak::Entry wrongCrc = FromBase(base, result, diff);
    wrongCrc.crc ^= 1;
    const struct {
        const char* what;
        testpak::Entry entry;
        std::string base;
        EntryKind kind;
        BuildOutcome outcome;
    } cases[] = {
        {"unchanged", FromBase(base, base, "\x20"), base, EntryKind::Same, BuildOutcome::Built},
        {"a difference", FromBase(base, result, diff), base, EntryKind::Difference, BuildOutcome::Built},
        {"replaced whole", FromBase(base, result, testpak::LzmaBlock(result)), base, EntryKind::Replaced,
         BuildOutcome::Built},
        {"a base changed by one byte", FromBase(base, result, diff), "the earlier library's bytez",
         EntryKind::Difference, BuildOutcome::BaseDiffers},
        {"a result that is not the one named", FromBase(base, "another result of 37 bytes, exactly!", diff), base,
         EntryKind::Difference, BuildOutcome::Damaged},
        {"a CRC-32 that differs", wrongCrc, base, EntryKind::Difference, BuildOutcome::Damaged},
        {"unchanged, but another size", wrongSize, base, EntryKind::Same, BuildOutcome::Damaged},
        {"unchanged with bytes after", FromBase(base, base, "\x20x"), base, EntryKind::Unknown,
         BuildOutcome::UnknownKind},
        {"a body kind from a newer tool", FromBase(base, result, "\x22" + result), base, EntryKind::Unknown,
         BuildOutcome::UnknownKind},
        {"a whole file is not made from a base", testpak::Lzma("plugins\\f.dll", result), base, EntryKind::LzmaX86,
         BuildOutcome::UnknownKind},
    };
    for (const auto& c : cases) {
        std::string bytes = testpak::Build({c.entry}, testpak::PatchMagic("3.7"));
        InstallerArchive archive;
        ASSERT_TRUE(ParseSimpleArchive((const uint8_t*)bytes.data(), (int32_t)bytes.size(), &archive)) << c.what;
        EXPECT_EQ(ArchiveEntryKind(archive.entries[0]), c.kind) << c.what;
        Built built = BuildEntry(c.entry, c.base);
        EXPECT_EQ(built.outcome, c.outcome) << c.what;
        if (c.outcome == BuildOutcome::Built) {
            EXPECT_EQ(built.file, c.kind == EntryKind::Same ? base : result) << c.what;
        }
    }
    EXPECT_STREQ(EntryKindName(EntryKind::Unknown), "unknown");
    EXPECT_STREQ(EntryKindName(EntryKind::Difference), "diff");
}

}  // namespace
