#pragma once
// The search filter and the preview handler: in-process shell extensions registered by
// writing their COM and shell keys directly (their DLLs are never loaded by us).
#include "base/str.h"
#include "base/vec.h"
#include "integration/reg_value.h"

constexpr const char* kSearchFilterClsid = "{28ABC70E-91EF-a4c9-C665-284CB0F07586}";
constexpr const char* kPersistentHandlerClsid = "{926F223D-39FC-ec50-0401-863FAE3B3141}";
constexpr const char* kPdfPreviewClsid = "{340EE74D-7CAF-35F7-B606-ECDD74316C01}";
constexpr const char* kPreviewHandlersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";
// The shell's slots for a thumbnail provider, an image extractor (older versions) and a
// preview handler under "<ext>\shellex".
constexpr const char* kThumbnailSlot = "{e357fccd-a995-4576-b01f-234630154e96}";
constexpr const char* kImageExtractorSlot = "{bb2e617c-0920-11d1-9a0b-00c04fc2d6c1}";
constexpr const char* kPreviewSlot = "{8895b1c6-b41f-4c1c-a562-0d564250836f}";
constexpr const char* kInternetZoneKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
// Where the indexer finds the filter of PDF documents.
constexpr const char* kPdfPersistentHandlerKey = "Software\\Classes\\.pdf\\PersistentHandler";
// "Software\Classes\<ext>\shellex\<slot>": a file type's handler in one of the slots above.
StrView ShellexSlotKeyTemp(StrView ext, StrView slot);

// The extensions' libraries in the installation directory.
constexpr const char* kSearchFilterDll = "PdfFilter.dll";
constexpr const char* kPreviewerDll = "PdfPreview.dll";
// The value that lets previews of files from the Internet zone show.
constexpr const char* kInternetZonePreviewValue = "180F";

struct PreviewerRow {
    const char* clsid;
    const char* ext;
    const char* ext2;  // null when the row has one extension
};
constexpr int kPreviewerRowCount = 10;
// Rows sharing a class are written in turn, so the last row's name is the one that stays.
extern const PreviewerRow kPreviewerTable[kPreviewerRowCount];

// Explorer's preview pane shown for the user: one binary value, two little-endian 32-bit
// words, 2 and then 1. It stays when the product goes: by then it is the user's layout.
void BuildPreviewPaneValues(Vec<RegValue>* out);

// The seven values of the search filter, in order.
void BuildSearchFilterValues(StrView dllPath, Vec<RegValue>* out);
// The values of one previewer row, in order.
void BuildPreviewerRowValues(const PreviewerRow& row, StrView dllPath, Vec<RegValue>* out);
// The Internet zone's value, written after every row.
void BuildInternetZoneValues(Vec<RegValue>* out);

#ifdef _WIN32
// Registering and taking away are the registration table's (the SearchFilter and Previewer
// pieces). Both checks answer through HKEY_CLASSES_ROOT, which on Windows merges machine and
// per-user classes.
bool IsSearchFilterInstalled();
bool IsPreviewInstalled();
// Turns on Explorer's preview pane for the user with the value BuildPreviewPaneValues gives.
bool EnableExplorerPreviewPane(const RegValue& pane);
#endif
