#include "i18n/lang.h"

uint16_t (*gGetUserDefaultUiLanguage)() = GetPlatformUserDefaultUiLanguage;

constexpr int32_t kNone = kNoUiLangId;

const LangDef gLangs[kLangCount] = {
    {"en", 0x0009},    {"af", 0x0036},    {"sq", 0x001C},    {"ar", 0x0001},    {"am", 0x002B},
    {"az", 0x002C},    {"eu", 0x002D},    {"by", 0x0023},    {"bn", 0x0045},    {"bs", 0x141A},
    {"bg", 0x0002},    {"mm", kNone},     {"ca", 0x0003},    {"ca-xv", kNone},  {"cn", 0x0804},
    {"tw", 0x0404},    {"kw", kNone},     {"co", 0x0083},    {"hr", 0x001A},    {"cz", 0x0005},
    {"dk", 0x0006},    {"nl", 0x0013},    {"et", 0x0025},    {"fo", 0x0038},    {"fi", 0x000B},
    {"fr", 0x000C},    {"fy-nl", 0x0062}, {"gl", 0x0056},    {"ka", 0x0037},    {"de", 0x0007},
    {"el", 0x0008},    {"he", 0x000D},    {"hi", 0x0039},    {"hu", 0x000E},    {"id", 0x0021},
    {"ga", 0x003C},    {"it", 0x0010},    {"ja", 0x0011},    {"jv", kNone},     {"kr", 0x0012},
    {"ku", 0x0492},    {"lv", 0x0026},    {"lt", 0x0027},    {"mk", 0x002F},    {"ml", 0x004C},
    {"my", 0x003E},    {"ne", 0x0061},    {"no", 0x0414},    {"nn", 0x0814},    {"fa", 0x0029},
    {"pl", 0x0015},    {"br", 0x0416},    {"pt", 0x0016},    {"pa", 0x0046},    {"ro", 0x0018},
    {"ru", 0x0019},    {"sat", kNone},    {"sr-rs", 0x0C1A}, {"sp-rs", 0x081A}, {"sn", kNone},
    {"si", 0x005B},    {"sk", 0x001B},    {"sl", 0x0024},    {"es", 0x000A},    {"sv", 0x001D},
    {"tl", 0x0064},    {"ta", 0x0049},    {"th", 0x001E},    {"tr", 0x001F},    {"uk", 0x0022},
    {"uz", 0x0043},    {"vn", 0x002A},    {"cy", 0x0052},
};

namespace {
// Arabic, Hebrew, Kurdish and Persian.
constexpr int kRtlLangIdxs[] = {3, 31, 40, 49};

int gCurrentLangIdx = 0;
const char* gCurrentLangCode = "";
}  // namespace

int FindLangIdx(StrView code) {
    for (int i = 0; i < kLangCount; i++) {
        if (str::Eq(code, gLangs[i].code)) {
            return i;
        }
    }
    return -1;
}

bool IsLangRtl(int langIdx) {
    for (int rtl : kRtlLangIdxs) {
        if (rtl == langIdx) {
            return true;
        }
    }
    return false;
}

int GetCurrentLangIdx() {
    return gCurrentLangIdx;
}

const char* GetCurrentLangCode() {
    return gCurrentLangCode;
}

bool IsCurrentLangRtl() {
    return IsLangRtl(gCurrentLangIdx);
}

void SetCurrentLangIdx(int langIdx) {
    if (langIdx < 0 || langIdx >= kLangCount) {
        langIdx = 0;
    }
    gCurrentLangIdx = langIdx;
    gCurrentLangCode = gLangs[langIdx].code;
}

const char* LangCodeForUiLanguage(uint16_t uiLangId) {
    for (const LangDef& lang : gLangs) {
        if (lang.uiLangId == uiLangId) {
            return lang.code;
        }
    }
    int32_t primary = uiLangId & 0x3FF;
    for (const LangDef& lang : gLangs) {
        if (lang.uiLangId == primary) {
            return lang.code;
        }
    }
    return "en";
}

const char* DetectUserLang(bool forTesting) {
    if (!forTesting) {
        return "cn";
    }
    return LangCodeForUiLanguage(gGetUserDefaultUiLanguage());
}
