#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "integration/registration.h"

namespace {
const char* kPieceNames[] = {"SearchFilter", "Previewer",     "PreviewPane",    "OfficeAddin", "Shortcuts",
                             "UninstallEntry", "Associations", "MimeType",      "DefaultReader", "DefaultBackups",
                             "PathEntry",    "Watcher",       "StatsIdentity", "Containers"};

std::string Dump(const Registration& reg) {
    std::string s;
    for (const RegItem& item : reg.items) {
        s += kPieceNames[(int)item.piece];
        s += item.root == RegRoot::Machine ? " HKLM" : " HKCU";
        s += item.view == RegView::Bits64 ? " 64" : item.view == RegView::Bits32 ? " 32" : "";
        s += item.present ? "" : " absent";
        s += item.piece == Piece::DefaultReader ? " kind " + std::to_string((int)item.reader) : "";
        s += "\n";
    }
    return s;
}

const RegTrace* Find(const Vec<RegTrace>& traces, const char* key, const char* name) {
    for (const RegTrace& t : traces) {
        if (str::Eq(t.value.key, key) && str::Eq(t.value.name, name)) return &t;
    }
    return nullptr;
}
}  // namespace

// The table is in the order the installation writes: a piece moved here moves its log lines.
TEST(Registration, TableFollowsTheOptionsInTheOrderOfWriting) {
    TempArenaScope scope;
    struct Case {
        const char* name;
        InstallChoices o;
        const char* expected;
    };
    InstallChoices plain;
    plain.installDir = "C:\\u\\vlpdf";
    plain.on = {Choice::DesktopShortcut, Choice::OfficeAddin};
    InstallChoices every = plain;
    every.on = ChoiceSet::All();
    InstallChoices bare = plain;
    bare.on = {Choice::DefaultComics};
    const Case cases[] = {
        {"per user, defaults", plain,
         "OfficeAddin HKCU 64\nOfficeAddin HKCU 32\nShortcuts HKCU\nUninstallEntry HKCU\nAssociations HKCU\n"
         "MimeType HKCU\nPathEntry HKCU\nWatcher HKCU\nStatsIdentity HKLM 32\nContainers HKCU\n"},
        {"all users, every option", every,
         "SearchFilter HKLM\nPreviewer HKLM\nPreviewPane HKCU\nOfficeAddin HKLM 64\nOfficeAddin HKLM 32\n"
         "Shortcuts HKLM\nUninstallEntry HKLM\nAssociations HKLM\nMimeType HKLM\nDefaultReader HKCU kind 0\n"
         "DefaultReader HKCU kind 1\nDefaultReader HKCU kind 2\nDefaultReader HKCU kind 3\n"
         "DefaultBackups HKCU\nPathEntry HKLM\nWatcher HKCU\nStatsIdentity HKLM 32\nContainers HKLM\n"},
        {"no add-in: none in either root or view", bare,
         "OfficeAddin HKCU 64 absent\nOfficeAddin HKCU 32 absent\nOfficeAddin HKLM 64 absent\n"
         "OfficeAddin HKLM 32 absent\nShortcuts HKCU\nUninstallEntry HKCU\nAssociations HKCU\nMimeType HKCU\n"
         "DefaultReader HKCU kind 2\nDefaultBackups HKCU\nPathEntry HKCU\nWatcher HKCU\nStatsIdentity HKLM 32\nContainers HKCU\n"},
    };
    for (const Case& c : cases) {
        Registration reg(GetTempArena());
        BuildRegistration(c.o, &reg);
        EXPECT_EQ(Dump(reg), c.expected) << c.name;
        EXPECT_STREQ(reg.exePath.CStr(), "C:\\u\\vlpdf\\vlpdf.exe") << c.name;
        // Components, then the entry, then the shell's pieces: never back to an earlier stage.
        RegStage last = RegStage::Components;
        for (const RegItem& item : reg.items) {
            RegStage stage = StageOf(item.piece);
            if (stage == RegStage::None) continue;
            EXPECT_GE((int)stage, (int)last) << c.name << ": " << kPieceNames[(int)item.piece];
            last = stage;
        }
    }
}

