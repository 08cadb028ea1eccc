#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "replace/replace_rules.h"

namespace {
std::string S(StrView v) {
    return std::string(v.CStr(), (size_t)v.len);
}
}  // namespace

TEST(AsideNames, CopyStaleAndFailedNames) {
    EXPECT_EQ(S(aside::CopyPathTemp("C:\\p\\PdfPreview.dll")), "C:\\p\\PdfPreview.dll.copy");
    EXPECT_EQ(S(aside::StalePathTemp("C:\\p\\PdfPreview.dll.copy", 4294967295u)),
              "C:\\p\\PdfPreview.dll.copy.stale4294967295");
    EXPECT_EQ(S(aside::StalePathTemp("a.copy", 0)), "a.copy.stale0");
    EXPECT_EQ(S(aside::FailedPathTemp("C:\\p\\vlpdf.exe")), "C:\\p\\vlpdf.exe.failed");
    // What an extraction clears away afterwards: every name a failure may restore, the
    // legacy library's included, and the copies kept in place of the moved-aside files, in
    // the order of their names whatever their case.
    Vec<StrView> leftovers(GetTempArena());
    aside::LeftoverAsideCopiesTemp(&leftovers);
    std::string all;
    for (StrView name : leftovers) all += S(name) + " ";
    EXPECT_EQ(all,
              "libtovarinpdf.dll.copy libtovarinpdf.dll.keep libvlrender.dll.copy PdfFilter.dll.copy "
              "PdfFilter.dll.keep PdfPreview.dll.copy PdfPreview.dll.keep vlpdf.exe.copy vlpdf.exe.keep ");
}

TEST(RetryCadence, QuickPausesGrowLinearlyAndSilentRetriesTakeAMinute) {
    EXPECT_EQ(aside::QuickPauseMs(1), 300u);
    EXPECT_EQ(aside::QuickPauseMs(2), 600u);
    EXPECT_EQ(aside::QuickPauseMs(3), 900u);
    uint32_t total = 0;
    for (int i = 1; i <= aside::kQuickAttempts; i++) total += aside::QuickPauseMs(i);
    total += aside::kSilentRetries * aside::kSilentPauseMs;
    EXPECT_EQ(total, 61800u);
}

TEST(RetryCadence, OnlyDiskFullEndsALoopAtOnce) {
    struct Case {
        uint32_t err;
        bool diskFull;
    } cases[] = {{112, true}, {39, true}, {0, false}, {5, false}, {32, false}, {33, false}, {111, false}};
    for (const Case& c : cases) EXPECT_EQ(IsDiskFullError(c.err), c.diskFull) << c.err;
}

TEST(AsideNames, SearchServiceIsStoppedOnlyForTheShellExtensions) {
    struct Case {
        const char* name;
        bool stop;
    } cases[] = {{"PdfFilter.dll", true},       {"pdfpreview.DLL", true}, {"libtovarinpdf.dll", false},
                 {"vlpdf.exe", false},          {"PdfFilter.dll.copy", false}, {"", false}};
    for (const Case& c : cases) EXPECT_EQ(aside::NeedsSearchServiceStop(c.name), c.stop) << c.name;
}

TEST(HolderList, OneBulletLinePerProcess) {
    TempArenaScope scope;
    Str list(GetTempArena());
    AppendHolderLine(list, "SearchProtocolHost.exe", 4242);
    EXPECT_EQ(S(str::View(list)), "\xE2\x80\xA2 SearchProtocolHost.exe (pid 4242)");
    AppendHolderLine(list, "(unknown)", 7);
    EXPECT_EQ(S(str::View(list)), "\xE2\x80\xA2 SearchProtocolHost.exe (pid 4242)\n\xE2\x80\xA2 (unknown) (pid 7)");
}

