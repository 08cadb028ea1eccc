#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "base/arena.h"
#include "base/clock.h"
#include "base/process_win.h"
#include "integration/default_reader.h"
#include "integration/registry.h"
#include "reg_test.h"

using namespace regtest;

namespace {
const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::string kPrev = "Software\\vlpdf\\PrevDefault";
const char* const kAllExts[] = {".pdf", ".p7m", ".ofd", ".cbz", ".cbr", ".cb7", ".cbt", ".md", ".markdown"};

std::string RecordKey(const std::string& ext) {
    return kFileExts + ext + "\\UserChoice";
}

// The clock of new records, counted; a fixed time makes every record miss its value, as a
// minute boundary between writing and checking does.
int gClockCalls;
uint64_t gFixedTime;
uint64_t CountingClock() {
    gClockCalls++;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return gFixedTime ? gFixedTime : (uint64_t)now.dwHighDateTime << 32 | now.dwLowDateTime;
}

// The value the shell expects of ext's record, from the key's own last-write time.
std::string ExpectedHash(const std::string& ext, const std::string& progId) {
    HKEY key;
    FILETIME written{};
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(RecordKey(ext)).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     &written);
    RegCloseKey(key);
    TempArenaScope scope;
    uint64_t time = (uint64_t)written.dwHighDateTime << 32 | written.dwLowDateTime;
    return UserChoiceHashOfTemp(ext.c_str(), ProcessUserSidTemp(), progId.c_str(), time).CStr();
}

class DefaultReader : public testing::Test {
  protected:
    void SetUp() override {
        SetLogRegistryCalls(true);
        gClockCalls = 0;
        gFixedTime = 0;
        gClock.wallFileTime = CountingClock;
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Clean();
    }
    void TearDown() override {
        gClock = saved_;
        Clean();
        CoUninitialize();
    }
    ClockSeam saved_ = gClock;

    void Clean() {
        std::vector<std::string> classes = {".tcr", "Other.tcr"};
        for (const std::string ext : kAllExts) {
            Remove(HKEY_CURRENT_USER, kFileExts + ext);
            classes.insert(classes.end(), {ext, "vlpdf" + ext});
        }
        Remove(HKEY_CURRENT_USER, "Software\\vlpdf");
        for (const std::string& c : classes) {
            Remove(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + c);
            Remove(HKEY_CURRENT_USER, "Software\\Classes\\" + c);
        }
    }
};

// The group's records, written as the installation writes them.
bool MakeDefault(ReaderKind kind) {
    OnePiece group(Piece::DefaultReader, false, "C:\\P");
    group.item.reader = kind;
    return group.Write();
}

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
        PutSz(HKEY_CURRENT_USER, RecordKey(".pdf"), "ProgId", c.progId);
        EXPECT_EQ(HasOurUserChoice(".pdf"), c.ours) << c.progId;
    }
}

TEST_F(DefaultReader, TheEarlierChoiceIsBackedUpOnce) {
    PutSz(HKEY_CURRENT_USER, RecordKey(".pdf"), "ProgId", "Other.pdf");
    bool ok = true;
    std::string log = LoggedDuring([&] { ok = MakeDefault(ReaderKind::Pdf); });
    // The records are written, but without our classes the shell does not name us default.
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
    EXPECT_TRUE(UserChoiceMatches(".pdf", "vlpdf.pdf"));
    EXPECT_TRUE(UserChoiceMatches(".p7m", "vlpdf.p7m"));
    // A backup is made once: a later run keeps the first one.
    PutSz(HKEY_CURRENT_USER, RecordKey(".pdf"), "ProgId", "Third.pdf");
    MakeDefault(ReaderKind::Pdf);
    ExpectSz(HKEY_CURRENT_USER, kPrev, ".pdf", "Other.pdf");
}

