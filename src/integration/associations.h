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

// "vlpdf" followed by the extension.
StrView ProgIdTemp(StrView ext);
// The reader's icon resource for the extension, as ",-<id>".
const char* IconSuffix(StrView ext);

// What the registration does, in order: for every extension its ProgID rows (a stale
// default value of the ProgID key is deleted first), then the two MIME values.
void BuildProgIdValues(StrView exePath, Vec<RegValue>* out);
void BuildMimeValues(Vec<RegValue>* out);
// The default-programs capabilities (platforms of major version 10 and later).
void BuildAppCapabilitiesValues(StrView exePath, Vec<RegValue>* out);

#ifdef _WIN32
#include <windows.h>
// The table's Associations and MimeType values, written by its executor.
bool WriteExtendedFileExtensionInfo(HKEY root, StrView exePath);
// Clears what earlier installations registered under root; results are only logged. The
// registration table's steps (AssociationsRemoval), carried out by its executor.
void RemoveInstallRegistryKeys(HKEY root);
#endif
