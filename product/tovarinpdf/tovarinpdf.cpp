#include "tovarinpdf/tovarinpdf.h"

#include <windows.h>

#include "common/pdf_scan.h"
#include "common/product_info.h"
#include "common/read_file.h"

namespace {
constexpr size_t kMaxProbeBytes = 256u << 20;
}

TOVARINPDF_API int tovarin_version(void) {
    return (VLPDF_PRODUCT_VERSION_MAJOR << 8) | VLPDF_PRODUCT_VERSION_MINOR;
}

TOVARINPDF_API int tovarin_probe_file(const wchar_t* path, TovarinDocInfo* info) {
    if (!path || !info) return ERROR_INVALID_PARAMETER;
    *info = TovarinDocInfo{};
    std::string bytes;
    DWORD err = ReadWholeFile(path, kMaxProbeBytes, &bytes);
    if (err) return (int)err;
    info->fileSize = bytes.size();
    PdfFacts facts;
    if (!ProbePdf(bytes.data(), bytes.size(), &facts)) return -1;
    info->pdfMajor = facts.major;
    info->pdfMinor = facts.minor;
    info->pages = facts.pages;
    return 0;
}
