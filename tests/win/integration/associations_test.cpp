#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>

#include "base/arena.h"
#include "integration/associations.h"
#include "integration/platform_version.h"
#include "integration/registry.h"
#include "reg_test.h"

using namespace regtest;

namespace {
const char* const kExts[] = {
    ".pdf", ".ofd", ".xps", ".oxps", ".cbz", ".cbr", ".cb7", ".cbt", ".djvu", ".chm", ".mobi", ".epub",
    ".md", ".markdown", ".svg", ".azw", ".azw3", ".azw4", ".fb2", ".fb2z", ".prc", ".tif", ".tiff", ".jp2",
    ".png", ".jpg", ".jpeg", ".tga", ".gif", ".avif", ".heic", ".heif", ".jfif", ".webp", ".jxl", ".bmp",
    ".ico", ".jxr", ".hdp", ".wdp", ".p7m", ".txt", ".log", ".nfo", ".tcr",
};

// The reader's icon resource per extension, written out here independently of the code.
std::string Icon(const std::string& ext) {
    static const std::map<std::string, std::string> icons = {
        {".epub", "-3"}, {".cbz", "-4"}, {".cbr", "-4"}, {".cb7", "-4"}, {".cbt", "-4"}, {".chm", "-5"},
        {".djvu", "-6"}, {".tif", "-7"}, {".tiff", "-7"}, {".jp2", "-7"}, {".png", "-7"}, {".jpg", "-7"},
        {".jpeg", "-7"}, {".tga", "-7"}, {".gif", "-7"}, {".avif", "-7"}, {".heic", "-7"}, {".heif", "-7"},
        {".jfif", "-7"}, {".webp", "-7"}, {".jxl", "-7"}, {".bmp", "-7"}, {".ico", "-7"}, {".jxr", "-7"},
        {".hdp", "-7"}, {".wdp", "-7"}, {".pdf", "-8"}, {".ofd", "-8"}, {".p7m", "-8"}, {".mobi", "-9"},
        {".azw", "-9"}, {".azw3", "-9"}, {".azw4", "-9"}, {".prc", "-9"},
    };
    auto it = icons.find(ext);
    return it == icons.end() ? "-10" : it->second;
}

int Major10() {
    return 10;
}
int Major6() {
    return 6;
}

class Associations : public testing::TestWithParam<bool> {
  protected:
    HKEY root() const { return GetParam() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
    void SetUp() override {
        SetLogRegistryCalls(true);
        for (const char* ext : kExts) {
            Remove(root(), std::string("Software\\Classes\\") + ext);
            Remove(root(), std::string("Software\\Classes\\vlpdf") + ext);
        }
        Remove(root(), "SOFTWARE\\vlpdf");
    }
    void TearDown() override { SetUp(); }
};
}  // namespace

TEST_P(Associations, RoundTripOfAllExtensionsLeavesOtherProgramsKeys) {
    OnePiece associations(Piece::Associations, GetParam(), "C:\\Program Files\\vlpdf");
    const std::string exe = "C:\\Program Files\\vlpdf\\vlpdf.exe";
    const std::string q = "\"" + exe + "\"";
    // Another program's registration of .png, and a value of its own in our ProgID list.
    std::wstring none;
    PutSz(root(), "Software\\Classes\\.png", "", "pngfile");
    Put(root(), "Software\\Classes\\.png\\OpenWithProgids", "Other.png", REG_NONE, nullptr, 0);

    gPlatformMajorVersion = Major10;
    std::string log = LoggedDuring([&] { EXPECT_TRUE(associations.Write()); });
    gPlatformMajorVersion = GetPlatformMajorVersion;
    std::string rootName = RegKeyName(root());
    EXPECT_EQ(log.rfind("WriteExtendedFileExtensionInfo('" + rootName + "')\n", 0), 0u);
    EXPECT_EQ(log.find("failed"), std::string::npos) << log;

    for (const char* e : kExts) {
        std::string ext = e, p = "Software\\Classes\\vlpdf" + ext;
        std::string icon = q + "," + Icon(ext);
        ExpectSz(root(), p + "\\Application", "ApplicationCompany", "Quenmoor Network Technology Co., Ltd.");
        ExpectSz(root(), p + "\\Application", "ApplicationName", "VeloraPDF");
        ExpectSz(root(), p + "\\DefaultIcon", "", icon);
        ExpectSz(root(), p + "\\shell\\open", "Icon", icon);
        ExpectSz(root(), p + "\\shell\\open", "MultiSelectModel", "Player");
        ExpectSz(root(), p + "\\shell\\open\\command", "", q + " \"%1\"");
        EXPECT_FALSE(Get(root(), p, "").exists) << p;
        if (ext == ".pdf") {
            ExpectSz(root(), p + "\\shell\\Print\\command", "", q + " -print-to-default \"%1\"");
            ExpectSz(root(), p + "\\shell\\PrintTo\\command", "", q + " -print-to \"%2\" \"%1\"");
        } else {
            EXPECT_EQ(Children(root(), p + "\\shell"), std::vector<std::string>{"key:open"}) << ext;
        }
        Value openWith = Get(root(), "Software\\Classes\\" + ext + "\\OpenWithProgids", "vlpdf" + ext);
        EXPECT_TRUE(openWith.exists) << ext;
        EXPECT_EQ(openWith.type, (DWORD)REG_NONE) << ext;
        EXPECT_EQ(openWith.data.size(), 0u) << ext;
    }
    ExpectSz(root(), "Software\\Classes\\.pdf", "Content Type", "application/pdf");
    ExpectSz(root(), "Software\\Classes\\MIME\\Database\\Content Type\\application/pdf", "Extension", ".pdf");
    const std::string caps = "SOFTWARE\\vlpdf\\Capabilities";
    ExpectSz(root(), caps, "ApplicationDescription", "VeloraPDF \xE6\x98\xAF\xE4\xB8\x80\xE6\xAC\xBE PDF \xE9\x98\x85\xE8\xAF\xBB\xE5\x99\xA8");
    ExpectSz(root(), caps, "ApplicationName", "VeloraPDF");
    ExpectSz(root(), caps, "ApplicationIcon", q + ",0");
    EXPECT_EQ(Children(root(), caps + "\\FileAssociations").size(), 45u);
    for (const char* e : kExts) {
        ExpectSz(root(), caps + "\\FileAssociations", e, std::string("vlpdf") + e);
    }
    ExpectSz(root(), "SOFTWARE\\RegisteredApplications", "vlpdf", caps);

    log = LoggedDuring([&] { associations.Remove(); });
    EXPECT_EQ(log.rfind("RemoveInstallRegistryKeys(" + rootName + ")\nUnregisterFromBeingDefaultViewer()\n", 0), 0u);
    EXPECT_EQ(log.find("failed"), std::string::npos) << log;
    for (const char* e : kExts) {
        std::string ext = e;
        EXPECT_FALSE(KeyExists(root(), "Software\\Classes\\vlpdf" + ext)) << ext;
        if (ext == ".png") {
            EXPECT_EQ(Children(root(), "Software\\Classes\\.png\\OpenWithProgids"), std::vector<std::string>{"value:Other.png"});
            ExpectSz(root(), "Software\\Classes\\.png", "", "pngfile");
        } else if (ext == ".pdf") {
            // The MIME type of PDF is the platform's as much as ours and stays.
            EXPECT_EQ(Children(root(), "Software\\Classes\\.pdf"), std::vector<std::string>{"value:Content Type"});
        } else {
            EXPECT_FALSE(KeyExists(root(), "Software\\Classes\\" + ext)) << ext;
        }
    }
    EXPECT_FALSE(KeyExists(root(), caps));
    EXPECT_FALSE(Get(root(), "SOFTWARE\\RegisteredApplications", "vlpdf").exists);

    // Twice in a row is harmless.
    log = LoggedDuring([&] { associations.Remove(); });
    EXPECT_EQ(log.find("failed"), std::string::npos) << log;
    EXPECT_TRUE(KeyExists(root(), "Software\\Classes\\.png\\OpenWithProgids"));
}

INSTANTIATE_TEST_SUITE_P(Scope, Associations, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "AllUsers" : "PerUser"; });

