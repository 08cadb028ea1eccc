# Writes the quick-start guide, a two-page PDF 1.4 document, to OUT:
#   cmake -DOUT=<file.pdf> -DVERSION=<product version> -P make-quickstart-pdf.cmake
# Plain text and uncompressed content streams, so the file is ASCII and every byte offset
# is a character count; no dates and no random document id, so the bytes depend on this
# script and the version only. Text uses the standard Helvetica fonts, which every reader has.
cmake_minimum_required(VERSION 3.25)
if(NOT OUT OR NOT VERSION)
  message(FATAL_ERROR "usage: cmake -DOUT=<file.pdf> -DVERSION=<version> -P make-quickstart-pdf.cmake")
endif()

# One content stream: a title and lines of body text (";" in a line is written "\;").
function(page_content out_var title)
  set(s "BT\n/F2 22 Tf\n72 760 Td\n(${title}) Tj\n/F1 12 Tf\n0 -36 Td\n16 TL\n")
  foreach(line IN LISTS ARGN)
    if(line STREQUAL "-")
      set(s "${s}T*\n")
    else()
      set(s "${s}(${line}) '\n")
    endif()
  endforeach()
  set(${out_var} "${s}ET\n" PARENT_SCOPE)
endfunction()

page_content(page1 "VeloraPDF ${VERSION} Quick Start"
  "Welcome to VeloraPDF, a fast reader for PDF documents, e-books and comic books."
  "-"
  "Open a document: double-click a PDF file, or drag it onto the VeloraPDF window."
  "Make VeloraPDF your PDF reader: choose it under Settings, Default apps."
  "Search your documents: the VeloraPDF search filter lets Windows Search read PDF text."
  "Preview without opening: File Explorer shows PDF pages in its preview pane."
  "-"
  "VeloraPDF also opens EPUB, MOBI, FB2, CBZ, CBR, DjVu, XPS, CHM and image files.")
page_content(page2 "Keyboard shortcuts"
  "Ctrl+O    open a document"
  "Ctrl+F    find text"
  "Ctrl+P    print"
  "Space     next page"
  "Ctrl+Plus, Ctrl+Minus    zoom in and out"
  "F11       full screen"
  "-"
  "From the command line: vlpdf-cli info file.pdf prints the version and page count.")

string(LENGTH "${page1}" page1_len)
string(LENGTH "${page2}" page2_len)

set(objects
  "<< /Type /Catalog /Pages 2 0 R >>"
  "<< /Type /Pages /Kids [4 0 R 6 0 R] /Count 2 >>"
  "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"
  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R /F2 8 0 R >> >> /Contents 5 0 R >>"
  "<< /Length ${page1_len} >>\nstream\n${page1}endstream"
  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R /F2 8 0 R >> >> /Contents 7 0 R >>"
  "<< /Length ${page2_len} >>\nstream\n${page2}endstream"
  "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>"
  "<< /Title (VeloraPDF ${VERSION} Quick Start) /Author (VeloraPDF) /Producer (VeloraPDF build) >>")

set(pdf "%PDF-1.4\n")
set(offsets "")
set(n 0)
foreach(body IN LISTS objects)
  math(EXPR n "${n} + 1")
  string(LENGTH "${pdf}" offset)
  list(APPEND offsets ${offset})
  set(pdf "${pdf}${n} 0 obj\n${body}\nendobj\n")
endforeach()

string(LENGTH "${pdf}" xref_offset)
math(EXPR size "${n} + 1")
# Every cross-reference entry is exactly 20 bytes: 10 digits, 5 digits, the type and a
# two-character line end.
set(pdf "${pdf}xref\n0 ${size}\n0000000000 65535 f \n")
foreach(offset IN LISTS offsets)
  string(LENGTH "${offset}" digits)
  math(EXPR pad "10 - ${digits}")
  string(REPEAT "0" ${pad} zeros)
  set(pdf "${pdf}${zeros}${offset} 00000 n \n")
endforeach()
set(pdf "${pdf}trailer\n<< /Size ${size} /Root 1 0 R /Info ${n} 0 R >>\nstartxref\n${xref_offset}\n%%EOF\n")

file(WRITE "${OUT}.tmp" "${pdf}")
file(RENAME "${OUT}.tmp" "${OUT}")
