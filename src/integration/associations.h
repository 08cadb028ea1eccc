#pragma once
// The reader as an Open-with choice for every document type it reads: one ProgID per
// extension with icon and verbs, the application's capabilities for the default-programs
// settings, and the MIME type of PDF. Making it the default is the default-reader code.
#include "base/str.h"
#include "base/vec.h"
#include "integration/reg_value.h"

constexpr int kSupportedExtCount = 45;
extern const char* const kSupportedExts[kSupportedExtCount];
constexpr const char* kCapabilitiesKey = "SOFTWARE\\vlpdf\\Capabilities";
// The system's list of programs with default-programs capabilities.
constexpr const char* kRegisteredAppsKey = "SOFTWARE\\RegisteredApplications";
// PDF's file type and MIME type, whose keys the system has too.
constexpr const char* kPdfTypeKey = "Software\\Classes\\.pdf";
constexpr const char* kPdfMimeKey = "Software\\Classes\\MIME\\Database\\Content Type\\application/pdf";

// "vlpdf" followed by the extension.
StrView ProgIdTemp(StrView ext);
// "Software\Classes\<progId>".
StrView ProgIdKeyTemp(StrView progId);
// "Software\Classes\<ext>\OpenWithProgids": the ProgIDs the shell offers for a file type.
StrView OpenWithProgidsKeyTemp(StrView ext);
// The reader's icon resource for the extension, as ",-<id>".
const char* IconSuffix(StrView ext);

// What the registration does, in order: for every extension its ProgID rows (a stale
// default value of the ProgID key is deleted first), then the two MIME values.
void BuildProgIdValues(StrView exePath, Vec<RegValue>* out);
// One extension's ProgID rows.
void BuildExtProgIdValues(StrView exePath, StrView ext, Vec<RegValue>* out);
void BuildMimeValues(Vec<RegValue>* out);
// The default-programs capabilities (platforms of major version 10 and later).
void BuildAppCapabilitiesValues(StrView exePath, Vec<RegValue>* out);
// Writing and taking away are the registration table's (the Associations and MimeType pieces).
