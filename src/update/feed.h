#pragma once
// The update feed: what the update server offers, as `make release` writes it
// (release/update-feed.json), served as a static file:
//   {"base": "https://www.velorapdf.com/download/",
//    "releases": [{"version": "3.7.1",
//                  "full": {"url": "VeloraPDF-3.7.1-install.exe", "size": 1581568, "sha256": "<64 hex>"},
//                  "patches": [{"from": "3.7", "url": "VeloraPDF-3.7.1-update-from-3.7.exe",
//                               "size": 808448, "sha256": "<64 hex>"}]}]}
// A package's address is relative to "base" unless it is absolute. Members this program
// does not know are ignored, so that a later feed can say more. Pure.
#include <stdint.h>

#include "base/sha256.h"
#include "base/str.h"

struct Arena;

struct UpdatePackage {
    StrView url;
    int64_t size = 0;
    uint8_t sha256[kSha256Size] = {};
    StrView from;  // a patch's base version; empty for a full installer
};

struct FeedRelease {
    StrView version;
    UpdatePackage full;
    UpdatePackage* patches = nullptr;
    int32_t patchCount = 0;
};

struct UpdateFeed {
    StrView base;
    FeedRelease* releases = nullptr;
    int32_t count = 0;
};

// Fills the feed from its text, everything in the arena. False with what is wrong (in the
// temporary arena) when the text is not a feed: a release without a version, a package
// without an address, a size or a SHA-256 of 64 hexadecimal digits.
bool ParseUpdateFeed(StrView text, Arena* arena, UpdateFeed* feed, StrView* error);

struct UpdateChoice {
    enum class Kind : uint8_t { None, Patch, Full };
    Kind kind = Kind::None;
    const FeedRelease* release = nullptr;
    const UpdatePackage* package = nullptr;
};

// The newest release newer than the installed version (only those starting with the prefix
// when an administrator pins one, for example "3.7."): its patch from the installed version
// when it has one, else its full installer. Releases not newer are ignored, each with a log
// line: a feed never takes an installation back.
UpdateChoice ChooseUpdate(const UpdateFeed& feed, StrView installed, StrView pinnedPrefix);

// The package's address: absolute as given, or joined to the feed's base. Empty when it is
// not an https address (http only to a loopback address, and only when allowed).
StrView PackageUrlTemp(const UpdateFeed& feed, const UpdatePackage& package, bool allowLoopbackHttp);
