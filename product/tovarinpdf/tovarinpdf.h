#pragma once
// The reader's document library: what a document is, as the reader shows it.
#include <stdint.h>

#ifdef TOVARINPDF_BUILD
#define TOVARINPDF_API extern "C" __declspec(dllexport)
#else
#define TOVARINPDF_API extern "C" __declspec(dllimport)
#endif

struct TovarinDocInfo {
    uint64_t fileSize;
    int32_t pdfMajor;  // 0 when the file is not a PDF
    int32_t pdfMinor;
    int32_t pages;
};

// The library's version, the product's, as 0xMMmm: major in the high byte, minor in the low.
TOVARINPDF_API int tovarin_version(void);

// Fills info for the file at path. Returns 0 for a PDF, -1 for a readable file that is no
// PDF (info.fileSize is set), or the Win32 error that stopped reading it.
TOVARINPDF_API int tovarin_probe_file(const wchar_t* path, TovarinDocInfo* info);
