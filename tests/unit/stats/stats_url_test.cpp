#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "stats/stats_url.h"

namespace {
std::string Encode(const std::string& text, int32_t cap = kUrlEncodedCap) {
    std::string out((size_t)cap + 8, '\x7f');
    int32_t n = UrlEncodeUtf8(StrView(text.data(), (int32_t)text.size()), out.data(), cap);
    EXPECT_EQ(out[(size_t)n], '\0');
    EXPECT_EQ(out[(size_t)cap], '\x7f') << "wrote past the capacity";
    return out.substr(0, (size_t)n);
}
}  // namespace

TEST(UrlEncodeUtf8, KeepsUnreservedBytesAndEncodesEveryOtherByteInUpperCaseHex) {
    struct {
        std::string text;
        int32_t cap;
        std::string encoded;
    } cases[] = {
        {"VeloraPDF-3.7_install~x.exe", kUrlEncodedCap, "VeloraPDF-3.7_install~x.exe"},
        {"Setup copy.exe", kUrlEncodedCap, "Setup%20copy.exe"},
        {"a&b=c#d?e/f+g%h", kUrlEncodedCap, "a%26b%3Dc%23d%3Fe%2Ff%2Bg%25h"},
        {"Instal\xC3\xA1tor \xE4\xB8\xAD.exe", kUrlEncodedCap, "Instal%C3%A1tor%20%E4%B8%AD.exe"},
        {"\x01\x7F\xFF", kUrlEncodedCap, "%01%7F%FF"},
        {"", kUrlEncodedCap, ""},
        // Each byte starts where at least 4 places remain; a character goes whole or not at all.
        {"abcdef", 8, "abcde"},
        {"ab cd", 8, "ab%20"},
        {"abcd e", 8, "abcd%20"},
        {"abcde f", 8, "abcde"},
        {"abc\xC3\xA1", 10, "abc%C3%A1"},
        {"abcd\xC3\xA1", 10, "abcd"},
        {"\xE4\xB8\xAD\xE4\xB8\xAD", 13, "%E4%B8%AD"},
        {"abc", 3, ""},
        {"abc", 1, ""},
    };
    for (auto& c : cases) {
        EXPECT_EQ(Encode(c.text, c.cap), c.encoded) << c.text << " cap " << c.cap;
    }
    std::string many(1000, ' ');
    std::string encoded = Encode(many);
    EXPECT_EQ(encoded.size(), 777u) << "259 spaces of 3 bytes, the next would start at 777";
}

TEST(FormatStatsUrl, EncodesEveryValueSoThatNoneAddsOrBreaksAKey) {
    StatsQuery q;
    q.base = "http://127.0.0.1:8080/helper/statistics";
    q.type = "install";
    q.version = "3.7.0";
    q.system = "Windows 10.0.19045 x64";
    q.is64Bit = true;
    q.machineId = "A1&machineid=x#y";
    q.exeName = "Velora Setup \xC3\xBC.exe";
    char url[kStatsUrlCap];
    int32_t n = FormatStatsUrl(q, url);
    EXPECT_STREQ(url,
                 "http://127.0.0.1:8080/helper/statistics?type=install&version=3.7.0"
                 "&system=Windows%2010.0.19045%20x64&product=dizezodu&64bit=true"
                 "&machineid=A1%26machineid%3Dx%23y&exeName=Velora%20Setup%20%C3%BC.exe&encoding=utf8");
    EXPECT_EQ(n, (int32_t)strlen(url));

    q.is64Bit = false;
    q.exeName = "";
    FormatStatsUrl(q, url);
    EXPECT_NE(strstr(url, "&64bit=false&"), nullptr) << url;
    EXPECT_NE(strstr(url, "&exeName=&encoding=utf8"), nullptr) << url;

    char small[40];
    EXPECT_EQ(FormatStatsUrl(q, small, sizeof(small)), 39);
    EXPECT_STREQ(small, "http://127.0.0.1:8080/helper/statistics");
}

TEST(SplitUrl, GivesHostPortAndPathWithQueryOfHttpAndHttpsUrlsOnly) {
    struct {
        const char* url;
        bool ok;
        bool secure = false;
        const char* host = "";
        int port = 0;
        const char* pathAndQuery = "";
    } cases[] = {
        {"http://stats.velorapdf.example/helper/statistics?type=install&x=%20", true, false,
         "stats.velorapdf.example", 80, "/helper/statistics?type=install&x=%20"},
        {"HTTPS://Example.org/a", true, true, "Example.org", 443, "/a"},
        {"http://127.0.0.1:51234/p?q=1", true, false, "127.0.0.1", 51234, "/p?q=1"},
        {"http://host?q=1", true, false, "host", 80, "/?q=1"},
        {"http://host", true, false, "host", 80, "/"},
        {"http://[::1]:8080/p", true, false, "[::1]", 8080, "/p"},
        {"https://[::1]/p", true, true, "[::1]", 443, "/p"},
        {"ftp://host/p", false},
        {"/helper/statistics?type=install", false},
        {"?type=install", false},
        {"http:///p", false},
        {"http://host:/p", false},
        {"http://host:0/p", false},
        {"http://host:65536/p", false},
        {"http://host:8o/p", false},
        {"http://[::1/p", false},
        {"http://[::1]x/p", false},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        UrlParts parts;
        ASSERT_EQ(SplitUrl(c.url, &parts), c.ok) << c.url;
        if (!c.ok) {
            continue;
        }
        EXPECT_EQ(parts.secure, c.secure) << c.url;
        EXPECT_STREQ(parts.host.CStr(), c.host) << c.url;
        EXPECT_EQ(parts.port, c.port) << c.url;
        EXPECT_STREQ(parts.pathAndQuery.CStr(), c.pathAndQuery) << c.url;
    }

    TempArenaScope scope;
    UrlParts parts;
    std::string longHost = "http://" + std::string(256, 'h') + "/p";
    EXPECT_FALSE(SplitUrl(longHost.c_str(), &parts));
    EXPECT_TRUE(SplitUrl(("http://" + std::string(255, 'h') + "/p").c_str(), &parts));
    EXPECT_FALSE(SplitUrl(("http://h/" + std::string(2047, 'p')).c_str(), &parts));
    EXPECT_TRUE(SplitUrl(("http://h/" + std::string(2046, 'p')).c_str(), &parts));
}

TEST(FormatProductVersion, IsMajorMinorBuildWithoutTheFourthPart) {
    TempArenaScope scope;
    EXPECT_STREQ(FormatProductVersionTemp(0x00030007, 0x00000000).CStr(), "3.7.0");
    EXPECT_STREQ(FormatProductVersionTemp(0xFFFF000A, 0x04D20009).CStr(), "65535.10.1234");
}
