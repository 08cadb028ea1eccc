#include "integration/associations.h"

#include "base/arena.h"
#include "base/file.h"
#include "base/product.h"
#include "integration/uninstall.h"

const char* const kSupportedExts[kSupportedExtCount] = {
    ".pdf",  ".ofd",  ".xps",  ".oxps", ".cbz", ".cbr",  ".cb7",      ".cbt", ".djvu", ".chm", ".mobi", ".epub",
    ".md",   ".markdown", ".svg", ".azw", ".azw3", ".azw4", ".fb2",   ".fb2z", ".prc", ".tif", ".tiff", ".jp2",
    ".png",  ".jpg",  ".jpeg", ".tga",  ".gif", ".avif", ".heic",     ".heif", ".jfif", ".webp", ".jxl", ".bmp",
    ".ico",  ".jxr",  ".hdp",  ".wdp",  ".p7m", ".txt",  ".log",      ".nfo", ".tcr",
};

namespace {
const char* const kImageExts[] = {".tif",  ".tiff", ".jp2",  ".png",  ".jpg", ".jpeg", ".tga",
                                  ".gif",  ".avif", ".heic", ".heif", ".jfif", ".webp", ".jxl",
                                  ".bmp",  ".ico",  ".jxr",  ".hdp",  ".wdp"};

struct IconRule {
    const char* const* exts;
    int count;
    const char* suffix;
};

const char* const kEpub[] = {".epub"};
const char* const kComics[] = {".cbr", ".cbz", ".cbt", ".cb7"};
const char* const kChm[] = {".chm"};
const char* const kDjvu[] = {".djvu"};
const char* const kPdfLike[] = {".pdf", ".ofd", ".p7m"};
const char* const kEbooks[] = {".mobi", ".azw", ".azw3", ".azw4", ".prc"};

// The first rule that lists the extension wins.
const IconRule kIconRules[] = {
    {kEpub, 1, ",-3"},     {kComics, 4, ",-4"},  {kChm, 1, ",-5"},    {kDjvu, 1, ",-6"},
    {kImageExts, 19, ",-7"}, {kPdfLike, 3, ",-8"}, {kEbooks, 5, ",-9"},
};
}  // namespace

StrView ProgIdTemp(StrView ext) {
    return str::FormatTemp("%s%s", kProductId, ext.CStr());
}

const char* IconSuffix(StrView ext) {
    for (const IconRule& rule : kIconRules) {
        for (int i = 0; i < rule.count; i++) {
            if (str::EqI(ext, rule.exts[i])) {
                return rule.suffix;
            }
        }
    }
    return ",-10";
}

StrView ProgIdKeyTemp(StrView progId) {
    return path::JoinTemp("Software\\Classes", progId);
}

StrView OpenWithProgidsKeyTemp(StrView ext) {
    return str::FormatTemp("Software\\Classes\\%s\\OpenWithProgids", str::DupTemp(ext).CStr());
}

void BuildExtProgIdValues(StrView exePath, StrView ext, Vec<RegValue>* out) {
    StrView quoted = str::FormatTemp("\"%s\"", exePath.CStr());
    StrView progId = ProgIdTemp(ext);
    StrView p = ProgIdKeyTemp(progId);
    StrView icon = str::FormatTemp("%s%s", quoted.CStr(), IconSuffix(ext));
    StrView open = str::FormatTemp("%s\\shell\\open", p.CStr());
    AddDeleteValue(*out, p, "");
    AddSz(*out, str::FormatTemp("%s\\Application", p.CStr()), "ApplicationCompany", kPublisher);
    AddSz(*out, str::FormatTemp("%s\\Application", p.CStr()), "ApplicationName", kProductName);
    AddSz(*out, str::FormatTemp("%s\\DefaultIcon", p.CStr()), "", icon);
    AddSz(*out, open, "Icon", icon);
    AddSz(*out, open, "MultiSelectModel", "Player");
    AddSz(*out, str::FormatTemp("%s\\command", open.CStr()), "", str::FormatTemp("%s \"%%1\"", quoted.CStr()));
    if (str::Eq(ext, ".pdf")) {
        AddSz(*out, str::FormatTemp("%s\\shell\\Print\\command", p.CStr()), "",
              str::FormatTemp("%s -print-to-default \"%%1\"", quoted.CStr()));
        AddSz(*out, str::FormatTemp("%s\\shell\\PrintTo\\command", p.CStr()), "",
              str::FormatTemp("%s -print-to \"%%2\" \"%%1\"", quoted.CStr()));
    }
    // Other programs' ProgIDs share the list.
    AddNone(*out, OpenWithProgidsKeyTemp(ext), progId).inSharedKey = true;
}

void BuildProgIdValues(StrView exePath, Vec<RegValue>* out) {
    for (const char* ext : kSupportedExts) {
        BuildExtProgIdValues(exePath, ext, out);
    }
}

void BuildMimeValues(Vec<RegValue>* out) {
    AddSz(*out, kPdfTypeKey, "Content Type", "application/pdf").inSharedKey = true;
    AddSz(*out, kPdfMimeKey, "Extension", ".pdf").inSharedKey = true;
}

void BuildAppCapabilitiesValues(StrView exePath, Vec<RegValue>* out) {
    StrView c = kCapabilitiesKey;
    // "<name> is a PDF reader", in the product's first language.
    AddSz(*out, c, "ApplicationDescription",
          str::FormatTemp("%s \xE6\x98\xAF\xE4\xB8\x80\xE6\xAC\xBE PDF \xE9\x98\x85\xE8\xAF\xBB\xE5\x99\xA8", kProductName));
    AddSz(*out, c, "ApplicationName", kProductName);
    AddSz(*out, c, "ApplicationIcon", str::FormatTemp("\"%s\",0", exePath.CStr()));
    StrView assoc = str::FormatTemp("%s\\FileAssociations", kCapabilitiesKey);
    for (const char* ext : kSupportedExts) {
        AddSz(*out, assoc, ext, ProgIdTemp(ext));
    }
    AddSz(*out, kRegisteredAppsKey, kProductId, c).inSharedKey = true;
}
