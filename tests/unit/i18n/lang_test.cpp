#include <gtest/gtest.h>

#include <set>
#include <string>

#include "i18n/lang.h"

namespace {
uint16_t gFakeUiLanguage = 0;

uint16_t FakeUiLanguage() {
    return gFakeUiLanguage;
}

class Lang : public testing::Test {
  protected:
    void TearDown() override {
        gGetUserDefaultUiLanguage = GetPlatformUserDefaultUiLanguage;
    }
};
}  // namespace

TEST_F(Lang, DetectUserLangCases) {
    struct Case {
        bool forTesting;
        uint16_t uiLanguage;
        const char* code;
    } cases[] = {
        {false, 0x0409, "cn"},    // an English UI still gets Chinese without -for-testing
        {false, 0x0407, "cn"},
        {true, 0x0409, "en"},     // English (United States) by its primary language
        {true, 0x0804, "cn"},
        {true, 0x0404, "tw"},
        {true, 0x0C04, "en"},     // Chinese (Hong Kong): neither exact nor primary match
        {true, 0x0416, "br"},     // exact match before the primary language
        {true, 0x0816, "pt"},     // Portuguese (Portugal) by its primary language
        {true, 0x0407, "de"},
        {true, 0x0C07, "de"},
        {true, 0x0401, "ar"},
        {true, 0x0492, "ku"},     // exact only: its primary part 0x092 selects nothing
        {true, 0x0092, "en"},
        {true, 0x0414, "no"},
        {true, 0x0814, "nn"},
        {true, 0x0C1A, "sr-rs"},
        {true, 0x081A, "sp-rs"},
        {true, 0x101A, "hr"},     // primary 0x01A is Croatian
        {true, 0x141A, "bs"},
        {true, 0x0403, "ca"},
        {true, 0x0107, "en"},     // the primary part has ten bits: 0x107 is not German
        {true, 0x0000, "en"},
        {true, 0xFFFF, "en"},     // primary 0x3FF selects nothing; never "none" entries
    };
    gGetUserDefaultUiLanguage = FakeUiLanguage;
    for (const Case& c : cases) {
        gFakeUiLanguage = c.uiLanguage;
        EXPECT_STREQ(DetectUserLang(c.forTesting), c.code) << std::hex << c.uiLanguage << " forTesting=" << c.forTesting;
    }
}

TEST_F(Lang, TableHasUniqueCodesWithEnglishFirst) {
    std::set<std::string> codes;
    for (const LangDef& lang : gLangs) {
        EXPECT_TRUE(codes.insert(lang.code).second) << lang.code;
    }
    EXPECT_EQ(codes.size(), 73u);
    EXPECT_STREQ(gLangs[0].code, "en");
    EXPECT_STREQ(gLangs[kLangCount - 1].code, "cy");
    EXPECT_EQ(FindLangIdx("cn"), 14);
    EXPECT_EQ(FindLangIdx("CN"), -1);
    EXPECT_EQ(FindLangIdx("c"), -1);
    EXPECT_EQ(FindLangIdx(""), -1);
}

TEST_F(Lang, RightToLeftLanguagesAreArabicHebrewKurdishPersian) {
    std::set<std::string> rtl;
    for (int i = -1; i <= kLangCount; i++) {
        if (IsLangRtl(i)) rtl.insert(gLangs[i].code);
    }
    EXPECT_EQ(rtl, (std::set<std::string>{"ar", "he", "ku", "fa"}));
}
