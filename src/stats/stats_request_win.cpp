#include <windows.h>
#include <winhttp.h>

#include "base/arena.h"
#include "base/system_lib.h"
#include "base/wide_win.h"
#include "stats/stats.h"

namespace {
#define VL_WINHTTP_FUNCTIONS(X)                                                                                  \
    X(WinHttpOpen) X(WinHttpCloseHandle) X(WinHttpSetTimeouts) X(WinHttpConnect) X(WinHttpOpenRequest) \
    X(WinHttpSendRequest) X(WinHttpReceiveResponse)
VL_SYSTEM_API(WinHttpApi, L"winhttp.dll", VL_WINHTTP_FUNCTIONS)

constexpr int kTimeoutMs = 8000;
const WCHAR* kUserAgent = L"vlpdf-stats";

// Automatic proxy detection needs Windows 8.1; older systems refuse it and get the default.
HINTERNET OpenSession(const WinHttpApi& http) {
    HINTERNET session = http.WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session) {
        session = http.WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    }
    return session;
}

void CloseIfOpen(const WinHttpApi& http, HINTERNET h) {
    if (h) {
        http.WinHttpCloseHandle(h);
    }
}
}  // namespace

bool SendStatsRequest(StrView url) {
    TempArenaScope scope;
    UrlParts parts;
    if (!SplitUrl(url, &parts)) {
        return false;
    }
    const WinHttpApi& http = WinHttpApi::Get();
    HINTERNET session = http.ok ? OpenSession(http) : nullptr;
    if (!session) {
        return false;
    }
    // Every phase is bounded: the report never outlives a dead endpoint by much.
    http.WinHttpSetTimeouts(session, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs);
    HINTERNET connection = http.WinHttpConnect(session, W(parts.host), parts.port, 0);
    const WCHAR* path = W(parts.pathAndQuery);
    HINTERNET request = connection ? http.WinHttpOpenRequest(connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                                                             WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                             parts.secure ? WINHTTP_FLAG_SECURE : 0)
                                   : nullptr;
    bool answered =
        request &&
        http.WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        http.WinHttpReceiveResponse(request, nullptr);
    CloseIfOpen(http, request);
    CloseIfOpen(http, connection);
    CloseIfOpen(http, session);
    return answered;
}
