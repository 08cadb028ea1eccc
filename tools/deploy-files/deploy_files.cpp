// deploy-files: the files administrators deploy the reader with, written from the program's own
// tables so that they cannot drift from what the installer does:
//   policies/VeloraPDF.admx and policies/<language>/VeloraPDF.adml, the administrative
//     templates of the policies the installer honours (kPolicies), in English and in the
//     languages of kTemplateLangs, translated through the installer's own translation store;
//   DefaultAssociations.xml, the default-apps file that Dism and the "default associations
//     configuration file" policy read, for the document types the installer can make the
//     reader the default of;
//   with --msi-rows, on its output: the Windows Installer package's rows that turn its public
//     properties into the installer's switches (the choice table, kChoiceDefs), which
//     scripts/msi/build-msi.sh adds to the package beside those of rows.sql.
// The same inputs always give the same bytes: no dates, fixed order.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/choice_table.h"
#include "base/product.h"
#include "base/str.h"
#include "i18n/lang.h"
#include "i18n/translations.h"
#include "installer/policies.h"
#include "integration/associations.h"
#include "integration/default_reader.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: deploy-files <translations.txt> <out-dir>\n"
    "       deploy-files --list\n"
    "       deploy-files --msi-rows\n"
    "\n"
    "Writes <out-dir>/policies/VeloraPDF.admx, <out-dir>/policies/<language>/VeloraPDF.adml\n"
    "(en-US, zh-CN, ar-SA) and <out-dir>/DefaultAssociations.xml. --list prints the tables they\n"
    "come from, one tab-separated row a line (texts with \\n, \\t and \\\\ escapes).\n"
    "--msi-rows prints the package's rows for the installer's options, one SQL statement a line.\n";

constexpr const char* kPolicyNamespace = "http://www.microsoft.com/GroupPolicy/PolicyDefinitions";

// The template languages: the ADML folder and the translations' language code (none for the
// English source).
struct TemplateLang {
    const char* folder;
    const char* code;
};
const TemplateLang kTemplateLangs[] = {{"en-US", nullptr}, {"zh-CN", "cn"}, {"ar-SA", "ar"}};

// The groups of document types an installation can take the defaults of, which an
// administrator sets for every user with the default-apps file. OFD stays with the programs
// the machine already has: its readers are usually government-issued.
const ReaderKind kDefaultAppKinds[] = {ReaderKind::Pdf, ReaderKind::Comics, ReaderKind::Markdown};

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) {
    throw Failure{message};
}

// The two last parts of kPolicyKey ("...\Quenmoor\VeloraPDF"): the publisher's and the
// product's categories are named after them, so that the templates' tree and the registry
// agree.
struct KeyNames {
    std::string publisher;
    std::string product;
};
KeyNames PolicyKeyNames() {
    std::string key = kPolicyKey;
    size_t last = key.rfind('\\');
    size_t before = last == std::string::npos || last == 0 ? std::string::npos : key.rfind('\\', last - 1);
    if (before == std::string::npos) {
        Fail("the policy key '" + key + "' has no publisher and product parts");
    }
    return {key.substr(before + 1, last - before - 1), key.substr(last + 1)};
}

const char* ClassName(PolicyClass c) {
    return c == PolicyClass::Machine ? "Machine" : "Both";
}

// "3.7" gives SUPPORTED_VeloraPDF_3_7; the version must be dotted digits, which keeps the
// name a valid identifier.
std::string SupportedOnName(const std::string& product, const char* since) {
    std::string name = "SUPPORTED_" + product + "_";
    bool digitBefore = false;
    for (const char* p = since; *p; p++) {
        if (*p >= '0' && *p <= '9') {
            name += *p;
            digitBefore = true;
        } else if (*p == '.' && digitBefore && p[1]) {
            name += '_';
            digitBefore = false;
        } else {
            Fail(std::string("the version '") + since + "' is not dotted digits");
        }
    }
    if (!digitBefore) {
        Fail(std::string("the version '") + since + "' is not dotted digits");
    }
    return name;
}

// The versions the table names, each once, in the table's order.
std::vector<const char*> SinceVersions() {
    std::vector<const char*> out;
    for (const PolicyDef& def : kPolicies) {
        bool seen = false;
        for (const char* v : out) {
            seen = seen || strcmp(v, def.since) == 0;
        }
        if (!seen) {
            out.push_back(def.since);
        }
    }
    return out;
}

