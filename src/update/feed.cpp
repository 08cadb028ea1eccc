#include "update/feed.h"

#include <initializer_list>

#include "base/arena.h"
#include "base/dotted_version.h"
#include "base/json.h"
#include "base/log.h"

namespace {

bool ParseDigest(StrView hex, uint8_t out[kSha256Size]) {
    if (hex.len != 2 * kSha256Size) {
        return false;
    }
    for (int32_t i = 0; i < kSha256Size; i++) {
        int hi = str::HexDigitValue(hex.s[2 * i]), lo = str::HexDigitValue(hex.s[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out[i] = (uint8_t)(hi * 16 + lo);
    }
    return true;
}

StrView StringOf(const json::Value* v) {
    return v && v->type == json::Type::String ? v->string : StrView();
}

bool ReadPackage(const json::Value* v, bool patch, UpdatePackage* p) {
    if (!v || v->type != json::Type::Object) {
        return false;
    }
    const json::Value* size = v->Get("size");
    p->url = StringOf(v->Get("url"));
    p->size = size && size->type == json::Type::Integer ? size->integer : -1;
    p->from = StringOf(v->Get("from"));
    return !p->url.IsEmpty() && p->size > 0 && ParseDigest(StringOf(v->Get("sha256")), p->sha256) &&
           (!patch || IsDottedVersion(p->from));
}

bool ReadRelease(const json::Value& v, Arena* arena, FeedRelease* r, StrView* error) {
    r->version = StringOf(v.Get("version"));
    if (!IsDottedVersion(r->version)) {
        *error = "a release without a version of numbers and dots";
        return false;
    }
    if (!ReadPackage(v.Get("full"), false, &r->full)) {
        *error = str::FormatTemp("release %s: its full installer lacks an address, a size or a SHA-256", r->version.CStr());
        return false;
    }
    const json::Value* patches = v.Get("patches");
    if (!patches) {
        return true;
    }
    if (patches->type != json::Type::Array) {
        *error = str::FormatTemp("release %s: \"patches\" is not a list", r->version.CStr());
        return false;
    }
    r->patches = (UpdatePackage*)ArenaAlloc(arena, sizeof(UpdatePackage) * (size_t)(patches->count + 1), true);
    for (int32_t i = 0; i < patches->count; i++) {
        if (!ReadPackage(&patches->items[i], true, &r->patches[i])) {
            *error = str::FormatTemp("release %s: patch %d lacks its base version, an address, a size or a SHA-256",
                                     r->version.CStr(), (int)i + 1);
            return false;
        }
    }
    r->patchCount = patches->count;
    return true;
}

bool IsLoopbackHttp(StrView url) {
    for (const char* prefix : {"http://127.0.0.1:", "http://127.0.0.1/", "http://localhost:", "http://localhost/",
                               "http://[::1]:", "http://[::1]/"}) {
        if (str::StartsWith(url, prefix)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseUpdateFeed(StrView text, Arena* arena, UpdateFeed* feed, StrView* error) {
    *feed = UpdateFeed();
    json::Value root;
    int32_t at = 0;
    if (!json::Parse(text, arena, &root, &at)) {
        *error = str::FormatTemp("not JSON (at byte %d)", (int)at);
        return false;
    }
    const json::Value* releases = root.Get("releases");
    if (!releases || releases->type != json::Type::Array) {
        *error = "no list of releases";
        return false;
    }
    feed->base = StringOf(root.Get("base"));
    feed->releases = (FeedRelease*)ArenaAlloc(arena, sizeof(FeedRelease) * (size_t)(releases->count + 1), true);
    for (int32_t i = 0; i < releases->count; i++) {
        if (releases->items[i].type != json::Type::Object ||
            !ReadRelease(releases->items[i], arena, &feed->releases[i], error)) {
            if (releases->items[i].type != json::Type::Object) {
                *error = "a release that is not an object";
            }
            return false;
        }
    }
    feed->count = releases->count;
    return true;
}

UpdateChoice ChooseUpdate(const UpdateFeed& feed, StrView installed, StrView pinnedPrefix) {
    UpdateChoice choice;
    for (int32_t i = 0; i < feed.count; i++) {
        const FeedRelease& r = feed.releases[i];
        if (CompareDottedVersions(r.version, installed) <= 0) {
            Logf("ChooseUpdate: the feed offers %s, not newer than the installed %s: ignored\n", r.version.CStr(),
                 installed.CStr());
            continue;
        }
        if (!pinnedPrefix.IsEmpty() && !str::StartsWith(r.version, pinnedPrefix)) {
            Logf("ChooseUpdate: %s is outside the pinned versions '%s'\n", r.version.CStr(), pinnedPrefix.CStr());
            continue;
        }
        if (!choice.release || CompareDottedVersions(r.version, choice.release->version) > 0) {
            choice.release = &r;
        }
    }
    if (!choice.release) {
        return choice;
    }
    choice.kind = UpdateChoice::Kind::Full;
    choice.package = &choice.release->full;
    for (int32_t i = 0; i < choice.release->patchCount; i++) {
        if (CompareDottedVersions(choice.release->patches[i].from, installed) == 0) {
            choice.kind = UpdateChoice::Kind::Patch;
            choice.package = &choice.release->patches[i];
        }
    }
    return choice;
}

StrView PackageUrlTemp(const UpdateFeed& feed, const UpdatePackage& package, bool allowLoopbackHttp) {
    bool absolute = str::StartsWith(package.url, "https://") || str::StartsWith(package.url, "http://");
    StrView url = absolute ? package.url : str::FormatTemp("%s%s", feed.base.CStr(), package.url.CStr());
    if (str::StartsWith(url, "https://") || (allowLoopbackHttp && IsLoopbackHttp(url))) {
        return url;
    }
    return {};
}
