#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/utf.h"

// The portable converter stands in for the system's on hosts without one; it must give the
// same results for text and for the usual kinds of damage. (How many U+FFFD an encoded
// surrogate or a code point past U+10FFFF turns into differs between converters; nothing
// relies on it.)
TEST(Utf, PortableConverterAgreesWithTheSystem) {
    const char* cases[] = {
        "", "plain", "\xC3\xA9", "\xE5\xAE\x89\xE8\xA3\x85", "\xF0\x9F\x93\x84", "a\x80z", "\xFF\xFE",
        "\xE5\xAE", "\xC0\x80", "\xF0\x9F\x93", "x\xE2\x82y",
    };
    for (const char* c : cases) {
        int len = (int)strlen(c);
        std::u16string sys(len + 1, u'\0'), ours(len + 1, u'\0');
        int nSys = MultiByteToWideChar(CP_UTF8, 0, c, len, (WCHAR*)sys.data(), len + 1);
        int nOurs = utf::Utf8ToUtf16Portable(c, len, ours.data());
        sys.resize(nSys);
        ours.resize(nOurs);
        EXPECT_EQ(ours, sys) << "utf-8 input: " << c;
    }
    const std::u16string wcases[] = {u"", u"abc", u"\u00E9\u5B89", u"\U0001F4C4", std::u16string(1, (char16_t)0xD800),
                                     std::u16string(u"a") + (char16_t)0xDC00 + u"b"};
    for (const std::u16string& w : wcases) {
        std::string sys(w.size() * 3 + 1, '\0'), ours(w.size() * 3 + 1, '\0');
        int nSys = WideCharToMultiByte(CP_UTF8, 0, (const WCHAR*)w.data(), (int)w.size(), sys.data(), (int)sys.size(),
                                       nullptr, nullptr);
        int nOurs = utf::Utf16ToUtf8Portable(w.data(), (int)w.size(), ours.data());
        sys.resize(nSys);
        ours.resize(nOurs);
        EXPECT_EQ(ours, sys) << "utf-16 input of " << w.size() << " units";
    }
}
