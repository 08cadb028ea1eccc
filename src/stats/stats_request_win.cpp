#include <windows.h>
#include <winhttp.h>

#include "base/arena.h"
#include "stats/stats.h"

namespace {
constexpr int kTimeoutMs = 8000;
const WCHAR* kUserAgent = L"vlpdf-stats";

// Automatic proxy detection needs Windows 8.1; older systems refuse it and get the default.
HINTERNET OpenSession() {
    HINTERNET session =
        WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session) {
        session = WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0);
    }
    return session;
}

void CloseIfOpen(HINTERNET h) {
    if (h) {
        WinHttpCloseHandle(h);
    }
}
}  // namespace

bool SendStatsRequest(StrView url) {
    TempArenaScope scope;
    UrlParts parts;
    if (!SplitUrl(url, &parts)) {
        return false;
    }
    HINTERNET session = OpenSession();
    if (!session) {
        return false;
    }
    // Every phase is bounded: the report never outlives a dead endpoint by much.
    WinHttpSetTimeouts(session, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs);
    HINTERNET connection = WinHttpConnect(session, (const WCHAR*)ToWStrTemp(parts.host).s, parts.port, 0);
    HINTERNET request =
        connection ? WinHttpOpenRequest(connection, L"GET", (const WCHAR*)ToWStrTemp(parts.pathAndQuery).s, nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        parts.secure ? WINHTTP_FLAG_SECURE : 0)
                   : nullptr;
    bool answered = request &&
                    WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
                    WinHttpReceiveResponse(request, nullptr);
    CloseIfOpen(request);
    CloseIfOpen(connection);
    CloseIfOpen(session);
    return answered;
}