// Whatever an installation may leave, the uninstaller takes away: every piece of the widest
// table is in exactly one of its two walks, but what it keeps: the preview pane (the user's
// layout by now) and the statistics identity.
TEST(Registration, UninstallTakesEveryPieceOnce) {
    TempArenaScope scope;
    Registration reg(GetTempArena());
    BuildRegistration(AnyInstallationIn("D:\\vlpdf", true), &reg);
    int seen[32] = {};
    for (Removal why : {Removal::Uninstall, Removal::UninstallAfterFiles}) {
        int n = 0;
        const Piece* order = RemovalOrder(why, &n);
        for (int i = 0; i < n; i++) seen[(int)order[i]]++;
    }
    for (const RegItem& item : reg.items) {
        int expected = item.piece == Piece::PreviewPane || item.piece == Piece::StatsIdentity ? 0 : 1;
        EXPECT_EQ(seen[(int)item.piece], expected) << kPieceNames[(int)item.piece];
    }
    // The entry stays until the files are gone; an upgrade keeps it until the new one is written.
    int n = 0;
    const Piece* after = RemovalOrder(Removal::UninstallAfterFiles, &n);
    EXPECT_EQ(after[0], Piece::UninstallEntry);
    for (Removal why : {Removal::Upgrade, Removal::OtherInstallation, Removal::Uninstall}) {
        const Piece* order = RemovalOrder(why, &n);
        for (int i = 0; i < n; i++) EXPECT_NE(order[i], Piece::UninstallEntry) << (int)why;
    }
}

