// The shipped translations file and the texts the program translates: every text the
// program passes to GetTranslation has a Chinese line, and every line keeps the placeholders
// and mnemonic of its English text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/arena.h"
#include "base/log.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "../../helpers/log_capture.h"

namespace fs = std::filesystem;

namespace {
// Languages the file must hold completely: the default UI language, one written left to
// right and one written right to left.
const char* const kCompleteLangs[] = {"cn", "de", "ar"};

// The repository, found from this file's own path as the compiler saw it. Under Wine the
// Linux root is drive Z:.
fs::path RepoRoot() {
    std::string self = __FILE__;
#ifdef _WIN32
    if (!self.empty() && self[0] == '/') {
        self = "Z:" + self;
    }
#endif
    return fs::path(self).parent_path().parent_path().parent_path().parent_path();
}

std::string ReadFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string Unescape(const std::string& text) {
    Str out;
    AppendUnescapedTranslationText(out, StrView(text.data(), (int32_t)text.size()));
    return std::string(out.els ? out.els : "", (size_t)out.len);
}

// The printf conversions of a text, in order ("%%" is not one).
std::vector<std::string> Placeholders(const std::string& s) {
    std::vector<std::string> found;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] != '%') continue;
        if (i + 1 < s.size() && s[i + 1] == '%') {
            i++;
            continue;
        }
        size_t j = i + 1;
        while (j < s.size() && strchr("-+ #0123456789.*hlLzjtI", s[j])) j++;
        found.push_back(s.substr(i, j - i + 1));
        i = j;
    }
    return found;
}

// Mnemonic markers: '&' not part of "&&".
int Mnemonics(const std::string& s) {
    int n = 0;
    for (size_t i = 0; i < s.size(); i++) {
        if (s[i] != '&') continue;
        if (i + 1 < s.size() && s[i + 1] == '&') {
            i++;
            continue;
        }
        n++;
    }
    return n;
}

// A text written in the file uses only the escapes the loader knows: any other one loses a
// character, and a trailing backslash is ambiguous.
std::string EscapeProblem(const std::string& raw) {
    for (size_t i = 0; i < raw.size(); i++) {
        if (raw[i] != '\\') continue;
        if (i + 1 == raw.size()) return "ends in a backslash";
        if (!strchr("\\nrt", raw[i + 1])) return std::string("unknown escape \\") + raw[i + 1];
        i++;
    }
    return "";
}

struct Block {
    int line = 0;
    std::string source;                                     // as written
    std::vector<std::pair<std::string, std::string>> tr;   // code, text as written
};

// Reads the file's blocks and reports every line that does not fit the format.
std::vector<Block> ReadBlocks(const std::string& file, std::vector<std::string>* problems) {
    std::vector<Block> blocks;
    std::istringstream in(file);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        n++;
        std::string where = "line " + std::to_string(n) + ": ";
        if (line.find('\r') != std::string::npos) problems->push_back(where + "carriage return");
        if (n <= 2) continue;
        if (line.empty()) {
            problems->push_back(where + "empty line");
            continue;
        }
        if (line[0] == ':') {
            blocks.push_back(Block{n, line.substr(1), {}});
            continue;
        }
        size_t colon = line.find(':');
        std::string code = colon == std::string::npos ? "" : line.substr(0, colon);
        if (code.empty() || FindLangIdx(code.c_str()) < 0) {
            problems->push_back(where + "not a source line and no language code: " + line);
        } else if (blocks.empty()) {
            problems->push_back(where + "translation before the first source line");
        } else {
            blocks.back().tr.emplace_back(code, line.substr(colon + 1));
        }
    }
    return blocks;
}

