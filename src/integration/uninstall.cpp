#include "integration/uninstall.h"

#include "base/arena.h"
#include "base/choice_table.h"
#include "base/file.h"
#include "base/product.h"

void BuildRecordedChoiceValues(const InstallChoices& choices, Vec<RegValue>* out) {
    for (const ChoiceDef& def : kChoiceDefs) {
        AddDword(*out, kUninstallRegKey, def.recorded, choices.Has(def.choice) ? 1 : 0);
    }
}

StrView UninstallStringTemp(StrView exePath, bool allUsers) {
    return str::FormatTemp("\"%s\" -uninstall%s", exePath.CStr(), allUsers ? " -all-users" : "");
}

StrView QuietUninstallStringTemp(StrView uninstallString) {
    return str::FormatTemp("%s -silent", uninstallString.CStr());
}

uint32_t EstimatedSizeKb(uint64_t bytes) {
    uint64_t kb = bytes / 1024;
    return kb > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)kb;
}

void BuildUninstallValues(const UninstallEntryInputs& in, Vec<RegValue>* out) {
    StrView key = kUninstallRegKey;
    StrView exe = path::JoinTemp(in.installDir, kReaderExeName);
    StrView uninstall = UninstallStringTemp(exe, in.allUsers);
    AddSz(*out, key, "DisplayIcon", exe);
    AddSz(*out, key, "DisplayName", kProductName);
    AddSz(*out, key, kDisplayVersionValue, kProductVersion);
    if (in.nameWithVersion) {
        AddSz(*out, key, "DisplayName", str::FormatTemp("%s %s", kProductName, kProductVersion));
    }
    AddDword(*out, key, "EstimatedSize", EstimatedSizeKb(in.dirSizeBytes)).varies = true;
    AddSz(*out, key, "InstallDate", str::FormatTemp("%04d%02d%02d", in.year, in.month, in.day)).varies = true;
    AddSz(*out, key, "InstallLocation", in.installDir);
    AddDword(*out, key, "NoModify", 1);
    AddDword(*out, key, "NoRepair", 1);
    AddSz(*out, key, "Publisher", kPublisher);
    AddSz(*out, key, "UninstallString", uninstall);
    AddSz(*out, key, "QuietUninstallString", QuietUninstallStringTemp(uninstall));
    AddSz(*out, key, "URLInfoAbout", kSupportUrl);
    AddSz(*out, key, "URLUpdateInfo", kSupportUrl);
    if (!in.createdFolder.IsEmpty()) {
        AddSz(*out, key, kCreatedFolderValue, in.createdFolder);
    }
}
