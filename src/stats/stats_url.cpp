#include "stats/stats_url.h"

#include <stdio.h>

#include "base/arena.h"

#ifndef VLPDF_STATS_DEFAULT_URL
#error "the build names the default statistics endpoint"
#endif
const char* const kDefaultStatsUrl = VLPDF_STATS_DEFAULT_URL;

namespace {
bool IsUnreserved(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

bool IsContinuation(uint8_t c) {
    return (c & 0xC0) == 0x80;
}

// The bytes of one character: a lead byte and the continuation bytes that follow it.
int32_t CharBytes(StrView s, int32_t i) {
    int32_t n = 1;
    while (n < 4 && i + n < s.len && IsContinuation((uint8_t)s.s[i + n])) {
        n++;
    }
    return n;
}

bool ParsePort(StrView digits, uint16_t* port) {
    if (digits.len < 1 || digits.len > 5) {
        return false;
    }
    uint32_t v = 0;
    for (int32_t i = 0; i < digits.len; i++) {
        if (digits.s[i] < '0' || digits.s[i] > '9') {
            return false;
        }
        v = v * 10 + (uint32_t)(digits.s[i] - '0');
    }
    if (v == 0 || v > 65535) {
        return false;
    }
    *port = (uint16_t)v;
    return true;
}

int32_t FindFirstOf(StrView s, const char* set) {
    for (int32_t i = 0; i < s.len; i++) {
        if (strchr(set, s.s[i])) {
            return i;
        }
    }
    return s.len;
}
}  // namespace

int32_t UrlEncodeUtf8(StrView text, char* out, int32_t cap) {
    if (cap <= 0) {
        return 0;
    }
    static const char kHex[] = "0123456789ABCDEF";
    int32_t pos = 0;
    for (int32_t i = 0; i < text.len;) {
        uint8_t c = (uint8_t)text.s[i];
        // Each byte starts where at least 4 places are left; a character goes whole or not at all.
        int32_t n = IsUnreserved(c) ? 1 : CharBytes(text, i);
        int32_t lastByteAt = IsUnreserved(c) ? pos : pos + 3 * (n - 1);
        if (lastByteAt > cap - 4) {
            break;
        }
        if (IsUnreserved(c)) {
            out[pos++] = (char)c;
            i++;
            continue;
        }
        for (int32_t k = 0; k < n; k++, i++) {
            uint8_t b = (uint8_t)text.s[i];
            out[pos++] = '%';
            out[pos++] = kHex[b >> 4];
            out[pos++] = kHex[b & 15];
        }
    }
    out[pos] = 0;
    return pos;
}

int32_t FormatStatsUrl(const StatsQuery& q, char* out, int32_t cap) {
    char type[kUrlEncodedCap], version[kUrlEncodedCap], system[kUrlEncodedCap], product[kUrlEncodedCap];
    char machineId[kUrlEncodedCap], exeName[kUrlEncodedCap];
    UrlEncodeUtf8(q.type, type);
    UrlEncodeUtf8(q.version, version);
    UrlEncodeUtf8(q.system, system);
    UrlEncodeUtf8(kStatsProduct, product);
    UrlEncodeUtf8(q.machineId, machineId);
    UrlEncodeUtf8(q.exeName, exeName);
    int n = snprintf(out, (size_t)cap, "%.*s?type=%s&version=%s&system=%s&product=%s&64bit=%s&machineid=%s&exeName=%s&encoding=utf8",
                     (int)q.base.len, q.base.CStr(), type, version, system, product, q.is64Bit ? "true" : "false",
                     machineId, exeName);
    if (n < 0) {
        out[0] = 0;
        return 0;
    }
    return n < cap ? n : cap - 1;
}

StrView FormatProductVersionTemp(uint32_t versionMS, uint32_t versionLS) {
    return str::FormatTemp("%u.%u.%u", versionMS >> 16, versionMS & 0xFFFF, versionLS >> 16);
}

bool SplitUrl(StrView url, UrlParts* out) {
    *out = UrlParts();
    StrView rest;
    if (str::StartsWithI(url, "http://")) {
        rest = StrView(url.s + 7, url.len - 7);
        out->port = 80;
    } else if (str::StartsWithI(url, "https://")) {
        rest = StrView(url.s + 8, url.len - 8);
        out->port = 443;
        out->secure = true;
    } else {
        return false;
    }
    StrView authority(rest.s, FindFirstOf(rest, "/?#"));
    StrView path(rest.s + authority.len, rest.len - authority.len);
    // An IPv6 literal keeps its brackets and its colons.
    int32_t hostLen = authority.len > 0 && authority.s[0] == '[' ? FindFirstOf(authority, "]") + 1
                                                                   : FindFirstOf(authority, ":");
    if (hostLen > authority.len) {
        return false;
    }
    StrView host(authority.s, hostLen);
    StrView portPart(authority.s + hostLen, authority.len - hostLen);
    if (host.IsEmpty() || host.len >= kStatsHostCap) {
        return false;
    }
    if (!portPart.IsEmpty() && (portPart.s[0] != ':' || !ParsePort(StrView(portPart.s + 1, portPart.len - 1), &out->port))) {
        return false;
    }
    const char* slash = path.len > 0 && path.s[0] == '/' ? "" : "/";
    out->pathAndQuery = str::FormatTemp("%s%.*s", slash, (int)path.len, path.CStr());
    if (out->pathAndQuery.len >= kStatsPathCap) {
        return false;
    }
    out->host = str::DupTemp(host);
    return true;
}
