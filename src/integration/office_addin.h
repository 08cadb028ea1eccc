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
// Every value of the registration, in the order written: each key's values before its
// subkeys'. Writing and taking away are the registration table's (the OfficeAddin piece).
void BuildOfficeAddinValues(StrView installDir, bool view64, Vec<RegValue>* out);
// What an installation without the add-in makes sure of: its class has no registration.
void BuildNoOfficeAddinValues(Vec<RegValue>* out);
// The applications' lists of add-ins, which the registration makes on the way: as the native
// view names them, then as the machine keeps the 32-bit view's.
void OfficeAddinListKeys(Vec<StrView>* out);
