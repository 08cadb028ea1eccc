#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "base/arena.h"
#include "integration/default_reader.h"
#include "integration/registry.h"
#include "reg_test.h"

using namespace regtest;

namespace {
const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::string kPrev = "Software\\vlpdf\\PrevDefault";

std::string Choice(const std::string& ext) {
    return kFileExts + ext + "\\UserChoice";
}

int gHashCalls;
StrView FixedHash(StrView, StrView) {
    gHashCalls++;
    return "test-hash";
}
// A value that never matches the record just written, as when the minute changes.
StrView DriftingHash(StrView, StrView) {
    gHashCalls++;
    return str::FormatTemp("h%d", gHashCalls);
}

class DefaultReader : public testing::Test {
  protected:
    void SetUp() override {
        gLogRegistry = true;
        gHashCalls = 0;
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Clean();
    }
    void TearDown() override {
        gUserChoiceHash = UserChoiceHash;
        Clean();
        CoUninitialize();
    }
    void Clean() {
        for (const char* ext : {".pdf", ".p7m", ".ofd", ".cbz", ".cbr", ".cb7", ".cbt", ".md", ".markdown"}) {
            Remove(HKEY_CURRENT_USER, kFileExts + ext);
        }
        Remove(HKEY_CURRENT_USER, "Software\\vlpdf");
        for (const char* key : {"Software\\Classes\\.pdf", "Software\\Classes\\.p7m", "Software\\Classes\\vlpdf.pdf",
                                "Software\\Classes\\vlpdf.p7m", "Software\\Classes\\.tcr", "Software\\Classes\\Other.tcr"}) {
            Remove(HKEY_LOCAL_MACHINE, key);
            Remove(HKEY_CURRENT_USER, key);
        }
    }
};

std::string ModulePath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return Narrow(self);
}
}  // namespace

TEST_F(DefaultReader, OurChoiceIsTheExtensionsProgIdOrTheBareIdentifierInAnyCase) {
    struct {
        const char* progId;
        bool ours;
    } cases[] = {{"vlpdf.pdf", true}, {"VLPDF.PDF", true}, {"vlpdf", true}, {"VlPdf", true},
                 {"vlpdf.p7m", false}, {"Other.pdf", false}, {"", false}};
    for (auto& c : cases) {
        PutSz(HKEY_CURRENT_USER, Choice(".pdf"), "ProgId", c.progId);
        EXPECT_EQ(HasOurUserChoice(".pdf"), c.ours) << c.progId;
    }
}

TEST_F(DefaultReader, WithoutAVerificationValueNothingIsWrittenButTheBackup) {
    PutSz(HKEY_CURRENT_USER, Choice(".pdf"), "ProgId", "Other.pdf");
    bool ok = true;
    std::string log = LoggedDuring([&] { ok = SetDefaultReaderFor(ReaderKind::Pdf); });
    EXPECT_FALSE(ok);
    EXPECT_NE(log.find("WriteRegStr(HKEY_CURRENT_USER, " + kPrev + ", .pdf, Other.pdf) => ok\n"
                       "SetDefaultReaderFor: ext '.pdf', on 1, ok 0\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("WriteRegStr(HKEY_CURRENT_USER, " + kPrev + ", .p7m, ) => ok\n"
                       "SetDefaultReaderFor: ext '.p7m', on 1, ok 0\n"),
              std::string::npos)
        << log;
    ExpectSz(HKEY_CURRENT_USER, kPrev, ".pdf", "Other.pdf");
    ExpectSz(HKEY_CURRENT_USER, kPrev, ".p7m", "");
    EXPECT_EQ(Get(HKEY_CURRENT_USER, Choice(".pdf"), "ProgId").Text(), "Other.pdf");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Choice(".p7m")));
    // A backup is made once: a later run keeps the first one.
    PutSz(HKEY_CURRENT_USER, Choice(".pdf"), "ProgId", "Third.pdf");
    SetDefaultReaderFor(ReaderKind::Pdf);
    ExpectSz(HKEY_CURRENT_USER, kPrev, ".pdf", "Other.pdf");
}

