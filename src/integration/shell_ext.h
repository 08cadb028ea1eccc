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
constexpr const char* kInternetZoneKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";

struct PreviewerRow {
    const char* clsid;
    const char* ext;
    const char* ext2;  // null when the row has one extension
};
constexpr int kPreviewerRowCount = 10;
// Rows sharing a class are written in turn, so the last row's name is the one that stays.
extern const PreviewerRow kPreviewerTable[kPreviewerRowCount];

// The seven values of the search filter, in order.
void BuildSearchFilterValues(StrView dllPath, Vec<RegValue>* out);
// The values of one previewer row, in order.
void BuildPreviewerRowValues(const PreviewerRow& row, StrView dllPath, Vec<RegValue>* out);

#ifdef _WIN32
// Failures are reported once to the user through NotifyFailed; installing goes on.
void RegisterSearchFilter(bool allUsers, StrView installDir);
void RegisterPreviewer(bool allUsers, StrView installDir);
// Both roots; true when every per-user delete succeeded.
bool UninstallSearchFilter();
bool UninstallPreviewDll();
// Both answer through HKEY_CLASSES_ROOT, which on Windows merges machine and per-user classes.
bool IsSearchFilterInstalled();
bool IsPreviewInstalled();
// Turns on Explorer's preview pane for the user.
bool EnableExplorerPreviewPane();
#endif
