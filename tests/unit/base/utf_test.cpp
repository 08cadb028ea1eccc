#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/str.h"

namespace {
std::u16string ToW(const std::string& s) {
    WStrView w = ToWStrTemp(StrView(s.data(), (int32_t)s.size()));
    return std::u16string(w.s, (size_t)w.len);
}

std::string ToU8(const std::u16string& s) {
    StrView v = ToUtf8Temp(WStrView(s.data(), (int32_t)s.size()));
    return std::string(v.s, (size_t)v.len);
}
}  // namespace

TEST(Utf, ValidTextConvertsBothWays) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"C:\\Program Files\\vlpdf", u"C:\\Program Files\\vlpdf"},
        {"\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},                  // two-byte sequences
        {"\xE5\xAE\x89\xE8\xA3\x85", u"\u5B89\u88C5"},            // three-byte sequences
        {"\xF0\x9F\x93\x84.pdf", u"\U0001F4C4.pdf"},              // four bytes: a surrogate pair
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},                      // the last code point
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToW(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(ToU8(c.utf16), c.utf8) << c.utf8;
    }
}

TEST(Utf, MalformedUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
    } cases[] = {
        {"a\x80z", u"a\uFFFDz"},                  // stray continuation byte
        {"\xFF", u"\uFFFD"},                      // never valid
        {"\xE5\xAE", u"\uFFFD"},                  // truncated at the end
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToW(c.utf8), c.utf16) << c.utf8;
    }
}

// Converters differ in how many U+FFFD these become, but never decode them.
TEST(Utf, EncodedSurrogatesAndCodePointsPastTheLastAreNeverDecoded) {
    for (const char* bad : {"\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC0\x80"}) {
        std::u16string w = ToW(bad);
        EXPECT_FALSE(w.empty()) << bad;
        for (char16_t u : w) EXPECT_EQ(u, 0xFFFD) << bad;
    }
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementCharacter) {
    EXPECT_EQ(ToU8(std::u16string(u"a") + (char16_t)0xD800 + u"b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(ToU8(std::u16string(1, (char16_t)0xDC00)), "\xEF\xBF\xBD");
}

TEST(Utf, ResultsAreTerminatedAndNullGivesEmpty) {
    WStrView w = ToWStrTemp("abc");
    EXPECT_EQ(w.s[w.len], 0);
    StrView u = ToUtf8Temp(w);
    EXPECT_EQ(u.s[u.len], 0);
    EXPECT_EQ(ToWStrTemp(StrView()).s, nullptr);
    EXPECT_EQ(ToUtf8Temp(WStrView()).s, nullptr);
}

TEST(Utf, LowerCasingTurnsDottedCapitalIIntoPlainI) {
    std::u16string s = u"VLPDF\u0130.EXE";
    LowerCaseInPlace(WStrView(s.data(), (int32_t)s.size()));
    EXPECT_EQ(s, u"vlpdfi.exe");
}
