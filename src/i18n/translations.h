#pragma once
// Every user-visible text is written in English in the program and passed through
// GetTranslation before it is shown; log texts are never translated.
//
// The texts come from "translations.txt" in the payload, which holds every language:
//   line 1   "VorUvevizudur: " and the product name (not read)
//   line 2   a 40-digit hexadecimal fingerprint of the set of texts (not read)
//   then     ":English text", followed by zero or more "code:text in that language" lines
// Texts may use the escapes \\ \n \r \t.
//
// How texts reach GetTranslation: as a string literal at the call, or, where a text sits in
// a table and is translated later, wrapped in TranslatableText where it is written. The
// translations test finds texts by these two names and fails for any without a "cn" entry.
#include "base/str.h"
#include "base/translatable.h"

// The translation of the English text in the current language, or the text itself when
// there is none. Translate before filling placeholders. The result stays valid until the
// next language is loaded (once, at start-up, before other threads run).
const char* GetTranslation(const char* english);

// Makes code the UI language and loads its translations. Any problem falls back to
// English with one log line; nothing is shown to the user.
void SetCurrentLangByCode(const char* code);

// Replaces the translation store with the texts of code found in the file's text.
void ParseTranslationsTxt(const char* code, StrView text);

// Appends the unescaped text to out: \\ \n \r \t give a backslash, line feed, carriage
// return and tab; a backslash before any other character stays and that character is
// dropped; a trailing backslash stays.
bool AppendUnescapedTranslationText(Str& out, StrView text);

// Fills *out with the bytes of "translations.txt"; false when they are not available. A seam,
// as the file lies above this layer: start-up points it at the payload archive and the
// uninstaller at its own resource, before either sets the language (until then every
// language falls back to English); tests point it at their own file contents.
using LoadTranslationsFileFunc = bool (*)(Str* out);
extern LoadTranslationsFileFunc gLoadTranslationsFile;
bool TranslationsFileNotAvailable(Str* out);
