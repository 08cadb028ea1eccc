#pragma once
// A small reader of PDF bytes shared by the rendering library, the command-line tool and the
// search filter: what a file is (version, page count) and the text its pages show.
//
// It reads what simple documents contain: uncompressed content streams and literal strings
// shown with Tj, TJ, ' and ". Compressed streams and hex strings are skipped, so text of
// other documents may be missing; it never reads outside the given bytes.
#include <stddef.h>

#include <string>

struct PdfFacts {
    int major = 0;  // from the "%PDF-M.m" header
    int minor = 0;
    int pages = 0;  // page objects ("/Type /Page"), 0 when none could be found
};

// False when the bytes do not start with a PDF header (within the first 1024 bytes, as
// readers allow leading garbage).
bool ProbePdf(const char* data, size_t size, PdfFacts* facts);

// Appends the text of every uncompressed content stream to out, one line per text line
// (Td, TD, T*, ', " and ET end a line). Bytes are PDFDocEncoding, taken as Latin-1.
void ExtractPdfText(const char* data, size_t size, std::string* out);
