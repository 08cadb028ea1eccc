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
    // The record's verification value, and the backup of what the user had chosen: known only
    // as they are written. A record given back to another program has a value of its own.
    const RegTrace* hash =
        Find(traces, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.markdown\\UserChoice", "Hash");
    ASSERT_TRUE(hash);
    EXPECT_EQ(hash->match, TraceMatch::ExistsWhileInstalled);
    const RegTrace* backup = Find(traces, "Software\\vlpdf\\PrevDefault", ".cbz");
    ASSERT_TRUE(backup);
    EXPECT_EQ(backup->match, TraceMatch::Exists);
    EXPECT_EQ(backup->root, RegRoot::User);
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
bool IsAtOrBelow(StrView key, StrView base) {
    return str::StartsWithI(key, base) && (key.len == base.len || key.s[base.len] == '\\');
}

// How the steps take the value away under root: "key" (its own key goes whole), "value" (the
// value alone), "guarded" (the value while it still holds ours, or while it is there at all),
// or "" (not at all).
std::string TakenAway(const Vec<RegDelete>& steps, RegRoot root, RegView view, const RegValue& v) {
    for (const RegDelete& d : steps) {
        if (d.root != root) continue;
        // A key goes whole; in a view only the key itself.
        bool key = (d.op == RegDeleteOp::Key && IsAtOrBelow(v.key, d.key)) ||
                   (d.op == RegDeleteOp::KeyInView && d.view == view && str::EqI(d.key, v.key));
        if (key && !d.guarded) return "key";
        if ((d.op == RegDeleteOp::Value || d.op == RegDeleteOp::ValueQuiet) && str::EqI(d.key, v.key) &&
            str::EqI(d.name, v.name)) {
            if (!d.guarded) return "value";
            return d.ifExists || str::EqI(d.ifText, v.text) ? "guarded" : "guarded on another's data";
        }
    }
    return "";
}
}  // namespace

// Whatever a piece writes, taking it away takes away: a key of its own whole (in each root
// older installations used, for the shell extensions), a value in a key others share by
// itself, and where the value may be another program's by now (the Run value, the user's
// MIME type, a mark) only while it still holds ours. The add-in's keys go one by one in its
// view, each after the keys below it. What removal keeps and the choice records, which are
// given back from their backups, are not taken.
TEST(Registration, RemovalTakesAwayEveryValueWritten) {
    TempArenaScope scope;
    RegWriteContext ctx;
    ctx.platformMajor = 10;
    for (bool allUsers : {false, true}) {
        Registration reg(GetTempArena()), taken(GetTempArena());
        BuildRegistration(AnyInstallationIn("D:\\vlpdf", allUsers), &reg);
        BuildTakenShellExtensions(reg.in, RegRoot::User, &taken);
        ASSERT_EQ(taken.items.len, 2);
        for (const Registration* table : {&reg, &taken}) {
            for (const RegItem& item : table->items) {
                std::string name = std::string(kPieceNames[(int)item.piece]) + (allUsers ? " all users" : " per user") +
                                   (item.present ? "" : " absent");
                // Per user, the backups go with the product key that holds them, with the entry.
                RegItem by = item;
                if (item.piece == Piece::DefaultBackups && !allUsers) {
                    by.piece = Piece::UninstallEntry;
                }
                Vec<RegDelete> steps(GetTempArena());
                PieceRemoval(*table, by, Removal::Uninstall, &steps);
                Vec<RegValue> values(GetTempArena());
                PieceValues(*table, item, ctx, &values);
                if (item.piece == Piece::DefaultReader) {
                    ASSERT_EQ(steps.len, 1) << name;
                    EXPECT_EQ(steps.els[0].op, RegDeleteOp::DefaultBackups) << name;
                    EXPECT_EQ(steps.els[0].reader, item.reader) << name;
                    continue;
                }
                bool kept = item.piece == Piece::PreviewPane || item.piece == Piece::StatsIdentity ||
                            (item.piece == Piece::MimeType && item.root == RegRoot::Machine);
                bool bothRoots = item.present && (item.piece == Piece::SearchFilter || item.piece == Piece::Previewer);
                bool mayBeAnothers = item.piece == Piece::Watcher || item.piece == Piece::MimeType || !item.present;
                for (const RegValue& v : values) {
                    if (v.type == RegType::DeleteValue && !item.present) continue;  // nothing there to take
                    for (RegRoot root : {RegRoot::Machine, RegRoot::User}) {
                        if (root != item.root && !bothRoots) continue;
                        std::string expected = kept ? "" : mayBeAnothers ? "guarded" : v.inSharedKey ? "value" : "key";
                        EXPECT_EQ(TakenAway(steps, root, item.view, v), expected)
                            << name << ": " << RegRootName(root) << "\\" << v.key.CStr() << " [" << v.name.CStr()
                            << "]";
                    }
                }
                for (int32_t i = 0; i < steps.len; i++) {
                    if (steps.els[i].op != RegDeleteOp::KeyInView) continue;
                    for (int32_t j = i + 1; j < steps.len; j++) {
                        EXPECT_FALSE(IsAtOrBelow(steps.els[j].key, steps.els[i].key) &&
                                     !str::EqI(steps.els[j].key, steps.els[i].key))
                            << name << ": " << steps.els[j].key.CStr() << " after its parent";
                    }
                }
            }
        }
    }
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
        PieceValues(reg, item, ctx, &values);
        if (item.piece == Piece::Associations) {
            RegItem mime = item;
            mime.piece = Piece::MimeType;
            PieceValues(reg, mime, ctx, &values);
        }
        // The MIME type is written with the associations; a choice record's step writes the
        // verification value it computes then, and the backup before it.
        if (item.piece != Piece::MimeType && item.piece != Piece::DefaultBackups) {
            for (const RegValue& v : values) {
                if (item.piece != Piece::DefaultReader || !str::Eq(v.name, "Hash")) traced += Describe(v) + "\n";
            }
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
    // The shell extensions of an earlier installation for all users whose entry is the user's,
    // taken away: each marked in that entry, as the log shows.
    Registration taken(GetTempArena());
    BuildTakenShellExtensions(every, RegRoot::User, &taken);
    std::string marks;
    for (const RegItem& item : taken.items) {
        steps.Reset();
        PieceWrites(taken, item, ctx, &steps);
        EXPECT_EQ(Ops(steps), "Value ");
        for (const RegWrite& w : steps) {
            marks += std::string(RegRootName(w.root)) + "\\" + Describe(w.value) + (w.quiet ? " quiet" : "") + "\n";
        }
    }
    const std::string entry = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vlpdf";
    EXPECT_EQ(marks, entry + "|PendingSearchFilter|1\n" + entry + "|PendingPreviewer|1\n");
}
