// The least a Windows program must do to unpack its own RCDATA 1 archive: the bench
// (bench/run.sh) gives it the same archive as the installer and compares the installer's
// -x with it. Per selected entry: one raw liblzma decoder into a buffer of the file's
// size, the CRC-32, CreateFileW + WriteFileW. No logging, no retries, no checks beyond the
// CRC-32.
//   extract_minimal <dir>
#include <lzma.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <zlib.h>

#include "archive/archive.h"
#include "archive/extract_plan.h"

namespace {

InstallerArchive gTable;

bool Decode(const ArchiveEntry& e, uint8_t* out) {
    if (e.compressedSize == e.uncompressedSize + 1 && e.data[0] == kArchiveMethodStored) {
        memcpy(out, e.data + 1, e.uncompressedSize);
        return true;
    }
    if (e.compressedSize < 6 || (e.data[0] != kArchiveMethodLzma && e.data[0] != kArchiveMethodLzmaX86)) {
        return false;
    }
    lzma_filter lz = {LZMA_FILTER_LZMA1, nullptr};
    if (lzma_properties_decode(&lz, nullptr, e.data + 1, 5) != LZMA_OK) {
        return false;
    }
    lzma_options_lzma* opt = (lzma_options_lzma*)lz.options;
    if (opt->dict_size > e.uncompressedSize) {
        opt->dict_size = e.uncompressedSize;  // no match reaches before the file's start
    }
    lzma_filter filters[3] = {{LZMA_FILTER_X86, nullptr}, lz, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream strm = LZMA_STREAM_INIT;
    bool ok = false;
    if (lzma_raw_decoder(&strm, e.data[0] == kArchiveMethodLzmaX86 ? filters : filters + 1) == LZMA_OK) {
        strm.next_in = e.data + 6;
        strm.avail_in = e.compressedSize - 6;
        strm.next_out = out;
        strm.avail_out = e.uncompressedSize;
        lzma_ret ret = lzma_code(&strm, LZMA_FINISH);
        ok = (ret == LZMA_STREAM_END || ret == LZMA_OK) && strm.total_out == e.uncompressedSize;
    }
    lzma_end(&strm);
    free(opt);
    return ok;
}

bool Write(const wchar_t* dir, const ArchiveEntry& e, const uint8_t* data) {
    wchar_t name[1024];
    int n = MultiByteToWideChar(CP_UTF8, 0, e.name.s, e.name.len, name, 1000);
    if (n <= 0) {
        return false;
    }
    name[n] = 0;
    wchar_t path[2048];
    int len = _snwprintf(path, 2048, L"%ls\\%ls", dir, name);
    if (len < 0 || len >= 2048) {
        return false;
    }
    for (int i = (int)wcslen(dir) + 1; i < len; i++) {
        if (path[i] == L'\\' || path[i] == L'/') {  // the folders of a name in a subfolder
            path[i] = 0;
            CreateDirectoryW(path, nullptr);
            path[i] = L'\\';
        }
    }
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(h, data, e.uncompressedSize, &written, nullptr) && written == e.uncompressedSize;
    return CloseHandle(h) && ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: extract_minimal <dir>\n");
        return 2;
    }
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA);
    HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
    const uint8_t* bytes = loaded ? (const uint8_t*)LockResource(loaded) : nullptr;
    if (!bytes || !ParseSimpleArchive(bytes, (int32_t)SizeofResource(nullptr, res), &gTable)) {
        fprintf(stderr, "extract_minimal: no valid archive in RCDATA 1\n");
        return 1;
    }
    CreateDirectoryW(argv[1], nullptr);
    for (int32_t i = 0; i < gTable.count; i++) {
        const ArchiveEntry& e = gTable.entries[i];
        if (!ShouldExtractEntry(e.name)) {
            continue;
        }
        uint8_t* out = (uint8_t*)malloc((size_t)e.uncompressedSize + 1);
        bool ok = out && Decode(e, out) && (uint32_t)crc32(0, out, e.uncompressedSize) == e.crc32 &&
                  Write(argv[1], e, out);
        free(out);
        if (!ok) {
            fprintf(stderr, "extract_minimal: entry %d failed\n", (int)i);
            return 1;
        }
    }
    return 0;
}
