#include "i18n/translations.h"

#include <string.h>

#include <new>

#include "base/arena.h"
#include "base/log.h"
#include "i18n/lang.h"

LoadTranslationsFileFunc gLoadTranslationsFile = TranslationsFileNotAvailable;

bool TranslationsFileNotAvailable(Str*) {
    return false;
}

namespace {
constexpr const char* kChangeLanguage = "Change Language";
constexpr const char* kChangeLanguageSuffix = " (Change Language)";

// One (English, translation) pair: offsets of NUL-terminated strings in the store's text.
struct TranslationPair {
    int32_t srcOffset;
    int32_t srcLen;
    int32_t trOffset;
    int32_t trLen;
};

// The whole store lives in two arrays so that replacing it frees everything at once.
struct TranslationStore {
    Str text;
    Vec<TranslationPair> pairs;
};

// Written only while the language is set at start-up; read by every thread afterwards.
TranslationStore* gStore = nullptr;

bool Contains(StrView s, StrView part) {
    for (int32_t i = 0; i + part.len <= s.len; i++) {
        if (memcmp(s.s + i, part.s, (size_t)part.len) == 0) {
            return true;
        }
    }
    return false;
}

bool StartsWithColon(StrView line) {
    return line.len > 0 && line.s[0] == ':';
}

// The non-empty lines of text, in order.
bool SplitLines(StrView text, Vec<StrView>& lines) {
    str::Parts parts(text, '\n');
    for (StrView line; parts.Next(&line);) {
        if (line.len > 0 && !lines.Append(line)) {
            return false;
        }
    }
    return true;
}

bool HasSourceLine(StrView text) {
    for (int32_t i = 0; i < text.len; i++) {
        if (text.s[i] == ':' && (i == 0 || text.s[i - 1] == '\n')) {
            return true;
        }
    }
    return false;
}

// Appends the unescaped text and its NUL; returns its offset, or -1.
int32_t AppendStoreString(Str& out, StrView escaped, int32_t* len) {
    int32_t offset = out.len;
    if (!AppendUnescapedTranslationText(out, escaped) || !out.Append('\0')) {
        return -1;
    }
    *len = out.len - offset - 1;
    return offset;
}

// The entry that changes the language must stay recognisable whatever language is shown,
// so a translation that lost the English words gets them back. Done once here rather than
// at lookup so that lookups never write.
bool AppendPair(TranslationStore& store, StrView src, StrView tr) {
    TranslationPair p{};
    p.srcOffset = AppendStoreString(store.text, src, &p.srcLen);
    if (p.srcOffset < 0) {
        return false;
    }
    p.trOffset = AppendStoreString(store.text, tr, &p.trLen);
    if (p.trOffset < 0) {
        return false;
    }
    // A translation is shown as a C string: a NUL byte in the file ends it, and the check
    // below must see what is shown.
    int32_t shown = (int32_t)strlen(store.text.els + p.trOffset);
    if (shown < p.trLen) {
        p.trLen = shown;
        store.text.len = p.trOffset + shown + 1;
    }
    StrView srcText(store.text.els + p.srcOffset, p.srcLen);
    StrView trText(store.text.els + p.trOffset, p.trLen);
    if (p.trLen > 0 && Contains(srcText, kChangeLanguage) && !Contains(trText, kChangeLanguage)) {
        store.text.len--;  // drop the NUL, then append the suffix and a new one
        if (!str::Append(store.text, kChangeLanguageSuffix) || !store.text.Append('\0')) {
            return false;
        }
        p.trLen = store.text.len - p.trOffset - 1;
    }
    return store.pairs.Append(p);
}

void FallBackToEnglish() {
    SetCurrentLangIdx(0);
}
}  // namespace