// Which explanation the blocked-file dialog gives: the holders when known, else by the
// rename's error and, for access denied, by elevation.
TEST(BlockedFileMessage, ChoosesTheExplanation) {
    struct Case {
        const char* holders;
        uint32_t err;
        bool elevated;
        const char* firstLine;
        const char* marker;
    } cases[] = {
        {"\xE2\x80\xA2 prevhost.exe (pid 12)", 5, true,
         "Could not update PdfPreview.dll because another program still has the file open.",
         "Programs currently using this file:\n\xE2\x80\xA2 prevhost.exe (pid 12)\n\nWhat to try:\n"
         "\xE2\x80\xA2 Close the programs listed above\n"},
        {"", 32, false, "Could not update PdfPreview.dll because another program still has the file open.",
         "Common causes:\n\xE2\x80\xA2 Windows Search Indexer (loads PdfFilter.dll for PDF search)\n"},
        {"", 0, true, "Could not update PdfPreview.dll because another program still has the file open.",
         "Common causes:\n"},
        {"", 5, true, "Could not update PdfPreview.dll (access denied).",
         "This installer is already running as administrator"},
        {"", 5, false, "Could not update PdfPreview.dll due to insufficient permissions.",
         "\xE2\x80\xA2 Run the installer again and accept the administrator (UAC) prompt\n"},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        std::string msg = S(BlockedFileMessageTemp("PdfPreview.dll", c.holders, c.err, c.elevated));
        EXPECT_EQ(msg.substr(0, msg.find('\n')), c.firstLine) << msg;
        EXPECT_NE(msg.find(c.marker), std::string::npos) << msg;
        const char* tail = "\n\nThe installer keeps retrying every few seconds. Click Abort to cancel.";
        EXPECT_EQ(msg.substr(msg.size() - strlen(tail)), tail);
    }
}

// A file name with a percent sign is text, never a format directive.
TEST(BlockedFileMessage, PercentInANameStaysText) {
    TempArenaScope scope;
    std::string msg = S(BlockedFileMessageTemp("50%s%d.dll", "\xE2\x80\xA2 a%n.exe (pid 1)", 0, false));
    EXPECT_EQ(msg.substr(0, msg.find('\n')), "Could not update 50%s%d.dll because another program still has the file open.");
    EXPECT_NE(msg.find("\n\xE2\x80\xA2 a%n.exe (pid 1)\n"), std::string::npos);
}

TEST(MoveAsideFailureMessage, ByCauseAndByWhetherTheUserAborted) {
    std::string url = kSupportUrl;
    struct Case {
        bool inUse, aborted, elevated;
        std::string text;
    } cases[] = {
        {true, true, true, "Installation aborted: could not update vlpdf.exe (file in use)."},
        {true, true, false, "Installation aborted: could not update vlpdf.exe (file in use)."},
        {false, true, true,
         "Installation aborted: could not update vlpdf.exe (access denied; antivirus, Controlled Folder Access, or "
         "file ACL \xE2\x80\x94 already running as administrator)."},
        {false, true, false,
         "Installation aborted: could not update vlpdf.exe (access denied; try running as administrator)."},
        {true, false, false,
         "Could not update vlpdf.exe because it is in use by another program. Stop Windows Search / close Explorer "
         "previews and try again. See " + url},
        {false, false, true,
         "Could not update vlpdf.exe: access denied (antivirus, Controlled Folder Access, or file ACL). Exclude the "
         "install folder, reboot and retry, or choose a different folder. See " + url},
        {false, false, false,
         "Could not update vlpdf.exe: access denied. Run the installer as administrator, or choose a folder you can "
         "write to. See " + url},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        EXPECT_EQ(S(MoveAsideFailureMessageTemp("vlpdf.exe", c.inUse, c.aborted, c.elevated)), c.text)
            << c.inUse << c.aborted << c.elevated;
    }
}