TEST(AssociationsRemoval, OpenWithListEntriesAndTheirEmptyParentsGo) {
    SetLogRegistryCalls(true);
    const std::string png = "Software\\Classes\\.png";
    const std::string jpg = "Software\\Classes\\.jpg";
    Remove(HKEY_CURRENT_USER, png);
    Remove(HKEY_CURRENT_USER, jpg);
    PutSz(HKEY_CURRENT_USER, png + "\\OpenWithList\\vlpdf.exe", "", "");
    PutSz(HKEY_CURRENT_USER, jpg + "\\OpenWithList\\vlpdf.exe", "", "");
    PutSz(HKEY_CURRENT_USER, jpg + "\\OpenWithList\\other.exe", "", "");
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\Applications\\vlpdf.exe\\shell\\open\\command", "", "x");
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\vlpdf\\shell\\open\\command", "", "x");
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\.pdf\\OpenWithProgids", "vlpdf", "");
    OnePiece(Piece::Associations, false, "C:\\P").Remove();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, png));
    EXPECT_EQ(Children(HKEY_CURRENT_USER, jpg + "\\OpenWithList"), std::vector<std::string>{"key:other.exe"});
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\Applications\\vlpdf.exe"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\vlpdf"));
    EXPECT_FALSE(Get(HKEY_CURRENT_USER, "Software\\Classes\\.pdf\\OpenWithProgids", "vlpdf").exists);
    Remove(HKEY_CURRENT_USER, jpg);
    Remove(HKEY_CURRENT_USER, "Software\\Classes\\.pdf");
}

TEST(AssociationsBefore10, NoCapabilitiesAndStillSuccess) {
    SetLogRegistryCalls(true);
    gPlatformMajorVersion = Major6;
    Remove(HKEY_CURRENT_USER, "SOFTWARE\\vlpdf");
    OnePiece associations(Piece::Associations, false, "C:\\P");
    EXPECT_TRUE(associations.Write());
    gPlatformMajorVersion = GetPlatformMajorVersion;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\vlpdf\\Capabilities"));
    EXPECT_FALSE(Get(HKEY_CURRENT_USER, "SOFTWARE\\RegisteredApplications", "vlpdf").exists);
    ExpectSz(HKEY_CURRENT_USER, "Software\\Classes\\vlpdf.pdf\\shell\\open\\command", "", "\"C:\\P\\vlpdf.exe\" \"%1\"");
    associations.Remove();
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\vlpdf.pdf"));
    Remove(HKEY_CURRENT_USER, "Software\\Classes\\.pdf");
}
