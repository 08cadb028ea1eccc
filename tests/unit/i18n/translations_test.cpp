#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/arena.h"
#include "base/log.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "../../helpers/log_capture.h"

namespace {
// What the fake payload holds; nullptr when "translations.txt" is not in it.
const std::string* gFakeFile = nullptr;
int gLoadCount = 0;

bool LoadFakeFile(Str* out) {
    gLoadCount++;
    if (!gFakeFile) {
        return false;
    }
    return str::Append(*out, StrView(gFakeFile->data(), (int32_t)gFakeFile->size()));
}

// Every test starts and ends in English with the real loader.
class Translations : public testing::Test {
  protected:
    void SetUp() override { Restore(); }
    void TearDown() override { Restore(); }
    static void Restore() {
        SetCurrentLangByCode("en");
        gLoadTranslationsFile = TranslationsFileNotAvailable;
        gFakeFile = nullptr;
        gLoadCount = 0;
    }
    // Loads text as the store for code and makes code current.
    static void Load(const char* code, const std::string& text) {
        SetCurrentLangIdx(FindLangIdx(code));
        ParseTranslationsTxt(code, StrView(text.data(), (int32_t)text.size()));
    }
};

const std::string kHeader = "VorUvevizudur: VeloraPDF\n0123456789abcdef0123456789abcdef01234567\n";

using Lookups = std::vector<std::pair<std::string, std::string>>;  // English -> shown
}  // namespace

