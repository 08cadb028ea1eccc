#pragma once
// The user-interface languages: the fixed table of language codes, the current language,
// which languages are written right to left, and the choice of a language from the
// platform's UI language.
#include <stdint.h>

#include "base/str.h"


constexpr int32_t kNoUiLangId = -1;

struct LangDef {
    const char* code;
    // The platform UI language identifier that selects this language, or kNoUiLangId when
    // detection never picks it.
    int32_t uiLangId;
};

// Index 0 is English, which needs no translations. The order is fixed: the positions are
// part of what other code relies on.
constexpr int kLangCount = 73;
extern const LangDef gLangs[kLangCount];

// The index of exactly this code, or -1.
int FindLangIdx(StrView code);
bool IsLangRtl(int langIdx);

// The current language: index 0 and the empty code until a language is set.
int GetCurrentLangIdx();
const char* GetCurrentLangCode();
bool IsCurrentLangRtl();
// Only the language loader changes the current language.
void SetCurrentLangIdx(int langIdx);

// The code for a platform UI language identifier: the exact identifier, else the primary
// language (identifier & 0x3FF), else "en".
const char* LangCodeForUiLanguage(uint16_t uiLangId);

// The language a run shows: "cn", unless the run is for testing (-for-testing); then the
// code for the user's default UI language.
const char* DetectUserLang(bool forTesting);

// Returns the user's default UI language identifier. A test seam: a machine has only one UI
// language, and the detection rules are only visible across many of them.
extern uint16_t (*gGetUserDefaultUiLanguage)();
uint16_t GetPlatformUserDefaultUiLanguage();