TEST_F(DefaultReader, AChoiceThatIsOursAlreadyNeedsNoWriteAndNoBackup) {
    const char* progIds[] = {"vlpdf.cbz", "VLPDF", "Vlpdf.CB7", "vlpdf"};
    const char* exts[] = {".cbz", ".cbr", ".cb7", ".cbt"};
    for (int i = 0; i < 4; i++) PutSz(HKEY_CURRENT_USER, RecordKey(exts[i]), "ProgId", progIds[i]);
    bool ok = false;
    std::string log = LoggedDuring([&] { ok = MakeDefault(ReaderKind::Comics); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(gClockCalls, 0);
    EXPECT_EQ(log.find("WriteRegStr"), std::string::npos) << log;
    for (const char* ext : exts) {
        EXPECT_NE(log.find(std::string("SetDefaultReaderFor: ext '") + ext + "', on 1, ok 1\n"), std::string::npos);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kPrev));
}

TEST_F(DefaultReader, TheRecordIsMadeAnewWithProgIdAndHash) {
    PutSz(HKEY_CURRENT_USER, RecordKey(".md"), "Stale", "x");
    PutSz(HKEY_CURRENT_USER, RecordKey(".md") + "\\Sub", "", "x");
    EXPECT_TRUE(WriteUserChoice(".md", "vlpdf.md"));
    ExpectSz(HKEY_CURRENT_USER, RecordKey(".md"), "ProgId", "vlpdf.md");
    // The value is that of the key's real last-write time and the user this process runs as.
    std::string hash = ExpectedHash(".md", "vlpdf.md");
    EXPECT_EQ(hash.size(), 12u);
    ExpectSz(HKEY_CURRENT_USER, RecordKey(".md"), "Hash", hash);
    EXPECT_EQ(Children(HKEY_CURRENT_USER, RecordKey(".md")).size(), 2u);
    // The user's own hive is named by the SID the value was made with.
    TempArenaScope scope;
    EXPECT_TRUE(KeyExists(HKEY_USERS, std::string(ProcessUserSidTemp().CStr()) + "\\" + RecordKey(".md")));
}

TEST_F(DefaultReader, ARecordThatNeverMatchesIsWrittenThreeTimes) {
    gFixedTime = 0x01D73570D57CE3A0;  // 2021-04-19 23:07:56.506
    EXPECT_FALSE(WriteUserChoice(".md", "vlpdf.md"));
    EXPECT_EQ(gClockCalls, 3);
    TempArenaScope scope;
    ExpectSz(HKEY_CURRENT_USER, RecordKey(".md"), "Hash",
             UserChoiceHashOfTemp(".md", ProcessUserSidTemp(), "vlpdf.md", gFixedTime).CStr());
}

TEST_F(DefaultReader, WithTheMachineClassesPointingAtUsTheGroupsSucceedWithAcceptedRecords) {
    // Wine ignores UserChoice and has no QueryAppIsDefault; the current default it reports
    // comes from the classes.
    for (const std::string ext : kAllExts) {
        PutSz(HKEY_LOCAL_MACHINE, "Software\\Classes\\" + ext, "", ext == ".p7m" ? "vlpdf" : "vlpdf" + ext);
    }
    PutSz(HKEY_CURRENT_USER, RecordKey(".cbz"), "ProgId", "Other.cbz");
    for (ReaderKind kind : {ReaderKind::Pdf, ReaderKind::Comics, ReaderKind::Markdown}) {
        bool ok = false;
        std::string log = LoggedDuring([&] { ok = MakeDefault(kind); });
        EXPECT_TRUE(ok) << log;
    }
    for (const std::string ext : kAllExts) {
        if (ext == ".ofd") continue;
        ExpectSz(HKEY_CURRENT_USER, RecordKey(ext), "ProgId", "vlpdf" + ext);
        EXPECT_TRUE(HasOurUserChoice(ext.c_str())) << ext;
        EXPECT_TRUE(UserChoiceMatches(ext.c_str(), ("vlpdf" + ext).c_str())) << ext;
    }
    ExpectSz(HKEY_CURRENT_USER, kPrev, ".cbz", "Other.cbz");
    ExpectSz(HKEY_CURRENT_USER, kPrev, ".md", "");
    // A changed value is not accepted, nor a record of another ProgID.
    PutSz(HKEY_CURRENT_USER, RecordKey(".pdf"), "Hash", "uzpIsMVyZ1g=");
    EXPECT_FALSE(UserChoiceMatches(".pdf", "vlpdf.pdf"));
    EXPECT_FALSE(UserChoiceMatches(".p7m", "vlpdf.pdf"));
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

// Taking the associations away drops the .pdf defaults that name the reader, and only those.
TEST_F(DefaultReader, UnregisteringDropsOnlyPdfDefaultsThatNameUs) {
    const std::string fe = kFileExts + ".pdf";
    const std::string dropped[] = {"DeleteRegValue(HKEY_CURRENT_USER, Software\\Classes\\.pdf, ) => ok\n",
                                   "DeleteRegValue(HKEY_CURRENT_USER, " + fe + ", ProgId) => ok\n",
                                   "DeleteRegValue(HKEY_CURRENT_USER, " + fe + ", Application) => ok\n",
                                   "DeleteRegKey(HKEY_CURRENT_USER, " + fe + "\\UserChoice, 1) => ok\n"};
    OnePiece associations(Piece::Associations, false, "C:\\P");
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\.pdf", "", "vlpdf");
    PutSz(HKEY_CURRENT_USER, fe, "ProgId", "vlpdf");
    PutSz(HKEY_CURRENT_USER, fe, "Application", "VLPDF.EXE");
    PutSz(HKEY_CURRENT_USER, fe + "\\OpenWithList", "a", "other.exe");
    PutSz(HKEY_CURRENT_USER, fe + "\\UserChoice", "ProgId", "vlpdf");
    std::string log = LoggedDuring([&] { associations.Remove(); });
    EXPECT_EQ(log.rfind("RemoveInstallRegistryKeys(HKEY_CURRENT_USER)\nUnregisterFromBeingDefaultViewer()\n", 0), 0u);
    for (const std::string& line : dropped) {
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    }
    EXPECT_FALSE(Get(HKEY_CURRENT_USER, "Software\\Classes\\.pdf", "").exists);
    EXPECT_EQ(Children(HKEY_CURRENT_USER, fe), std::vector<std::string>{"key:OpenWithList"});

    // Values of other programs stay.
    PutSz(HKEY_CURRENT_USER, "Software\\Classes\\.pdf", "", "vlpdf.pdf");
    PutSz(HKEY_CURRENT_USER, fe, "ProgId", "Other.pdf");
    PutSz(HKEY_CURRENT_USER, fe, "Application", "other.exe");
    PutSz(HKEY_CURRENT_USER, fe + "\\UserChoice", "ProgId", "VLPDF");
    log = LoggedDuring([&] { associations.Remove(); });
    for (const std::string& line : dropped) {
        EXPECT_EQ(log.find(line.substr(0, line.find(" => "))), std::string::npos) << line << log;
    }
    EXPECT_EQ(Children(HKEY_CURRENT_USER, fe).size(), 4u);
}

TEST_F(DefaultReader, AChoiceThatCannotBeDeletedEndsTheAttempt) {
    PutSz(HKEY_CURRENT_USER, RecordKey(".md"), "ProgId", "Locked.md");
    PutSz(HKEY_CURRENT_USER, RecordKey(".md") + "\\Child", "", "x");
    // The child denies everyone, so the record cannot be removed as a whole.
    DenyEveryone(HKEY_CURRENT_USER, RecordKey(".md") + "\\Child");
    bool ok = true;
    std::string log = LoggedDuring([&] { ok = WriteUserChoice(".md", "vlpdf.md"); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(log, "WriteUserChoice: delete UserChoice of '.md' failed, err 5\n");
    EXPECT_EQ(gClockCalls, 1);
    DeleteRegKey(HKEY_CURRENT_USER, (RecordKey(".md") + "\\Child").c_str(), true);
}
