#include "integration/office_addin.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "integration/registry.h"

namespace {
const char* const kOfficeApps[] = {"Word", "Excel", "PowerPoint"};

StrView AddinsKeyTemp(const char* app) {
    return str::FormatTemp("Software\\Microsoft\\Office\\%s\\Addins", app);
}

StrView AppKeyTemp(const char* app) {
    return path::JoinTemp(AddinsKeyTemp(app), kOfficeAddinProgId);
}
}  // namespace

StrView OfficeAddinDllPathTemp(StrView installDir, bool view64) {
    return str::FormatTemp("%s\\plugins\\officeplugin\\%s", installDir.CStr(),
                           view64 ? "vloffice64.dll" : "vloffice32.dll");
}

void BuildOfficeAddinValues(StrView installDir, bool view64, Vec<RegValue>* out) {
    StrView clsidKey = ClsidKeyTemp(kOfficeAddinClsid);
    StrView server = str::FormatTemp("%s\\InprocServer32", clsidKey.CStr());
    StrView progIdKey = str::FormatTemp("Software\\Classes\\%s", kOfficeAddinProgId);
    AddSz(*out, clsidKey, "", kProductName);
    AddSz(*out, str::FormatTemp("%s\\ProgID", clsidKey.CStr()), "", kOfficeAddinProgId);
    AddSz(*out, server, "", OfficeAddinDllPathTemp(installDir, view64));
    AddSz(*out, server, "ThreadingModel", "Apartment");
    AddSz(*out, progIdKey, "", kProductName);
    AddSz(*out, str::FormatTemp("%s\\CLSID", progIdKey.CStr()), "", kOfficeAddinClsid);
    for (const char* app : kOfficeApps) {
        StrView key = AppKeyTemp(app);
        AddSz(*out, key, "FriendlyName", kProductName);
        AddSz(*out, key, "Description", str::FormatTemp("%s Office \xE5\x8A\xA0\xE8\xBD\xBD\xE9\xA1\xB9", kProductName));
        AddDword(*out, key, "LoadBehavior", 3);
    }
}

void BuildNoOfficeAddinValues(Vec<RegValue>* out) {
    AddDeleteValue(*out, ClsidKeyTemp(kOfficeAddinClsid), "");
}

void OfficeAddinListKeys(Vec<StrView>* out) {
    for (const char* app : kOfficeApps) {
        out->Append(AddinsKeyTemp(app));
    }
    for (const char* app : kOfficeApps) {
        StrView key = AddinsKeyTemp(app);
        StrView software = "Software\\";
        out->Append(str::FormatTemp("%sWow6432Node\\%s", software.s, key.s + software.len));
    }
}
