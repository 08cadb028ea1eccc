#pragma once
// The Office add-in for Word, Excel and PowerPoint: COM class, ProgID and one add-in key per
// application, in the 64-bit and the 32-bit registry view (Office may be either).
#include "base/str.h"
#include "base/vec.h"
#include "integration/reg_value.h"

constexpr const char* kOfficeAddinProgId = "VLPDF.OfficeAddin";
constexpr const char* kOfficeAddinClsid = "{FBB2943F-E861-67E6-E76F-770D5F969DD8}";

// "<dir>\plugins\officeplugin\vloffice64.dll", or vloffice32.dll for the 32-bit view.
StrView OfficeAddinDllPathTemp(StrView installDir, bool view64);
// Every value of the registration, in the order written.
void BuildOfficeAddinValues(StrView installDir, bool view64, Vec<RegValue>* out);
// The keys removed, children before parents (the delete is not recursive).
void OfficeAddinKeysToDelete(Vec<StrView>* out);

#ifdef _WIN32
#include <windows.h>
// view: KEY_WOW64_64KEY or KEY_WOW64_32KEY. Not logged. True when every write succeeded.
bool RegisterOfficeAddin(HKEY root, StrView installDir, uint32_t view);
// Not logged; results ignored. The table's OfficeAddinRemoval, carried out by its executor.
void UnregisterOfficeAddin(HKEY root, uint32_t view);
#endif