bool AppendUnescapedTranslationText(Str& out, StrView text) {
    if (!out.Grow((int64_t)out.len + text.len)) {
        return false;
    }
    for (int32_t i = 0; i < text.len; i++) {
        char c = text.s[i];
        if (c == '\\' && i + 1 < text.len) {
            i++;
            switch (text.s[i]) {
                case '\\': c = '\\'; break;
                case 'n': c = '\n'; break;
                case 'r': c = '\r'; break;
                case 't': c = '\t'; break;
                default: c = '\\'; break;  // the unknown character is dropped
            }
        }
        out.els[out.len++] = c;
    }
    return true;
}

void ParseTranslationsTxt(const char* code, StrView text) {
    TempArenaScope scope;
    StrView prefix = str::FormatTemp("%s:", code);

    Vec<StrView> lines;
    if (!SplitLines(text, lines)) {
        Log("ParseTranslationsTxt: out of memory\n");
        return;
    }
    int nStrings = 0;
    for (StrView line : lines) {
        nStrings += StartsWithColon(line) ? 1 : 0;
    }
    Logf("ParseTranslationsTxt: %d lines, nStrings: %d\n", lines.len, nStrings);

    delete gStore;
    gStore = new (std::nothrow) TranslationStore();
    if (!gStore) {
        Log("ParseTranslationsTxt: out of memory\n");
        return;
    }
    // Unescaping never makes a text longer; each string adds a NUL and a few a suffix.
    gStore->text.Grow((int64_t)text.len + 2 * nStrings + 64);

    int untranslated = 0;
    int32_t i = 2;
    while (i < lines.len) {
        StrView src(lines[i].s + 1, lines[i].len - 1);
        StrView tr;
        bool found = false;
        for (i++; i < lines.len && !StartsWithColon(lines[i]); i++) {
            if (!found && str::StartsWith(lines[i], prefix)) {
                tr = StrView(lines[i].s + prefix.len, lines[i].len - prefix.len);
                found = true;
            }
        }
        if (!AppendPair(*gStore, src, tr)) {
            Log("ParseTranslationsTxt: out of memory\n");
            gStore->pairs.Reset();
            return;
        }
        untranslated += found ? 0 : 1;
    }
    if (untranslated > 0 && !str::Eq(prefix, "en:")) {
        Logf("Untranslated strings: %d for lang '%s'\n", untranslated, prefix.CStr());
    }
}

void SetCurrentLangByCode(const char* code) {
    if (!code) {
        code = "";
    }
    if (str::Eq(code, GetCurrentLangCode())) {
        return;
    }
    int idx = FindLangIdx(code);
    if (idx < 0) {
        Logf("SetCurrentLangByCode: unknown lang code: '%s'\n", code);
        idx = 0;
    }
    SetCurrentLangIdx(idx);
    if (idx == 0) {
        return;
    }

    Str data;
    if (!gLoadTranslationsFile(&data)) {
        Log("SetCurrentLangByCode: translations.txt not found in IDR_EMBEDDED_PAK\n");
        FallBackToEnglish();
        return;
    }
    Logf("SetCurrentLangByCode: translations.txt uncompressed=%d\n", data.len);
    if (data.len == 0) {
        Log("SetCurrentLangByCode: translations.txt is empty (no translations available)\n");
        FallBackToEnglish();
        return;
    }
    StrView text = str::View(data);
    if (!HasSourceLine(text)) {
        Log("SetCurrentLangByCode: translations.txt has no strings (no translations available)\n");
        FallBackToEnglish();
        return;
    }
    ParseTranslationsTxt(gLangs[idx].code, text);
}

const char* GetTranslation(const char* english) {
    if (!english || GetCurrentLangIdx() == 0 || !gStore) {
        return english;
    }
    int32_t len = (int32_t)strlen(english);
    const char* text = gStore->text.els;
    for (const TranslationPair& p : gStore->pairs) {
        if (p.srcLen != len || memcmp(text + p.srcOffset, english, (size_t)len) != 0) {
            continue;
        }
        if (p.trLen == 0) {
            Logf("Didn't find translation for '%s'\n", english);
            return english;
        }
        return text + p.trOffset;
    }
    Logf("GetTranslation: no entry for '%s'\n", english);
    return english;
}