// Which processes freeing the watcher ends: those with it loaded wherever they run from,
// and those running it from inside the installation even when their module list cannot be
// read (a watcher still starting); never this process, the spared one, or a program that
// runs the same file through a link from elsewhere.
TEST(ChooseEnding, ByModuleListAnywhereByImageOnlyInsideTheFolder) {
    const char* folder = "C:\\Program Files\\vlpdf\\plugins\\pdfwatch";
    const char* watcher = "C:\\Program Files\\vlpdf\\plugins\\pdfwatch\\vlpdf-watch.exe";
    constexpr uint32_t kSelf = 8, kSpared = 12;
    struct Case {
        ProcessFacts p;
        Ending expected;
    } cases[] = {
        {{40, "", false, false}, Ending::Keep},                              // nothing known
        {{40, "", false, true}, Ending::LoadsFile},                          // image unreadable
        {{40, "C:\\Windows\\prevhost.exe", false, true}, Ending::LoadsFile},  // loaded from outside
        {{40, watcher, true, false}, Ending::RunsFile},                      // still starting
        {{40, watcher, true, true}, Ending::LoadsFile},                      // running: the module list says
        {{40, watcher, false, false}, Ending::Keep},                         // another file of that name
        {{40, "D:\\links\\vlpdf-watch.exe", true, false}, Ending::Keep},    // a link from elsewhere
        {{40, "C:\\Program Files\\vlpdf\\plugins\\pdfwatch2\\vlpdf-watch.exe", true, false}, Ending::Keep},
        {{40, "C:\\Program Files\\vlpdf\\plugins\\pdfwatch\\..\\..\\..\\x\\vlpdf-watch.exe", true, false},
         Ending::Keep},
        {{kSelf, watcher, true, true}, Ending::Keep},
        {{kSpared, watcher, true, true}, Ending::Keep},
        {{0, watcher, true, true}, Ending::Keep},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseEnding(c.p, folder, kSelf, kSpared), c.expected) << c.p.pid << " " << c.p.image.CStr();
    }
    // With none spared (0) that process is like any other; without a folder none goes by its image.
    EXPECT_EQ(ChooseEnding({kSpared, watcher, true, false}, folder, kSelf, 0), Ending::RunsFile);
    EXPECT_EQ(ChooseEnding({40, watcher, true, false}, "", kSelf, 0), Ending::Keep);
}

TEST(IsInsideFolder, SpellingsOfOneFolderAndNamesThatOnlyLookInside) {
    struct Case {
        const char* path;
        const char* folder;
        bool inside;
    } cases[] = {
        {"C:\\Program Files\\vlpdf\\vlpdf.exe", "C:\\Program Files\\vlpdf", true},
        {"C:\\Program Files\\vlpdf\\vlpdf.exe", "C:\\Program Files\\vlpdf\\", true},
        {"c:\\program files\\VLPDF\\a\\b.exe", "C:\\Program Files\\vlpdf", true},
        {"C:/Program Files/vlpdf/vlpdf.exe", "C:\\Program Files\\vlpdf", true},
        {"\\\\?\\C:\\Program Files\\vlpdf\\vlpdf.exe", "C:\\Program Files\\vlpdf", true},
        {"C:\\Program Files\\vlpdf\\vlpdf.exe", "\\\\?\\C:\\Program Files\\vlpdf\\\\", true},
        {"C:\\x.exe", "C:\\", true},
        {"C:\\Program Files\\vlpdf..\\x.exe", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpdf\\..x\\y.exe", "C:\\Program Files\\vlpdf", true},
        {"C:\\Program Files\\vlpdf", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpdf\\", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpdf2\\vlpdf.exe", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpd", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpdf\\..\\other\\x.exe", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpdf\\a\\..", "C:\\Program Files\\vlpdf", false},
        {"C:\\Program Files\\vlpdf\\x.exe", "", false},
        {"", "C:\\Program Files\\vlpdf", false},
        {"D:\\Program Files\\vlpdf\\x.exe", "C:\\Program Files\\vlpdf", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsInsideFolder(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
    }
}