TEST_F(Translations, ParseTakesFirstLineOfTheLanguageAndKeepsFileOrder) {
    struct Case {
        const char* name;
        const char* code;
        std::string body;  // after the two header lines
        Lookups lookups;
        std::string log;
    } cases[] = {
        {"first of two lines wins", "cn", ":Close\ncn:关闭\ncn:关上\n", {{"Close", "关闭"}},
         "ParseTranslationsTxt: 5 lines, nStrings: 1\n"},
        {"other languages and similar prefixes are skipped", "ca",
         ":Close\nca-xv:X\nde:Schließen\nca:Tancar\n:Error\nca:Error CA\n",
         {{"Close", "Tancar"}, {"Error", "Error CA"}}, "ParseTranslationsTxt: 8 lines, nStrings: 2\n"},
        {"source followed by source is untranslated", "cn", ":Close\n:Error\ncn:错误\n:Show log\n",
         {{"Close", "Close"}, {"Error", "错误"}, {"Show log", "Show log"}},
         "ParseTranslationsTxt: 6 lines, nStrings: 3\nUntranslated strings: 2 for lang 'cn:'\n"
         "Didn't find translation for 'Close'\nDidn't find translation for 'Show log'\n"},
        {"untranslated is not counted for English", "en", ":Close\n:Error\n", {},
         "ParseTranslationsTxt: 4 lines, nStrings: 2\n"},
        {"empty lines are dropped", "de", "\n\n:Close\n\nde:Schließen\n\n", {{"Close", "Schließen"}},
         "ParseTranslationsTxt: 4 lines, nStrings: 1\n"},
        {"a line before the first source is read as one", "de", "de:stray\n:Close\nde:Schließen\n",
         {{"e:stray", "e:stray"}, {"Close", "Schließen"}},
         "ParseTranslationsTxt: 5 lines, nStrings: 1\nUntranslated strings: 1 for lang 'de:'\n"
         "Didn't find translation for 'e:stray'\n"},
        {"escapes in source and translation", "de", ":Line 1\\nLine 2\\t%s\nde:Zeile 1\\nZeile 2\\t%s\n",
         {{"Line 1\nLine 2\t%s", "Zeile 1\nZeile 2\t%s"}}, "ParseTranslationsTxt: 4 lines, nStrings: 1\n"},
        {"backslash-quote in the file keeps only the backslash", "de", ":Stop \\\"it\\\"\nde:Halt\n",
         {{"Stop \"it\"", "Stop \"it\""}, {"Stop \\it\\", "Halt"}},
         "ParseTranslationsTxt: 4 lines, nStrings: 1\nGetTranslation: no entry for 'Stop \"it\"'\n"},
        {"lookup needs the whole text", "de", ":Close\nde:Schließen\n",
         {{"Clos", "Clos"}, {"Close ", "Close "}, {"close", "close"}, {"Close", "Schließen"}},
         "ParseTranslationsTxt: 4 lines, nStrings: 1\nGetTranslation: no entry for 'Clos'\n"
         "GetTranslation: no entry for 'Close '\nGetTranslation: no entry for 'close'\n"},
        {"an empty translation line counts as no translation at lookup", "de", ":Close\nde:\n",
         {{"Close", "Close"}}, "ParseTranslationsTxt: 4 lines, nStrings: 1\nDidn't find translation for 'Close'\n"},
        {"last block without translation at the end of the file", "de", ":Close", {{"Close", "Close"}},
         "ParseTranslationsTxt: 3 lines, nStrings: 1\nUntranslated strings: 1 for lang 'de:'\n"
         "Didn't find translation for 'Close'\n"},
        {"Change Language keeps its English words", "de",
         ":Change Language\nde:Sprache ändern\n:&Change Language...\nde:&Sprache (Change Language)...\n"
         ":Change Languages\nde:\n",
         {{"Change Language", "Sprache ändern (Change Language)"},
          {"&Change Language...", "&Sprache (Change Language)..."},
          {"Change Languages", "Change Languages"}},
         "ParseTranslationsTxt: 8 lines, nStrings: 3\nDidn't find translation for 'Change Languages'\n"},
        {"a NUL byte ends a translation, before Change Language is looked for", "de",
         std::string(":Change Language\nde:Sprache\0 (Change Language)\n", 47),
         {{"Change Language", "Sprache (Change Language)"}}, "ParseTranslationsTxt: 4 lines, nStrings: 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        Load(c.code, kHeader + c.body);
        for (const auto& [english, shown] : c.lookups) {
            EXPECT_EQ(GetTranslation(english.c_str()), shown) << english;
        }
        EXPECT_EQ(log.Text(), c.log);
    }
}

TEST_F(Translations, HeaderLinesAreNeverSources) {
    Load("de", ":Close\nde:Zu\n:Error\nde:Fehler\n");
    EXPECT_STREQ(GetTranslation("Close"), "Close");
    EXPECT_STREQ(GetTranslation("Error"), "Fehler");
}

TEST_F(Translations, UnescapeTable) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a\\\\b", "a\\b"},
        {"a\\nb\\rc\\td", "a\nb\rc\td"},
        {"\\\\n", "\\n"},             // an escaped backslash does not start a new escape
        {"say \\\"hi\\\"", "say \\hi\\"},  // unknown escape: backslash kept, character dropped
        {"\\x41", "\\41"},
        {"end\\", "end\\"},           // a trailing backslash stays
        {"\\\\\\", "\\\\"},           // escaped backslash, then a trailing one
        {"\\", "\\"},
    };
    for (const Case& c : cases) {
        Str out;
        ASSERT_TRUE(AppendUnescapedTranslationText(out, StrView(c.in.data(), (int32_t)c.in.size())));
        EXPECT_EQ(std::string(out.els ? out.els : "", (size_t)out.len), c.out) << c.in;
    }
}

TEST_F(Translations, EnglishAndNoStoreReturnTheArgumentWithoutLogging) {
    LogCapture log;
    const char* text = "Install VeloraPDF";
    EXPECT_EQ(GetTranslation(text), text);
    EXPECT_EQ(GetTranslation(nullptr), nullptr);
    Load("de", kHeader + ":Install VeloraPDF\nde:VeloraPDF installieren\n");
    SetCurrentLangIdx(0);
    EXPECT_EQ(GetTranslation(text), text);
    EXPECT_EQ(log.Text(), "ParseTranslationsTxt: 4 lines, nStrings: 1\n");
}

