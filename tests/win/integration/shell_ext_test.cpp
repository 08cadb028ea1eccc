#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "base/arena.h"
#include "base/install_failure.h"
#include "integration/registry.h"
#include "integration/shell_ext.h"
#include "reg_test.h"

using namespace regtest;

namespace {
const std::string kSF = "Software\\Classes\\CLSID\\{28ABC70E-91EF-a4c9-C665-284CB0F07586}";
const std::string kPH = "Software\\Classes\\CLSID\\{926F223D-39FC-ec50-0401-863FAE3B3141}";
const std::string kHandlers = "Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";
const std::string kZone = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
const std::string kThumb = "{e357fccd-a995-4576-b01f-234630154e96}";
const std::string kPreview = "{8895b1c6-b41f-4c1c-a562-0d564250836f}";

// Written out here from the product's table: class, extensions, the name that stays.
struct Row {
    std::string clsid;
    std::vector<std::string> exts;
    std::string name;
};
const Row kRows[] = {
    {"{340EE74D-7CAF-35F7-B606-ECDD74316C01}", {".pdf"}, "VeloraPDF Preview (*.pdf)"},
    {"{C0EECB0A-BA9A-BFEF-34D1-FD6322B23974}", {".cbz", ".cbr", ".cb7", ".cbt"}, "VeloraPDF Preview (*.cb7)"},
    {"{5856A143-AF6F-E397-E005-F15B89428AB3}", {".tga"}, "VeloraPDF Preview (*.tga)"},
    {"{3A333976-2A9A-C12A-4312-8679B7706AB6}", {".djvu"}, "VeloraPDF Preview (*.djvu)"},
    {"{15113725-9ADF-6342-C785-996483B5C617}", {".xps", ".oxps"}, "VeloraPDF Preview (*.xps)"},
    {"{F4EC9CAF-811B-FE27-1322-CA029B73D87E}", {".epub"}, "VeloraPDF Preview (*.epub)"},
    {"{92C3331B-820A-CB23-53AA-7A603A1547B4}", {".fb2", ".fb2z", ".fbz", ".zfb2", ".fb2.zip"}, "VeloraPDF Preview (*.fb2.zip)"},
};

class ShellExt : public testing::TestWithParam<bool> {
  protected:
    HKEY root() const { return GetParam() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
    HKEY other() const { return GetParam() ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
    void SetUp() override {
        SetLogRegistryCalls(true);
        // Other suites' tests may leave a .pdf key of the platform's (its MIME type).
        Remove(HKEY_LOCAL_MACHINE, "Software\\Classes\\.pdf");
        Remove(HKEY_CURRENT_USER, "Software\\Classes\\.pdf");
        OnePiece(Piece::SearchFilter, false, "").Remove();
        OnePiece(Piece::Previewer, false, "").Remove();
    }
    void TearDown() override { SetUp(); }
};

void ExpectNothingOfOursIn(HKEY root) {
    EXPECT_FALSE(KeyExists(root, kSF));
    EXPECT_FALSE(KeyExists(root, kPH));
    EXPECT_FALSE(KeyExists(root, "Software\\Classes\\.pdf"));
    for (const Row& row : kRows) {
        EXPECT_FALSE(KeyExists(root, "Software\\Classes\\CLSID\\" + row.clsid)) << row.clsid;
        EXPECT_FALSE(Get(root, kHandlers, row.clsid).exists) << row.clsid;
        for (const std::string& ext : row.exts) {
            EXPECT_FALSE(KeyExists(root, "Software\\Classes\\" + ext)) << ext;
        }
    }
    EXPECT_FALSE(Get(root, kZone, "180F").exists);
}
}  // namespace

TEST_P(ShellExt, SearchFilterRoundTrip) {
    const std::string dir = "C:\\Program Files\\vlpdf";
    OnePiece filter(Piece::SearchFilter, GetParam(), dir);
    std::string log = LoggedDuring([&] { filter.Write(); });
    std::string rootName = RegKeyName(root());
    EXPECT_EQ(log.rfind("GetInstallationFilePath(PdfFilter.dll) = > " + dir + "\\PdfFilter.dll\n"
                        "RegisterSearchFilter() dllPath=" + dir + "\\PdfFilter.dll\n"
                        "WriteRegStr(" + rootName + ", " + kSF + ", , VeloraPDF IFilter) => ok\n",
                        0),
              0u)
        << log;
    EXPECT_EQ(log.substr(log.size() - 15), "  did register\n");
    ExpectSz(root(), kSF, "", "VeloraPDF IFilter");
    ExpectSz(root(), kSF + "\\InProcServer32", "", dir + "\\PdfFilter.dll");
    ExpectSz(root(), kSF + "\\InProcServer32", "ThreadingModel", "Both");
    ExpectSz(root(), kPH, "", "VeloraPDF IFilter Persistent Handler");
    ExpectSz(root(), kPH + "\\PersistentAddinsRegistered", "", "");
    ExpectSz(root(), kPH + "\\PersistentAddinsRegistered\\{89BCB740-6119-101A-BCB7-00DD010655AF}", "",
             "{28ABC70E-91EF-a4c9-C665-284CB0F07586}");
    ExpectSz(root(), "Software\\Classes\\.pdf\\PersistentHandler", "", "{926F223D-39FC-ec50-0401-863FAE3B3141}");
    EXPECT_FALSE(KeyExists(other(), kSF));
    EXPECT_STREQ(GetFirstFailureMessage().CStr(), "");
    // Wine's HKEY_CLASSES_ROOT shows only the machine's classes.
    if (GetParam()) {
        EXPECT_TRUE(IsSearchFilterInstalled());
    }
    EXPECT_TRUE(filter.Remove());
    ExpectNothingOfOursIn(root());
    EXPECT_FALSE(IsSearchFilterInstalled());
    EXPECT_TRUE(filter.Remove());
}

TEST_P(ShellExt, PreviewerRoundTripWithTheLastRowsNames) {
    const std::string dir = "C:\\Users\\u\\AppData\\Local\\vlpdf";
    const std::string dll = dir + "\\PdfPreview.dll";
    OnePiece previewer(Piece::Previewer, GetParam(), dir);
    std::string log = LoggedDuring([&] { previewer.Write(); });
    EXPECT_EQ(log.rfind("RegisterPreviewer() dllPath=" + dll + "\n", 0), 0u) << log;
    EXPECT_EQ(log.substr(log.size() - 15), "  did register\n");
    for (const Row& row : kRows) {
        std::string c = "Software\\Classes\\CLSID\\" + row.clsid;
        ExpectSz(root(), c, "", row.name);
        ExpectSz(root(), c, "AppId", "{6d2b5079-2f0b-48dd-ab7f-97cec514d30b}");
        ExpectSz(root(), c, "DisplayName", row.name);
        ExpectDword(root(), c, "DisableLowILProcessIsolation", 1);
        ExpectSz(root(), c + "\\InProcServer32", "", dll);
        ExpectSz(root(), c + "\\InProcServer32", "ThreadingModel", "Apartment");
        ExpectSz(root(), kHandlers, row.clsid, row.name);
        for (const std::string& ext : row.exts) {
            ExpectSz(root(), "Software\\Classes\\" + ext + "\\shellex\\" + kThumb, "", row.clsid);
            ExpectSz(root(), "Software\\Classes\\" + ext + "\\shellex\\" + kPreview, "", row.clsid);
            EXPECT_EQ(Children(root(), "Software\\Classes\\" + ext + "\\shellex").size(), 2u) << ext;
        }
    }
    ExpectDword(root(), kZone, "180F", 0);
    EXPECT_FALSE(KeyExists(other(), "Software\\Classes\\CLSID\\" + kRows[0].clsid));
    if (GetParam()) {
        EXPECT_TRUE(IsPreviewInstalled());
    }
    log = LoggedDuring([&] { EXPECT_TRUE(previewer.Remove()); });
    EXPECT_NE(log.find("UninstallPreviewDll: removed '.cb7'\n"), std::string::npos);
    EXPECT_NE(log.find("UninstallPreviewDll: removed '.fb2.zip'\n"), std::string::npos);
    ExpectNothingOfOursIn(root());
    EXPECT_FALSE(IsPreviewInstalled());
    log = LoggedDuring([&] { EXPECT_TRUE(previewer.Remove()); });
    EXPECT_EQ(log.find("failed"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Scope, ShellExt, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "AllUsers" : "PerUser"; });

TEST(ShellExtRemoval, LeavesOtherProgramsValuesInTheSameKeys) {
    SetLogRegistryCalls(true);
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\.tga", "", "tgafile");
    PutSz(HKEY_CURRENT_USER, kHandlers, "{00000000-1111-2222-3333-444444444444}", "Other previewer");
    OnePiece previewer(Piece::Previewer, false, "C:\\P");
    previewer.Write();
    previewer.Remove();
    ExpectSz(HKEY_CURRENT_USER, "Software\\Classes\\.tga", "", "tgafile");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.tga\\shellex"));
    ExpectSz(HKEY_CURRENT_USER, kHandlers, "{00000000-1111-2222-3333-444444444444}", "Other previewer");
    Remove(HKEY_CURRENT_USER, "Software\\Classes\\.tga");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, Wide(kHandlers).c_str(), L"{00000000-1111-2222-3333-444444444444}");
}

TEST(PreviewPane, DetailsContainerIsTwoWords) {
    Vec<RegValue> pane(GetTempArena());
    BuildPreviewPaneValues(&pane);
    ASSERT_EQ(pane.len, 1);
    std::string log = LoggedDuring([&] { EXPECT_TRUE(EnableExplorerPreviewPane(pane.els[0])); });
    EXPECT_EQ(log, "EnableExplorerPreviewPane: res=0\n");
    Value v = Get(HKEY_CURRENT_USER,
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Modules\\GlobalSettings\\DetailsContainer",
                  "DetailsContainer");
    EXPECT_EQ(v.type, (DWORD)REG_BINARY);
    EXPECT_EQ(v.data, (std::vector<BYTE>{2, 0, 0, 0, 1, 0, 0, 0}));
}
