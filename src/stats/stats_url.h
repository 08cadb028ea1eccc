#pragma once
// The installation report as text: the query it carries, how its values are encoded, and
// the pieces of the URL that the HTTP client is given.
#include <stdint.h>

#include "base/str.h"

constexpr int32_t kUrlEncodedCap = 780;
constexpr int32_t kStatsUrlCap = 2048;
constexpr int32_t kStatsBaseUrlMaxChars = 255;
constexpr int32_t kStatsHostCap = 256;
constexpr int32_t kStatsPathCap = 2048;
constexpr const char* kStatsProduct = "dizezodu";
// The endpoint when VLPDF_STATS_URL does not name another one; set by the build.
extern const char* const kDefaultStatsUrl;

// Copies ASCII letters, digits and "-._~" and writes every other byte of the UTF-8 text as
// "%XX" (upper-case hex). Stops before a character that would leave fewer than 4 bytes
// of cap free, so that a character is never cut in half. Always NUL-terminates (cap > 0);
// returns the length written.
int32_t UrlEncodeUtf8(StrView text, char* out, int32_t cap = kUrlEncodedCap);

// What the report says; every value is encoded when the URL is put together, so a space,
// '&' or '#' in a system description or an identifier stays inside its own value.
struct StatsQuery {
    StrView base;
    StrView type;
    StrView version;
    StrView system;
    bool is64Bit = false;
    StrView machineId;
    StrView exeName;
};

// "base?type=..&version=..&system=..&product=dizezodu&64bit=..&machineid=..&exeName=..&encoding=utf8",
// cut to cap - 1 bytes and NUL-terminated; returns the length written.
int32_t FormatStatsUrl(const StatsQuery& q, char* out, int32_t cap = kStatsUrlCap);

// "major.minor.build" from the two halves of a version resource's product version; the
// fourth part is left out.
StrView FormatProductVersionTemp(uint32_t versionMS, uint32_t versionLS);

struct UrlParts {
    bool secure = false;  // https
    StrView host;         // temporary arena
    uint16_t port = 0;
    StrView pathAndQuery;  // temporary arena; "/" at least
};

// Only http and https URLs with a host of fewer than 256 bytes, a port in 1..65535 when
// one is given, and a path with its query of fewer than 2048 bytes.
bool SplitUrl(StrView url, UrlParts* out);