TEST(Registration, TracesHoldWhatIsLeftAfterTheLastWrite) {
    TempArenaScope scope;
    Registration reg(GetTempArena());
    BuildRegistration(AnyInstallationIn("D:\\vlpdf", true), &reg);
    Vec<RegTrace> traces(GetTempArena());
    RegistrationTraces(reg, 10, &traces);
    // Three preview rows share a class: the name of the last one stays.
    const RegTrace* fb2 = Find(traces, "Software\\Classes\\CLSID\\{92C3331B-820A-CB23-53AA-7A603A1547B4}", "");
    ASSERT_TRUE(fb2);
    EXPECT_STREQ(fb2->value.text.CStr(), "VeloraPDF Preview (*.fb2.zip)");
    EXPECT_EQ(fb2->root, RegRoot::Machine);
    const RegTrace* mime = Find(traces, "Software\\Classes\\.pdf", "Content Type");
    ASSERT_TRUE(mime);
    EXPECT_TRUE(mime->keptOnRemoval);
    const RegTrace* path = Find(traces, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", "Path");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->match, TraceMatch::Element);
    EXPECT_STREQ(path->value.text.CStr(), "D:\\vlpdf");
    const RegTrace* date = Find(traces, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf", "InstallDate");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->match, TraceMatch::Exists);
    const RegTrace* choice =
        Find(traces, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.markdown\\UserChoice", "ProgId");
    ASSERT_TRUE(choice);
    EXPECT_STREQ(choice->value.text.CStr(), "vlpdf.markdown");
    EXPECT_EQ(choice->root, RegRoot::User);
    // The add-in once per view; the capabilities only from Windows 10 on.
    int addin = 0;
    for (const RegTrace& t : traces) addin += str::Eq(t.value.name, "LoadBehavior");
    EXPECT_EQ(addin, 6);
    EXPECT_TRUE(Find(traces, "SOFTWARE\\vlpdf\\Capabilities", "ApplicationName"));
    Vec<RegTrace> old(GetTempArena());
    RegistrationTraces(reg, 6, &old);
    EXPECT_FALSE(Find(old, "SOFTWARE\\vlpdf\\Capabilities", "ApplicationName"));
}

namespace {
const char* kWriteOpNames[] = {"Log",         "Value",       "EstimatedSize", "FlushEntry", "Outcome",
                               "Notify",      "UserChoice",  "PathElement",   "PreviewPane", "Shortcuts",
                               "IfFileExists", "StartWatcher", "Unregister"};

// The steps' kinds, a run of one kind (values, an extension's records) as one.
std::string Ops(const Vec<RegWrite>& steps) {
    std::string s;
    for (const RegWrite& w : steps) {
        std::string op = kWriteOpNames[(int)w.op];
        if (s.size() >= op.size() + 1 && s.compare(s.size() - op.size() - 1, op.size() + 1, op + " ") == 0) continue;
        s += op + " ";
    }
    return s;
}

std::string Describe(const RegValue& v) {
    return std::string(v.key.CStr()) + "|" + v.name.CStr() + "|" + std::to_string((int)v.type);
}
}  // namespace

// What a piece writes is what its traces say it left, and its effects stand where the log
// expects them: the entry measured, flushed, then judged; the associations announced after
// their values; the watcher only when its file is there.
TEST(Registration, WritesAreTheTracedValuesWithTheirEffectsAround) {
    TempArenaScope scope;
    InstallChoices every = AnyInstallationIn("D:\\vlpdf", true);
    every.on.Remove(Choice::DesktopShortcut);
    Registration reg(GetTempArena());
    BuildRegistration(every, &reg);
    RegWriteContext ctx;
    ctx.platformMajor = 10;
    ctx.year = 2026, ctx.month = 12, ctx.day = 9;
    const std::pair<Piece, const char*> expectedOps[] = {
        {Piece::SearchFilter, "Log Value Outcome "},
        {Piece::Previewer, "Log Value Outcome "},
        {Piece::PreviewPane, "PreviewPane "},
        {Piece::OfficeAddin, "Value Outcome "},
        {Piece::Shortcuts, "Shortcuts "},
        {Piece::UninstallEntry, "Log Value EstimatedSize Value FlushEntry Outcome Value "},
        {Piece::Associations, "Log Value Outcome Notify "},
        {Piece::MimeType, ""},
        {Piece::DefaultReader, "UserChoice Outcome Notify "},
        {Piece::PathEntry, "PathElement "},
        {Piece::Watcher, "IfFileExists Value StartWatcher "},
        {Piece::StatsIdentity, "Value "},
    };
    for (const RegItem& item : reg.items) {
        const char* name = kPieceNames[(int)item.piece];
        Vec<RegWrite> steps(GetTempArena());
        PieceWrites(reg, item, ctx, &steps);
        for (const auto& [piece, ops] : expectedOps) {
            EXPECT_TRUE(piece != item.piece || Ops(steps) == ops) << name << ": " << Ops(steps);
        }
        std::string written, traced;
        for (const RegWrite& w : steps) {
            EXPECT_EQ(w.root, item.root) << name;
            if (w.op == RegWriteOp::Value || w.op == RegWriteOp::EstimatedSize || w.op == RegWriteOp::PreviewPane ||
                w.op == RegWriteOp::UserChoice) {
                written += Describe(w.value) + "\n";
            }
            // What each effect is given.
            std::string given = w.text.IsEmpty() ? "" : w.text.CStr();
            switch (w.op) {
                case RegWriteOp::EstimatedSize:
                case RegWriteOp::PathElement:
                    EXPECT_EQ(given, "D:\\vlpdf") << name;
                    break;
                case RegWriteOp::Shortcuts:
                    EXPECT_EQ(given + (w.desktop ? " desktop" : ""), "D:\\vlpdf\\vlpdf.exe");
                    break;
                case RegWriteOp::UserChoice:  // the extension's own record
                    EXPECT_NE(std::string(w.value.key.CStr()).find("FileExts\\" + given + "\\UserChoice"),
                              std::string::npos);
                    break;
                case RegWriteOp::Value:
                    EXPECT_TRUE(!str::Eq(w.value.name, "InstallDate") || str::Eq(w.value.text, "20261209"));
                    // Only the identity falls back to the user's root.
                    EXPECT_EQ(w.orUser, item.piece == Piece::StatsIdentity) << name;
                    break;
                default:
                    break;
            }
        }
        Vec<RegValue> values(GetTempArena());
        PieceValues(reg, item, ctx.platformMajor, &values);
        if (item.piece == Piece::Associations) {
            RegItem mime = item;
            mime.piece = Piece::MimeType;
            PieceValues(reg, mime, ctx.platformMajor, &values);
        }
        if (item.piece != Piece::MimeType) {  // written with the associations
            for (const RegValue& v : values) traced += Describe(v) + "\n";
        }
        EXPECT_EQ(written, traced) << name;
    }
    // Shell extensions stop at their first failed value; the add-in in its view, unlogged.
    RegItem addin = reg.items.els[3];
    ASSERT_EQ(addin.piece, Piece::OfficeAddin);
    Vec<RegWrite> steps(GetTempArena());
    PieceWrites(reg, addin, ctx, &steps);
    EXPECT_TRUE(steps.els[0].quiet);
    EXPECT_EQ(steps.els[0].view, RegView::Bits64);
    // Without the add-in: the earlier one's taken away, in each root and view.
    every.on.Remove(Choice::OfficeAddin);
    BuildRegistration(every, &reg);
    int unregistered = 0;
    for (const RegItem& item : reg.items) {
        if (item.piece != Piece::OfficeAddin) continue;
        steps.Reset();
        PieceWrites(reg, item, ctx, &steps);
        EXPECT_EQ(Ops(steps), "Unregister ");
        unregistered++;
    }
    EXPECT_EQ(unregistered, 4);
}