// Whether s is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF):
// an XML parser refuses the whole file otherwise.
bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = (unsigned char)s[i];
        int n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (n < 0 || i + n >= s.size()) {
            return false;
        }
        uint32_t cp = n == 0 ? c : c & (0x3F >> n);
        for (int k = 1; k <= n; k++) {
            unsigned char cc = (unsigned char)s[i + k];
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

// Text for element content (attr false) or a double-quoted attribute value. A line feed stays
// a line break in content; in an attribute, and a carriage return anywhere, it is a character
// reference, which parsers keep instead of normalising away. Characters XML 1.0 cannot carry
// at all are refused.
std::string Xml(const std::string& s, bool attr = false) {
    if (!IsValidUtf8(s)) {
        Fail("not valid UTF-8: '" + s + "'");
    }
    std::string out;
    for (char ch : s) {
        unsigned char c = (unsigned char)ch;
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += attr ? "&quot;" : "\""; break;
            case '\r': out += "&#13;"; break;
            case '\n': out += attr ? "&#10;" : "\n"; break;
            case '\t': out += attr ? "&#9;" : "\t"; break;
            default:
                if (c < 0x20) {
                    Fail("a control character XML cannot hold in '" + s + "'");
                }
                out += ch;
        }
    }
    return out;
}

// For --list: one line per row, whatever the text holds.
std::string Escaped(const char* s) {
    std::string out;
    for (; *s; s++) {
        switch (*s) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default: out += *s;
        }
    }
    return out;
}

// The language whose texts Translate gives; English when code is null.
void UseLanguage(const char* code, const std::string& translationsTxt) {
    if (!code) {
        SetCurrentLangIdx(0);
        return;
    }
    int idx = FindLangIdx(code);
    if (idx <= 0) {
        Fail(std::string("no language '") + code + "'");
    }
    SetCurrentLangIdx(idx);
    ParseTranslationsTxt(code, StrView(translationsTxt.data(), (int32_t)translationsTxt.size()));
}

// A template text in the current language. A text without a translation fails the run: a
// Chinese template with English in it would ship without anyone noticing.
std::string Translate(const char* english) {
    if (GetCurrentLangIdx() == 0) {
        return english;
    }
    const char* tr = GetTranslation(english);
    if (tr == english) {
        Fail(std::string("no '") + GetCurrentLangCode() + "' translation of '" + Escaped(english) + "'");
    }
    return tr;
}

// The supported-on line of a version: the translated text with its one "%s" replaced.
std::string SupportedOnText(const char* since) {
    std::string text = Translate(kPolicySupportedOnText);
    size_t at = text.find("%s");
    if (at == std::string::npos || text.find('%', at + 2) != std::string::npos || text.find('%') != at) {
        Fail("'" + Escaped(text.c_str()) + "' must hold exactly one %s");
    }
    return text.replace(at, 2, since);
}

std::string Admx() {
    KeyNames names = PolicyKeyNames();
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      << "<policyDefinitions xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" revision=\"1.0\" schemaVersion=\"1.0\" "
         "xmlns=\""
      << kPolicyNamespace << "\">\n"
      << "  <policyNamespaces>\n"
      << "    <target prefix=\"" << Xml(kProductId, true) << "\" namespace=\""
      << Xml(names.publisher + ".Policies." + names.product, true) << "\" />\n"
      << "  </policyNamespaces>\n"
      << "  <resources minRequiredRevision=\"1.0\" />\n"
      << "  <supportedOn>\n"
      << "    <definitions>\n";
    for (const char* since : SinceVersions()) {
        std::string name = SupportedOnName(names.product, since);
        o << "      <definition name=\"" << name << "\" displayName=\"$(string." << name << ")\" />\n";
    }
    o << "    </definitions>\n"
      << "  </supportedOn>\n"
      << "  <categories>\n"
      << "    <category name=\"" << Xml(names.publisher, true) << "\" displayName=\"$(string."
      << Xml(names.publisher, true) << ")\" />\n"
      << "    <category name=\"" << Xml(names.product, true) << "\" displayName=\"$(string."
      << Xml(names.product, true) << ")\">\n"
      << "      <parentCategory ref=\"" << Xml(names.publisher, true) << "\" />\n"
      << "    </category>\n"
      << "  </categories>\n"
      << "  <policies>\n";
    for (const PolicyDef& def : kPolicies) {
        std::string name = Xml(def.valueName, true);
        o << "    <policy name=\"" << name << "\" class=\"" << ClassName(def.cls) << "\" displayName=\"$(string."
          << name << ")\" explainText=\"$(string." << name << "_Explain)\" key=\"" << Xml(kPolicyKey, true)
          << "\" valueName=\"" << name << "\">\n"
          << "      <parentCategory ref=\"" << Xml(names.product, true) << "\" />\n"
          << "      <supportedOn ref=\"" << SupportedOnName(names.product, def.since) << "\" />\n"
          << "      <enabledValue>\n"
          << "        <decimal value=\"1\" />\n"
          << "      </enabledValue>\n"
          << "      <disabledValue>\n"
          << "        <decimal value=\"0\" />\n"
          << "      </disabledValue>\n"
          << "    </policy>\n";
    }
    o << "  </policies>\n"
      << "</policyDefinitions>\n";
    return o.str();
}

