#include "integration/shell_ext.h"

#include "base/arena.h"
#include "base/product.h"
#include "integration/registry.h"

namespace {
constexpr const char* kPreviewHostAppId = "{6d2b5079-2f0b-48dd-ab7f-97cec514d30b}";
constexpr const char* kIFilterIid = "{89BCB740-6119-101A-BCB7-00DD010655AF}";

void AddSlot(Vec<RegValue>* out, const PreviewerRow& row, const char* slot) {
    AddSz(*out, ShellexSlotKeyTemp(row.ext, slot), "", row.clsid);
    if (row.ext2) {
        AddSz(*out, ShellexSlotKeyTemp(row.ext2, slot), "", row.clsid);
    }
}
}  // namespace

StrView ShellexSlotKeyTemp(StrView ext, StrView slot) {
    return str::FormatTemp("Software\\Classes\\%s\\shellex\\%s", str::DupTemp(ext).CStr(), str::DupTemp(slot).CStr());
}

const PreviewerRow kPreviewerTable[kPreviewerRowCount] = {
    {"{340EE74D-7CAF-35F7-B606-ECDD74316C01}", ".pdf", nullptr},
    {"{C0EECB0A-BA9A-BFEF-34D1-FD6322B23974}", ".cbz", ".cbr"},
    {"{C0EECB0A-BA9A-BFEF-34D1-FD6322B23974}", ".cb7", ".cbt"},
    {"{5856A143-AF6F-E397-E005-F15B89428AB3}", ".tga", nullptr},
    {"{3A333976-2A9A-C12A-4312-8679B7706AB6}", ".djvu", nullptr},
    {"{15113725-9ADF-6342-C785-996483B5C617}", ".xps", ".oxps"},
    {"{F4EC9CAF-811B-FE27-1322-CA029B73D87E}", ".epub", nullptr},
    {"{92C3331B-820A-CB23-53AA-7A603A1547B4}", ".fb2", ".fb2z"},
    {"{92C3331B-820A-CB23-53AA-7A603A1547B4}", ".fbz", ".zfb2"},
    {"{92C3331B-820A-CB23-53AA-7A603A1547B4}", ".fb2.zip", nullptr},
};

void BuildPreviewPaneValues(Vec<RegValue>* out) {
    static const char kShown[8] = {2, 0, 0, 0, 1, 0, 0, 0};
    AddBinary(*out, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Modules\\GlobalSettings\\DetailsContainer",
              "DetailsContainer", StrView(kShown, (int32_t)sizeof(kShown)));
}

void BuildSearchFilterValues(StrView dllPath, Vec<RegValue>* out) {
    StrView sf = ClsidKeyTemp(kSearchFilterClsid);
    StrView ph = ClsidKeyTemp(kPersistentHandlerClsid);
    StrView server = str::FormatTemp("%s\\InProcServer32", sf.CStr());
    StrView addins = str::FormatTemp("%s\\PersistentAddinsRegistered", ph.CStr());
    AddSz(*out, sf, "", str::FormatTemp("%s IFilter", kProductName));
    AddSz(*out, server, "", dllPath);
    AddSz(*out, server, "ThreadingModel", "Both");
    AddSz(*out, ph, "", str::FormatTemp("%s IFilter Persistent Handler", kProductName));
    AddSz(*out, addins, "", "");
    AddSz(*out, str::FormatTemp("%s\\%s", addins.CStr(), kIFilterIid), "", kSearchFilterClsid);
    AddSz(*out, kPdfPersistentHandlerKey, "", kPersistentHandlerClsid);
}

void BuildPreviewerRowValues(const PreviewerRow& row, StrView dllPath, Vec<RegValue>* out) {
    StrView c = ClsidKeyTemp(row.clsid);
    StrView name = str::FormatTemp("%s Preview (*%s)", kProductName, row.ext);
    StrView server = str::FormatTemp("%s\\InProcServer32", c.CStr());
    AddSz(*out, c, "", name);
    AddSz(*out, c, "AppId", kPreviewHostAppId);
    AddSz(*out, c, "DisplayName", name);
    AddDword(*out, c, "DisableLowILProcessIsolation", 1);
    AddSz(*out, server, "", dllPath);
    AddSz(*out, server, "ThreadingModel", "Apartment");
    AddSlot(out, row, kThumbnailSlot);
    AddSlot(out, row, kPreviewSlot);
    // The system's list of preview handlers: our entry goes, the list stays.
    AddSz(*out, kPreviewHandlersKey, row.clsid, name).inSharedKey = true;
}

void BuildInternetZoneValues(Vec<RegValue>* out) {
    AddDword(*out, kInternetZoneKey, kInternetZonePreviewValue, 0).inSharedKey = true;
}