TEST_F(DefaultReader, AChoiceThatIsOursAlreadyNeedsNoWriteAndNoBackup) {
    const char* progIds[] = {"vlpdf.cbz", "VLPDF", "Vlpdf.CB7", "vlpdf"};
    const char* exts[] = {".cbz", ".cbr", ".cb7", ".cbt"};
    for (int i = 0; i < 4; i++) PutSz(HKEY_CURRENT_USER, Choice(exts[i]), "ProgId", progIds[i]);
    gUserChoiceHash = FixedHash;
    bool ok = false;
    std::string log = LoggedDuring([&] { ok = SetDefaultReaderFor(ReaderKind::Comics); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(gHashCalls, 0);
    EXPECT_EQ(log.find("WriteRegStr"), std::string::npos) << log;
    for (const char* ext : exts) {
        EXPECT_NE(log.find(std::string("SetDefaultReaderFor: ext '") + ext + "', on 1, ok 1\n"), std::string::npos);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPrev));
}

TEST_F(DefaultReader, TheRecordIsMadeAnewWithProgIdAndHash) {
    PutSz(HKEY_CURRENT_USER, Choice(".md"), "Stale", "x");
    PutSz(HKEY_CURRENT_USER, Choice(".md") + "\\Sub", "", "x");
    gUserChoiceHash = FixedHash;
    EXPECT_TRUE(WriteUserChoice(".md", "vlpdf.md"));
    EXPECT_EQ(gHashCalls, 2);  // written, then checked
    ExpectSz(HKEY_CURRENT_USER, Choice(".md"), "ProgId", "vlpdf.md");
    ExpectSz(HKEY_CURRENT_USER, Choice(".md"), "Hash", "test-hash");
    EXPECT_EQ(Children(HKEY_CURRENT_USER, Choice(".md")).size(), 2u);
}

TEST_F(DefaultReader, ARecordThatNeverMatchesIsWrittenThreeTimes) {
    gUserChoiceHash = DriftingHash;
    EXPECT_FALSE(WriteUserChoice(".md", "vlpdf.md"));
    EXPECT_EQ(gHashCalls, 6);
    ExpectSz(HKEY_CURRENT_USER, Choice(".md"), "Hash", "h5");
}

TEST_F(DefaultReader, WithTheMachineClassPointingAtUsTheGroupSucceeds) {
    // Wine ignores UserChoice and has no QueryAppIsDefault; the current default it reports
    // comes from the classes.
    PutSz(HKEY_LOCAL_MACHINE, "Software\\Classes\\.pdf", "", "vlpdf.pdf");
    PutSz(HKEY_LOCAL_MACHINE, "Software\\Classes\\.p7m", "", "vlpdf");
    gUserChoiceHash = FixedHash;
    bool ok = false;
    std::string log = LoggedDuring([&] { ok = SetDefaultReaderFor(ReaderKind::Pdf); });
    EXPECT_TRUE(ok) << log;
    ExpectSz(HKEY_CURRENT_USER, Choice(".pdf"), "ProgId", "vlpdf.pdf");
    ExpectSz(HKEY_CURRENT_USER, Choice(".p7m"), "ProgId", "vlpdf.p7m");
}

TEST_F(DefaultReader, TheAssociatedExecutableDecidesLast) {
    EXPECT_FALSE(IsDefaultReaderFor(""));
    PutSz(HKEY_LOCAL_MACHINE, "Software\\Classes\\.tcr", "", "Other.tcr");
    PutSz(HKEY_LOCAL_MACHINE, "Software\\Classes\\Other.tcr\\shell\\open\\command", "", "\"" + ModulePath() + "\" \"%1\"");
    EXPECT_TRUE(IsDefaultReaderFor(".tcr"));
    PutSz(HKEY_LOCAL_MACHINE, "Software\\Classes\\Other.tcr\\shell\\open\\command", "", "\"C:\\windows\\notepad.exe\" \"%1\"");
    EXPECT_FALSE(IsDefaultReaderFor(".tcr"));
    EXPECT_FALSE(IsDefaultReaderFor(".vlpdf-none"));
}

TEST_F(DefaultReader, UnregisteringDropsOnlyPdfDefaultsThatNameUs) {
    const std::string fe = kFileExts + ".pdf";
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\.pdf", "", "vlpdf");
    PutSz(HKEY_CURRENT_USER, fe, "ProgId", "vlpdf");
    PutSz(HKEY_CURRENT_USER, fe, "Application", "VLPDF.EXE");
    PutSz(HKEY_CURRENT_USER, fe + "\\OpenWithList", "a", "other.exe");
    PutSz(HKEY_CURRENT_USER, fe + "\\UserChoice", "ProgId", "vlpdf");
    std::string log = LoggedDuring([] { UnregisterFromBeingDefaultViewer(HKEY_CURRENT_USER); });
    EXPECT_EQ(log.rfind("UnregisterFromBeingDefaultViewer()\n", 0), 0u);
    EXPECT_NE(log.find("DeleteRegValue(HKEY_CURRENT_USER, Software\\Classes\\.pdf, ) => ok\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DeleteRegValue(HKEY_CURRENT_USER, " + fe + ", ProgId) => ok\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DeleteRegValue(HKEY_CURRENT_USER, " + fe + ", Application) => ok\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DeleteRegKey(HKEY_CURRENT_USER, " + fe + "\\UserChoice, 1) => ok\n"), std::string::npos) << log;
    EXPECT_FALSE(Get(HKEY_CURRENT_USER, "Software\\Classes\\.pdf", "").exists);
    EXPECT_EQ(Children(HKEY_CURRENT_USER, fe), std::vector<std::string>{"key:OpenWithList"});

    // Values of other programs stay.
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\.pdf", "", "vlpdf.pdf");
    PutSz(HKEY_CURRENT_USER, fe, "ProgId", "Other.pdf");
    PutSz(HKEY_CURRENT_USER, fe, "Application", "other.exe");
    PutSz(HKEY_CURRENT_USER, fe + "\\UserChoice", "ProgId", "VLPDF");
    log = LoggedDuring([] { UnregisterFromBeingDefaultViewer(HKEY_CURRENT_USER); });
    EXPECT_EQ(log.find("Delete"), std::string::npos) << log;
    EXPECT_EQ(Children(HKEY_CURRENT_USER, fe).size(), 4u);
}

TEST_F(DefaultReader, AChoiceThatCannotBeDeletedEndsTheAttempt) {
    PutSz(HKEY_CURRENT_USER, Choice(".md"), "ProgId", "Locked.md");
    PutSz(HKEY_CURRENT_USER, Choice(".md") + "\\Child", "", "x");
    // The child denies everyone, so the record cannot be removed as a whole.
    DenyEveryone(HKEY_CURRENT_USER, Choice(".md") + "\\Child");
    gUserChoiceHash = FixedHash;
    bool ok = true;
    std::string log = LoggedDuring([&] { ok = WriteUserChoice(".md", "vlpdf.md"); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(log, "WriteUserChoice: delete UserChoice of '.md' failed, err 5\n");
    EXPECT_EQ(gHashCalls, 1);
    DeleteRegKey(HKEY_CURRENT_USER, (Choice(".md") + "\\Child").c_str(), true);
}
