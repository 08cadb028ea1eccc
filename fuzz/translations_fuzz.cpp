// Feeds arbitrary text to the translations parser for a language picked by the first byte,
// then looks up every English text the file names: parsing and lookups must stay inside the
// text and the store, and the entry that changes the language keeps its English words.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/str.h"
#include "i18n/lang.h"
#include "i18n/translations.h"

namespace {

void Check(bool ok) {
    if (!ok) {
        abort();
    }
}

// The English texts of the ":text" lines, unescaped as the parser stores them.
void CheckLookups(StrView text) {
    str::Parts lines(text, '\n');
    for (StrView line; lines.Next(&line);) {
        if (line.len == 0 || line.s[0] != ':') {
            continue;
        }
        Str english;
        Check(AppendUnescapedTranslationText(english, StrView(line.s + 1, line.len - 1)));
        std::string key(english.els, (size_t)english.len);
        if (key.find('\0') != std::string::npos) {
            continue;  // a lookup by C string cannot name it
        }
        const char* tr = GetTranslation(key.c_str());
        Check(tr != nullptr);
        size_t trLen = strlen(tr);  // must be NUL-terminated inside the store
        if (tr != key.c_str() && key.find("Change Language") != std::string::npos) {
            Check(std::string(tr, trLen).find("Change Language") != std::string::npos);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    int idx = 1 + data[0] % (kLangCount - 1);
    // An exact-size heap copy: AddressSanitizer reports any read past the end.
    size_t n = size - 1;
    char* copy = (char*)malloc(n ? n : 1);
    memcpy(copy, data + 1, n);
    StrView text(copy, (int32_t)n);
    SetCurrentLangIdx(idx);
    ParseTranslationsTxt(gLangs[idx].code, text);
    CheckLookups(text);
    free(copy);
    return 0;
}