std::vector<std::string> CheckFile(const std::string& file) {
    std::vector<std::string> problems;
    std::string line1 = file.substr(0, file.find('\n'));
    if (line1 != "VorUvevizudur: VeloraPDF") problems.push_back("line 1 is '" + line1 + "'");
    size_t start2 = file.find('\n') == std::string::npos ? file.size() : file.find('\n') + 1;
    std::string line2 = file.substr(start2, file.find('\n', start2) - start2);
    if (line2.size() != 40 || line2.find_first_not_of("0123456789abcdef") != std::string::npos) {
        problems.push_back("line 2 is not a 40-digit fingerprint: '" + line2 + "'");
    }

    std::vector<Block> blocks = ReadBlocks(file, &problems);
    std::set<std::string> sources;
    for (const Block& b : blocks) {
        std::string where = "line " + std::to_string(b.line) + " '" + b.source + "': ";
        if (!sources.insert(Unescape(b.source)).second) problems.push_back(where + "duplicate source");
        if (!EscapeProblem(b.source).empty()) problems.push_back(where + EscapeProblem(b.source));
        std::string english = Unescape(b.source);
        std::map<std::string, int> seen;
        for (const auto& [code, raw] : b.tr) {
            std::string in = where + code + ": ";
            if (++seen[code] == 2) problems.push_back(in + "second line for the language (never used)");
            if (raw.empty()) problems.push_back(in + "empty translation");
            if (!EscapeProblem(raw).empty()) problems.push_back(in + EscapeProblem(raw));
            std::string text = Unescape(raw);
            if (Placeholders(text) != Placeholders(english)) problems.push_back(in + "placeholders differ");
            if (Mnemonics(text) != Mnemonics(english)) problems.push_back(in + "mnemonics differ");
        }
        for (const char* code : kCompleteLangs) {
            if (!seen.count(code)) problems.push_back(where + "no " + code + " line");
        }
    }
    if (blocks.empty()) problems.push_back("no texts");
    return problems;
}

struct FoundText {
    int line;
    std::string text;   // the text as the program sees it
    std::string error;  // set when the argument could not be read as a literal
};

bool IsIdentChar(char c) {
    return isalnum((unsigned char)c) || c == '_';
}

// Reads one C string literal at s[i] == '"'; false on an escape the scanner does not know.
bool ReadLiteral(const std::string& s, size_t& i, std::string& out) {
    for (i++; i < s.size() && s[i] != '"'; i++) {
        if (s[i] != '\\') {
            if (s[i] == '\n') return false;
            out += s[i];
            continue;
        }
        if (++i == s.size()) return false;
        switch (s[i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case '\'': out += '\''; break;
            case 'x': {
                // As the compiler reads it: every hex digit that follows, one byte.
                unsigned value = 0;
                size_t digits = 0;
                for (; i + 1 < s.size() && isxdigit((unsigned char)s[i + 1]); i++, digits++) {
                    value = value * 16 + (unsigned)(isdigit((unsigned char)s[i + 1]) ? s[i + 1] - '0'
                                                                                     : (s[i + 1] | 0x20) - 'a' + 10);
                    if (value > 0xFF) return false;
                }
                if (digits == 0) return false;
                out += (char)value;
                break;
            }
            default: return false;
        }
    }
    if (i == s.size()) return false;
    i++;
    return true;
}

size_t SkipSpace(const std::string& s, size_t i) {
    while (i < s.size() && isspace((unsigned char)s[i])) i++;
    return i;
}

// The texts a source file passes to GetTranslation or marks with TranslatableText. An
// argument that starts with a string literal must be made of literals only; any other
// argument is a text handed on from elsewhere and is found where it was written.
std::vector<FoundText> FindTranslatedTexts(const std::string& src) {
    std::vector<FoundText> found;
    for (const char* name : {"GetTranslation", "TranslatableText"}) {
        size_t nameLen = strlen(name);
        for (size_t at = src.find(name); at != std::string::npos; at = src.find(name, at + 1)) {
            if (at > 0 && IsIdentChar(src[at - 1])) continue;
            if (at + nameLen < src.size() && IsIdentChar(src[at + nameLen])) continue;
            size_t i = SkipSpace(src, at + nameLen);
            if (i >= src.size() || src[i] != '(') continue;
            i = SkipSpace(src, i + 1);
            if (i >= src.size() || src[i] != '"') continue;
            FoundText t{1 + (int)std::count(src.begin(), src.begin() + (long)at, '\n'), "", ""};
            bool ok = true;
            while (ok && i < src.size() && src[i] == '"') {
                ok = ReadLiteral(src, i, t.text);
                i = SkipSpace(src, i);
            }
            if (!ok) {
                t.error = "a string literal the test cannot read";
            } else if (i >= src.size() || (src[i] != ')' && src[i] != ',')) {
                t.error = "text is not made of string literals only";
            }
            found.push_back(t);
        }
    }
    return found;
}
}  // namespace