// Every $(string.X) the ADMX refers to, in the current language.
std::string Adml(const char* code, const std::string& translationsTxt) {
    UseLanguage(code, translationsTxt);
    KeyNames names = PolicyKeyNames();
    std::vector<std::pair<std::string, std::string>> strings;
    // The company and the product keep their names in every language.
    strings.push_back({names.publisher, names.publisher});
    strings.push_back({names.product, names.product});
    for (const char* since : SinceVersions()) {
        strings.push_back({SupportedOnName(names.product, since), SupportedOnText(since)});
    }
    for (const PolicyDef& def : kPolicies) {
        strings.push_back({def.valueName, Translate(def.displayName)});
        strings.push_back({std::string(def.valueName) + "_Explain", Translate(def.explainText)});
    }
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      << "<policyDefinitionResources xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" revision=\"1.0\" schemaVersion=\"1.0\" "
         "xmlns=\""
      << kPolicyNamespace << "\">\n"
      << "  <displayName>" << Xml(kProductName) << "</displayName>\n"
      << "  <description>" << Xml(Translate(kPolicyTemplatesDescription)) << "</description>\n"
      << "  <resources>\n"
      << "    <stringTable>\n";
    for (const auto& [id, text] : strings) {
        o << "      <string id=\"" << Xml(id, true) << "\">" << Xml(text) << "</string>\n";
    }
    o << "    </stringTable>\n"
      << "  </resources>\n"
      << "</policyDefinitionResources>\n";
    return o.str();
}

// The types of the default-apps file, with the ProgIds every installation registers (an
// all-users installation under HKLM\Software\Classes, where the file's settings look).
struct DefaultApp {
    std::string ext;
    std::string progId;
};
std::vector<DefaultApp> DefaultApps() {
    std::vector<DefaultApp> out;
    for (ReaderKind kind : kDefaultAppKinds) {
        int n = 0;
        const char* const* exts = ReaderKindExts(kind, &n);
        for (int i = 0; i < n; i++) {
            out.push_back({exts[i], ProgIdTemp(exts[i]).CStr()});
        }
    }
    return out;
}

std::string DefaultAssociationsXml() {
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<DefaultAssociations>\n";
    for (const DefaultApp& app : DefaultApps()) {
        o << "  <Association Identifier=\"" << Xml(app.ext, true) << "\" ProgId=\"" << Xml(app.progId, true)
          << "\" ApplicationName=\"" << Xml(kProductName, true) << "\" />\n";
    }
    o << "</DefaultAssociations>\n";
    return o.str();
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail(path.string() + ": cannot open: " + strerror(errno));
    }
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) {
        Fail(path.string() + ": read failed");
    }
    return s.str();
}

// Written beside the target and renamed over it, so that a file is either whole or as before.
void WriteWholeFile(const fs::path& path, const std::string& data) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        Fail(path.parent_path().string() + ": cannot create: " + ec.message());
    }
    fs::path tmp = path;
    tmp += ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(data.data(), (std::streamsize)data.size());
        out.close();
        if (!out) {
            fs::remove(tmp, ec);
            Fail(tmp.string() + ": write failed");
        }
    }
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        Fail(path.string() + ": cannot write: " + ec.message());
    }
}

