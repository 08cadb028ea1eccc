#include "usersdk/usersdk.h"

#include <windows.h>

#include <string.h>
#include <wchar.h>

#include "common/product_info.h"

USERSDK_API const wchar_t* UserSDK_Version(void) {
    return VLPDF_PRODUCT_VERSION;
}

USERSDK_API int UserSDK_GetHostPath(wchar_t* buf, int cap) {
    if (!buf || cap <= 0) return ERROR_INVALID_PARAMETER;
    buf[0] = 0;
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            (LPCWSTR)(void*)&UserSDK_GetHostPath, &self)) {
        return (int)GetLastError();
    }
    wchar_t path[32768];
    DWORD n = GetModuleFileNameW(self, path, ARRAYSIZE(path));
    if (n == 0 || n >= ARRAYSIZE(path)) return n ? ERROR_INSUFFICIENT_BUFFER : (int)GetLastError();
    wchar_t* slash = wcsrchr(path, L'\\');
    size_t dirLen = slash ? (size_t)(slash - path) + 1 : 0;
    static const wchar_t kHost[] = L"UserSDKHost\\UserSDKHost.exe";
    size_t need = dirLen + ARRAYSIZE(kHost);  // counts the NUL
    if (need > (size_t)cap) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(buf, path, dirLen * sizeof(wchar_t));
    memcpy(buf + dirLen, kHost, sizeof(kHost));
    return 0;
}