TEST_F(Translations, SetCurrentLangByCodeCases) {
    const std::string file = kHeader + ":Close\ncn:关闭\nde:Schließen\nar:إغلاق\n";
    const std::string noStrings = kHeader + "cn:关闭\nde: x:y\n";
    const std::string empty;
    const std::string loaded = "SetCurrentLangByCode: translations.txt uncompressed=" + std::to_string(file.size()) +
                               "\nParseTranslationsTxt: 6 lines, nStrings: 1\n";
    struct Case {
        const char* name;
        const std::string* payload;  // null: no translations.txt
        const char* code;
        const char* langCode;  // current language afterwards
        const char* close;     // what "Close" shows
        bool rtl;
        int loads;
        std::string log;
    } cases[] = {
        {"Chinese", &file, "cn", "cn", "关闭", false, 1,
         loaded},
        {"the asked language", &file, "de", "de", "Schließen", false, 1,
         loaded},
        {"right-to-left language", &file, "ar", "ar", "إغلاق", true, 1,
         loaded},
        {"language without lines falls back per text", &file, "fr", "fr", "Close", false, 1,
         loaded + "Untranslated strings: 1 for lang 'fr:'\nDidn't find translation for 'Close'\n"},
        {"English loads nothing", &file, "en", "en", "Close", false, 0, ""},
        {"unknown code is English", &file, "CN", "en", "Close", false, 0,
         "SetCurrentLangByCode: unknown lang code: 'CN'\n"},
        {"null code is an unknown code", &file, nullptr, "en", "Close", false, 0,
         "SetCurrentLangByCode: unknown lang code: ''\n"},
        {"payload without the file", nullptr, "de", "en", "Close", false, 1,
         "SetCurrentLangByCode: translations.txt not found in IDR_EMBEDDED_PAK\n"},
        {"empty file", &empty, "ar", "en", "Close", false, 1,
         "SetCurrentLangByCode: translations.txt uncompressed=0\n"
         "SetCurrentLangByCode: translations.txt is empty (no translations available)\n"},
        {"file without strings", &noStrings, "cn", "en", "Close", false, 1,
         "SetCurrentLangByCode: translations.txt uncompressed=" + std::to_string(noStrings.size()) +
             "\nSetCurrentLangByCode: translations.txt has no strings (no translations available)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Restore();
        gLoadTranslationsFile = LoadFakeFile;
        gFakeFile = c.payload;
        LogCapture log;
        SetCurrentLangByCode(c.code);
        EXPECT_STREQ(GetCurrentLangCode(), c.langCode);
        EXPECT_STREQ(GetTranslation("Close"), c.close);
        EXPECT_EQ(IsCurrentLangRtl(), c.rtl);
        EXPECT_EQ(gLoadCount, c.loads);
        EXPECT_EQ(log.Text(), c.log);
    }
}

TEST_F(Translations, SameCodeAgainKeepsTheLoadedStore) {
    const std::string file = kHeader + ":Close\nde:Schließen\n";
    gLoadTranslationsFile = LoadFakeFile;
    gFakeFile = &file;
    SetCurrentLangByCode("de");
    LogCapture log;
    SetCurrentLangByCode("de");
    EXPECT_EQ(gLoadCount, 1);
    EXPECT_EQ(log.Text(), "");
    EXPECT_STREQ(GetTranslation("Close"), "Schließen");
}

TEST_F(Translations, FallingBackToEnglishIgnoresAnEarlierStore) {
    const std::string file = kHeader + ":Close\nde:Schließen\ncn:关闭\n";
    gLoadTranslationsFile = LoadFakeFile;
    gFakeFile = &file;
    SetCurrentLangByCode("de");
    gFakeFile = nullptr;
    SetCurrentLangByCode("cn");
    EXPECT_EQ(GetCurrentLangIdx(), 0);
    EXPECT_STREQ(GetTranslation("Close"), "Close");
}