void PrintList() {
    printf("key\t%s\n", Escaped(kPolicyKey).c_str());
    for (const PolicyDef& def : kPolicies) {
        printf("policy\t%s\t%s\t%s\t%s\t%s\n", def.valueName, ClassName(def.cls), def.since,
               Escaped(def.displayName).c_str(), Escaped(def.explainText).c_str());
    }
    // Every group of document types, not only those of the default-apps file: which groups
    // it covers is for the reader of the list to check.
    const struct {
        ReaderKind kind;
        const char* name;
    } kinds[] = {{ReaderKind::Pdf, "Pdf"}, {ReaderKind::Ofd, "Ofd"}, {ReaderKind::Comics, "Comics"},
                 {ReaderKind::Markdown, "Markdown"}};
    for (const auto& k : kinds) {
        int n = 0;
        const char* const* exts = ReaderKindExts(k.kind, &n);
        for (int i = 0; i < n; i++) {
            printf("kind\t%s\t%s\t%s\n", k.name, exts[i], ProgIdTemp(exts[i]).CStr());
        }
    }
    printf("application\t%s\n", kProductName);
}

// The package's options: for each property of the choice table, in the table's package order,
// an action that adds the refusing word to VlpdfOptions when the property is "0" and one
// that adds the asking word when it is "1". scripts/msi/rows.sql writes the rows around them:
// VlpdfOptReset and the folder's up to 1302, the log paths from 1313.
constexpr int kFirstOptionSequence = 1303;
constexpr int kLastOptionSequence = 1312;

struct OptionAction {
    std::string name;
    std::string target;
    std::string condition;
};

std::vector<OptionAction> OptionActions() {
    std::vector<OptionAction> out;
    for (int place = 1; const ChoiceDef* def = ChoiceAtPackagePlace(place); place++) {
        const char* const* words = def->words;
        const char* refuse = words[(int)ChoiceWord::Refuse];
        const char* ask = words[(int)ChoiceWord::Ask] ? words[(int)ChoiceWord::Ask] : words[(int)ChoiceWord::TakeBack];
        std::string property = def->property;
        if (refuse) {
            out.push_back({std::string("VlpdfOptNo") + def->actionStem, std::string("[VlpdfOptions] -") + refuse,
                           property + " = \"0\""});
        }
        if (ask) {
            out.push_back({std::string("VlpdfOpt") + def->actionStem, std::string("[VlpdfOptions] -") + ask,
                           property + " = \"1\""});
        }
    }
    if (kFirstOptionSequence + (int)out.size() - 1 > kLastOptionSequence) {
        Fail("the options' " + std::to_string(out.size()) + " actions do not fit between " +
             std::to_string(kFirstOptionSequence) + " and " + std::to_string(kLastOptionSequence));
    }
    return out;
}

// A string value of msibuild's SQL; nothing of the table needs a quote inside.
std::string SqlText(const std::string& s) {
    if (s.find('\'') != std::string::npos) {
        Fail("a quote in '" + s + "'");
    }
    return "'" + s + "'";
}

// In the order rows.sql writes such rows: the actions, then their places.
std::string MsiRows() {
    std::vector<OptionAction> actions = OptionActions();
    std::ostringstream o;
    for (const OptionAction& a : actions) {
        o << "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES (" << SqlText(a.name)
          << ", 51, 'VlpdfOptions', " << SqlText(a.target) << ")\n";
    }
    int sequence = kFirstOptionSequence;
    for (const OptionAction& a : actions) {
        o << "INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES (" << SqlText(a.name)
          << ", " << SqlText(a.condition) << ", " << sequence++ << ")\n";
    }
    return o.str();
}

void WriteAll(const fs::path& translationsPath, const fs::path& out) {
    std::string translations = ReadWholeFile(translationsPath);
    // Every file is made before any is written: a missing translation leaves no half set.
    std::vector<std::pair<fs::path, std::string>> files;
    files.push_back({out / "policies" / (std::string(kProductName) + ".admx"), Admx()});
    for (const TemplateLang& lang : kTemplateLangs) {
        files.push_back(
            {out / "policies" / lang.folder / (std::string(kProductName) + ".adml"), Adml(lang.code, translations)});
    }
    files.push_back({out / "DefaultAssociations.xml", DefaultAssociationsXml()});
    for (const auto& [path, data] : files) {
        WriteWholeFile(path, data);
    }
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && strcmp(argv[1], "--list") == 0) {
            PrintList();
            return 0;
        }
        if (argc == 2 && strcmp(argv[1], "--msi-rows") == 0) {
            fputs(MsiRows().c_str(), stdout);
            return fflush(stdout) == 0 ? 0 : 1;
        }
        if (argc != 3 || argv[1][0] == '-') {
            fputs(kUsage, stderr);
            return 2;
        }
        WriteAll(argv[1], argv[2]);
        return 0;
    } catch (const Failure& f) {
        fprintf(stderr, "deploy-files: %s\n", f.message.c_str());
        return 1;
    }
}
