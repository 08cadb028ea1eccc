#include "read_file.h"

DWORD ReadWholeFile(const wchar_t* path, size_t maxBytes, std::string* out) {
    out->clear();
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    DWORD err = 0;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) {
        err = GetLastError();
    } else if ((unsigned long long)size.QuadPart > maxBytes) {
        err = ERROR_FILE_TOO_LARGE;
    } else {
        out->resize((size_t)size.QuadPart);
        size_t done = 0;
        while (done < out->size()) {
            DWORD chunk = out->size() - done > (1u << 30) ? (1u << 30) : (DWORD)(out->size() - done);
            DWORD got = 0;
            if (!ReadFile(h, &(*out)[done], chunk, &got, nullptr)) {
                err = GetLastError();
                break;
            }
            if (got == 0) break;  // the file shrank while we read it
            done += got;
        }
        out->resize(done);
    }
    CloseHandle(h);
    if (err) out->clear();
    return err;
}

HRESULT ReadWholeStream(IStream* stream, size_t maxBytes, std::string* out, bool* truncated) {
    out->clear();
    *truncated = false;
    char buf[64 * 1024];
    for (;;) {
        ULONG got = 0;
        HRESULT hr = stream->Read(buf, sizeof(buf), &got);
        if (FAILED(hr)) return hr;
        if (got == 0) return S_OK;
        if (out->size() + got > maxBytes) {
            out->append(buf, maxBytes - out->size());
            *truncated = true;
            return S_OK;
        }
        out->append(buf, got);
        if (hr == S_FALSE) return S_OK;
    }
}
