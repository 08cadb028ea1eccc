// vlpdf-cli: the reader's command-line tool.
//   vlpdf-cli info <file>    version, page count and size of a PDF document
//   vlpdf-cli text <file>    the text of the document's uncompressed pages, UTF-8
//   vlpdf-cli --version
// Exit codes: 0 done, 1 the file could not be read or is no PDF, 2 wrong usage.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "common/pdf_scan.h"
#include "common/product_info.h"
#include "common/read_file.h"

namespace {

constexpr size_t kMaxDocumentBytes = 1u << 30;

const char kUsage[] =
    "usage: vlpdf-cli info <file>\n"
    "       vlpdf-cli text <file>\n"
    "       vlpdf-cli --version\n";

std::string Utf8(const wchar_t* s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? (size_t)n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, s, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// Latin-1 (what the text extraction gives) to UTF-8.
std::string Latin1ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x80) {
            out.push_back((char)c);
        } else {
            out.push_back((char)(0xC0 | (c >> 6)));
            out.push_back((char)(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

int Load(const wchar_t* path, std::string* bytes, PdfFacts* facts) {
    DWORD err = ReadWholeFile(path, kMaxDocumentBytes, bytes);
    if (err) {
        fprintf(stderr, "vlpdf-cli: cannot read '%s' (error %lu)\n", Utf8(path).c_str(), (unsigned long)err);
        return 1;
    }
    if (!ProbePdf(bytes->data(), bytes->size(), facts)) {
        fprintf(stderr, "vlpdf-cli: '%s' is not a PDF document\n", Utf8(path).c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && (wcscmp(argv[1], L"--version") == 0 || wcscmp(argv[1], L"-v") == 0)) {
        printf("vlpdf-cli %s\n", VLPDF_PRODUCT_VERSION_UTF8);
        return 0;
    }
    if (argc == 2 && (wcscmp(argv[1], L"--help") == 0 || wcscmp(argv[1], L"-h") == 0)) {
        fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3 || (wcscmp(argv[1], L"info") != 0 && wcscmp(argv[1], L"text") != 0)) {
        fputs(kUsage, stderr);
        return 2;
    }
    std::string bytes;
    PdfFacts facts;
    int rc = Load(argv[2], &bytes, &facts);
    if (rc) return rc;
    if (wcscmp(argv[1], L"info") == 0) {
        printf("file: %s\nsize: %llu bytes\nPDF version: %d.%d\npages: %d\n", Utf8(argv[2]).c_str(),
               (unsigned long long)bytes.size(), facts.major, facts.minor, facts.pages);
        return 0;
    }
    std::string text;
    ExtractPdfText(bytes.data(), bytes.size(), &text);
    std::string utf8 = Latin1ToUtf8(text);
    fwrite(utf8.data(), 1, utf8.size(), stdout);
    return 0;
}