TEST(TranslationsFile, FormatPlaceholdersAndCompletenessChecksCatchFaults) {
    const std::string head = "VorUvevizudur: VeloraPDF\n0123456789abcdef0123456789abcdef01234567\n";
    const std::string good = ":Close %s\ncn:关闭 %s\nde:%s schließen\nar:أغلق %s\n";
    struct Case {
        std::string file;
        std::string problem;  // empty: no problem expected
    } cases[] = {
        {head + good, ""},
        {head + good + ":Close %s\ncn:x %s\nde:x %s\nar:x %s\n", "line 7 'Close %s': duplicate source"},
        {head + ":Close %s\ncn:关闭\nde:%s schließen\nar:أغلق %s\n", "line 3 'Close %s': cn: placeholders differ"},
        {head + ":%s of %d\ncn:%d / %s\nde:%s von %d\nar:%s من %d\n", "line 3 '%s of %d': cn: placeholders differ"},
        {head + ":100%% of %s\ncn:%s 的 100%%\nde:100%% von %s\nar:100%% من %s\n", ""},
        {head + ":&Close\ncn:关闭\nde:&Schließen\nar:&إغلاق\n", "line 3 '&Close': cn: mnemonics differ"},
        {head + ":Close %s\nde:%s schließen\nar:أغلق %s\n", "line 3 'Close %s': no cn line"},
        {head + good + "cn:关上 %s\n", "line 3 'Close %s': cn: second line for the language (never used)"},
        {head + ":Say \\\"hi\\\"\ncn:x\nde:x\nar:x\n", "line 3 'Say \\\"hi\\\"': unknown escape \\\""},
        {head + ":C:\\\ncn:x\nde:x\nar:x\n", "line 3 'C:\\': ends in a backslash"},
        {head + ":Close\ncn:\nde:x\nar:x\n", "line 3 'Close': cn: empty translation"},
        {head + good + "xx:what\n", "line 7: not a source line and no language code: xx:what"},
        {head + "cn:x\n" + good, "line 3: translation before the first source line"},
        {head + good + "\n", "line 7: empty line"},
        {head + ":Close\r\ncn:x\nde:x\nar:x\n", "line 3: carriage return"},
        {"VorUvevizudur: VeloraPDF\nnot-a-fingerprint\n" + good, "line 2 is not a 40-digit fingerprint: 'not-a-fingerprint'"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> problems = CheckFile(c.file);
        if (c.problem.empty()) {
            EXPECT_TRUE(problems.empty()) << c.file << "\n" << (problems.empty() ? "" : problems[0]);
        } else {
            EXPECT_NE(std::find(problems.begin(), problems.end(), c.problem), problems.end())
                << c.file << "\nexpected: " << c.problem << "\nfirst: " << (problems.empty() ? "-" : problems[0]);
        }
    }
}

TEST(TranslationsFile, ShippedFileIsComplete) {
    std::string file = ReadFile(RepoRoot() / "product" / "translations.txt");
    ASSERT_FALSE(file.empty()) << RepoRoot();
    for (const std::string& p : CheckFile(file)) {
        ADD_FAILURE() << "translations.txt " << p;
    }
}

// The program's own loader, given the shipped file, shows each text's Chinese line.
TEST(TranslationsFile, ShippedFileLoadsIntoTheChineseStore) {
    std::string file = ReadFile(RepoRoot() / "product" / "translations.txt");
    std::vector<std::string> problems;
    std::vector<Block> blocks = ReadBlocks(file, &problems);
    ASSERT_FALSE(blocks.empty());

    LogCapture log;
    SetCurrentLangIdx(FindLangIdx("cn"));
    ParseTranslationsTxt("cn", StrView(file.data(), (int32_t)file.size()));
    for (const Block& b : blocks) {
        std::string english = Unescape(b.source);
        std::string cn;
        for (const auto& [code, raw] : b.tr) {
            if (code == "cn" && cn.empty()) cn = Unescape(raw);
        }
        EXPECT_EQ(GetTranslation(english.c_str()), cn) << english;
    }
    EXPECT_EQ(log.Text(), "ParseTranslationsTxt: " + std::to_string(std::count(file.begin(), file.end(), '\n')) +
                       " lines, nStrings: " + std::to_string(blocks.size()) + "\n");
    SetCurrentLangIdx(0);
}

TEST(TranslationsFile, ScannerReadsTheTextsThatReachGetTranslation) {
    struct Case {
        std::string src;
        std::vector<std::string> texts;
        std::vector<std::string> errors;
    } cases[] = {
        {R"(NotifyFailed(GetTranslation("Couldn't create the installation directory"));)",
         {"Couldn't create the installation directory"}, {""}},
        {"x = GetTranslation (\n    \"Line 1\\n\"\n    \"Stop \\\"it\\\"\\t\\\\\");", {"Line 1\nStop \"it\"\t\\"}, {""}},
        {R"(Format(GetTranslation("VeloraPDF %s Installer"), kProductVersion);)", {"VeloraPDF %s Installer"}, {""}},
        {R"(const char* kTexts[] = {TranslatableText("Close"), TranslatableText("Error")};)", {"Close", "Error"},
         {"", ""}},
        {R"(GetTranslation("See " kSupportUrl))", {"See "}, {"text is not made of string literals only"}},
        {R"(GetTranslation("bell\a"))", {"bell"}, {"a string literal the test cannot read"}},
        {R"(TranslatableText("\xE5\xAE\x89\xE8\xA3\x85 Office\xEF\xBC\x88" "Excel"))", {"\u5B89\u88C5 Office\uFF08Excel"},
         {""}},
        {R"(GetTranslation("\x"))", {""}, {"a string literal the test cannot read"}},
        {R"(GetTranslation("\x100"))", {""}, {"a string literal the test cannot read"}},
        {R"(return GetTranslation(english); MyGetTranslation("x"); GetTranslations("y"); Log("GetTranslation: x");)",
         {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<FoundText> found = FindTranslatedTexts(c.src);
        std::vector<std::string> texts, errors;
        for (const FoundText& f : found) {
            texts.push_back(f.text);
            errors.push_back(f.error);
        }
        EXPECT_EQ(texts, c.texts) << c.src;
        EXPECT_EQ(errors, c.errors) << c.src;
    }
}

TEST(TranslationsFile, EveryTextTheProgramTranslatesHasAChineseLine) {
    fs::path root = RepoRoot();
    std::string file = ReadFile(root / "product" / "translations.txt");
    std::vector<std::string> problems;
    std::set<std::string> withChinese;
    for (const Block& b : ReadBlocks(file, &problems)) {
        for (const auto& [code, raw] : b.tr) {
            if (code == "cn" && !raw.empty()) withChinese.insert(Unescape(b.source));
        }
    }
    ASSERT_FALSE(withChinese.empty());

    int sourceFiles = 0;
    bool sawLoader = false;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root / "src")) {
        std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
        sourceFiles++;
        std::string rel = fs::relative(e.path(), root).generic_string();
        sawLoader = sawLoader || rel == "src/i18n/translations.cpp";
        for (const FoundText& t : FindTranslatedTexts(ReadFile(e.path()))) {
            std::string where = rel + ":" + std::to_string(t.line) + ": ";
            if (!t.error.empty()) {
                ADD_FAILURE() << where << t.error;
            } else if (!withChinese.count(t.text)) {
                ADD_FAILURE() << where << "no cn translation for '" << t.text << "'";
            }
        }
    }
    // A wrong root would scan nothing and prove nothing.
    EXPECT_GT(sourceFiles, 20);
    EXPECT_TRUE(sawLoader);
}
