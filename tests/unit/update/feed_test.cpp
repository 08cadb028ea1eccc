#include "update/feed.h"

#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/dotted_version.h"
#include "base/json.h"

namespace {

const std::string kDigest(64, 'a');

std::string Package(const std::string& url, const std::string& from = "") {
    return "{\"url\": \"" + url + "\", \"size\": 1234, \"sha256\": \"" + kDigest + "\"" +
           (from.empty() ? "" : ", \"from\": \"" + from + "\"") + "}";
}

std::string Release(const std::string& version, const std::string& patchesFrom = "") {
    std::string patches;
    if (!patchesFrom.empty()) {
        patches = ", \"patches\": [" + Package("VeloraPDF-" + version + "-update-from-" + patchesFrom + ".exe", patchesFrom) + "]";
    }
    return "{\"version\": \"" + version + "\", \"full\": " + Package("VeloraPDF-" + version + "-install.exe") +
           patches + ", \"notes\": {\"ignored\": [1, true, null]}}";
}

std::string Feed(const std::string& releases) {
    return "{\"base\": \"https://www.velorapdf.com/download/\", \"releases\": [" + releases + "]}";
}

// What the choice comes to: "none", or "patch <url>" / "full <url>".
std::string Chosen(const std::string& text, const std::string& installed, const std::string& prefix = "") {
    TempArenaScope scope;
    UpdateFeed feed;
    StrView error;
    if (!ParseUpdateFeed(StrView(text.c_str()), GetTempArena(), &feed, &error)) {
        return "error: " + std::string(error.CStr());
    }
    UpdateChoice c = ChooseUpdate(feed, StrView(installed.c_str()), StrView(prefix.c_str()));
    if (c.kind == UpdateChoice::Kind::None) {
        return "none";
    }
    return std::string(c.kind == UpdateChoice::Kind::Patch ? "patch " : "full ") +
           PackageUrlTemp(feed, *c.package, false).CStr();
}

TEST(ChooseUpdate, TheNewestNewerReleaseItsPatchWhenThereIsOneNeverOlder) {
    const std::string base = "https://www.velorapdf.com/download/";
    const std::string both = Feed(Release("3.7.1", "3.7") + "," + Release("3.8", "3.7.1"));
    const struct {
        const char* what;
        std::string feed, installed, prefix, want;
    } cases[] = {
        {"the patch from the installed version", Feed(Release("3.7.1", "3.7")), "3.7", "", "patch " + base + "VeloraPDF-3.7.1-update-from-3.7.exe"},
        {"no patch from it: the full installer", Feed(Release("3.7.1", "3.6")), "3.7", "", "full " + base + "VeloraPDF-3.7.1-install.exe"},
        {"the newest of several", both, "3.7", "", "full " + base + "VeloraPDF-3.8-install.exe"},
        {"the newest, with its patch", both, "3.7.1", "", "patch " + base + "VeloraPDF-3.8-update-from-3.7.1.exe"},
        {"pinned to 3.7.x", both, "3.7", "3.7.", "patch " + base + "VeloraPDF-3.7.1-update-from-3.7.exe"},
        {"pinned, nothing newer inside", both, "3.7.1", "3.7.", "none"},
        {"an older version is ignored", Feed(Release("3.6")), "3.7", "", "none"},
        {"the same version is no update", Feed(Release("3.7.0")), "3.7", "", "none"},
        {"3.10 is newer than 3.9", Feed(Release("3.10") + "," + Release("3.9")), "3.8", "", "full " + base + "VeloraPDF-3.10-install.exe"},
        {"an empty feed", Feed(""), "3.7", "", "none"},
        {"not JSON", "{\"releases\": [", "3.7", "", "error: not JSON (at byte 14)"},
        {"no releases", "{\"base\": \"x\"}", "3.7", "", "error: no list of releases"},
        {"a version with letters", Feed(Release("3.7.1-beta")), "3.7", "", "error: a release without a version of numbers and dots"},
        {"a short digest", Feed("{\"version\": \"3.8\", \"full\": {\"url\": \"a\", \"size\": 1, \"sha256\": \"ab\"}}"), "3.7", "",
         "error: release 3.8: its full installer lacks an address, a size or a SHA-256"},
        {"a patch without its base version", Feed("{\"version\": \"3.8\", \"full\": " + Package("f") + ", \"patches\": [" + Package("p") + "]}"),
         "3.7", "", "error: release 3.8: patch 1 lacks its base version, an address, a size or a SHA-256"},
        {"a plain-http address is refused", "{\"base\": \"http://mirror.example/\", \"releases\": [" + Release("3.8") + "]}", "3.7", "", "full "},
        {"an absolute https address stays", Feed("{\"version\": \"3.8\", \"full\": " + Package("https://cdn.example/v.exe") + "}"),
         "3.7", "", "full https://cdn.example/v.exe"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Chosen(c.feed, c.installed, c.prefix), c.want) << c.what;
    }
}

TEST(PackageUrl, PlainHttpOnlyToLoopbackAndOnlyWhenAllowed) {
    UpdatePackage p;
    p.url = "VeloraPDF-3.8-install.exe";
    const struct {
        const char* base;
        bool allowed;
        const char* want;
    } cases[] = {
        {"http://127.0.0.1:8123/feed/", true, "http://127.0.0.1:8123/feed/VeloraPDF-3.8-install.exe"},
        {"http://127.0.0.1:8123/feed/", false, ""},
        {"http://127.0.0.1.evil.example/", true, ""},
        {"http://localhost/", true, "http://localhost/VeloraPDF-3.8-install.exe"},
        {"ftp://127.0.0.1/", true, ""},
    };
    for (const auto& c : cases) {
        UpdateFeed feed;
        feed.base = c.base;
        EXPECT_STREQ(PackageUrlTemp(feed, p, c.allowed).CStr(), c.want) << c.base << " " << c.allowed;
    }
}

TEST(Json, DecodesEscapesAndRefusesWhatIsNotJson) {
    const struct {
        const char* text;
        bool ok;
        const char* firstString;  // the first array item's string, when it is one
    } cases[] = {
        {"[\"a\\u00e9\\ud83d\\ude00\\n\"]", true, "a\xC3\xA9\xF0\x9F\x98\x80\n"},
        {"  [ \"x\" , 1 , -2 , true , false , null , {} , [] ]  ", true, "x"},
        {"[\"\\ud800\"]", false, nullptr},
        {"[\"\\udc00x\"]", false, nullptr},
        {"[\"tab\there\"]", false, nullptr},
        {"[01]", false, nullptr},
        {"[1.5]", false, nullptr},
        {"[1e3]", false, nullptr},
        {"[1234567890123456789]", false, nullptr},
        {"[1] x", false, nullptr},
        {"{\"a\" 1}", false, nullptr},
        {"[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]", false, nullptr},
        {"[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]", true, nullptr},
    };
    for (const auto& c : cases) {
        TempArenaScope scope;
        json::Value v;
        int32_t at = -1;
        EXPECT_EQ(json::Parse(StrView(c.text), GetTempArena(), &v, &at), c.ok) << c.text;
        if (c.ok && c.firstString) {
            EXPECT_STREQ(v.items[0].string.CStr(), c.firstString) << c.text;
        }
    }
    EXPECT_LT(CompareDottedVersions("3.7", "3.7.1"), 0);
    EXPECT_EQ(CompareDottedVersions("3.7", "3.7.0"), 0);
    EXPECT_GT(CompareDottedVersions("3.10", "3.9"), 0);
}

}  // namespace
