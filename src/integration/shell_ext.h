#pragma once
// The search filter and the preview handler: in-process shell extensions registered by
// writing their COM and shell keys directly (their DLLs are never loaded by us).
#include "base/str.h"

constexpr const char* kSearchFilterClsid = "{28ABC70E-91EF-a4c9-C665-284CB0F07586}";
constexpr const char* kPersistentHandlerClsid = "{926F223D-39FC-ec50-0401-863FAE3B3141}";
constexpr const char* kPdfPreviewClsid = "{340EE74D-7CAF-35F7-B606-ECDD74316C01}";

// Both answer through HKEY_CLASSES_ROOT, which on Windows merges machine and per-user classes.
bool IsSearchFilterInstalled();
bool IsPreviewInstalled();
