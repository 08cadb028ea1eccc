// What must be on the disk before what, for a power cut at any moment of an upgrade: the
// steps are recorded through the durability observer while an upgrade's file work runs for
// real (move aside, files written over the earlier ones and beside them, the uninstall entry)
// and then a failed one (the earlier files put back), and checked against the table below.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/durable.h"
#include "integration/uninstall.h"
#include "replace/move_aside.h"
#include "replace/robust_write.h"
#include "replace_test_util.h"
#include "../integration/reg_test.h"

namespace {
struct Event {
    durable::Step step;
    std::string path, to;
};
std::vector<Event>* gEvents = nullptr;

class StepRecorder {
  public:
    StepRecorder() {
        gEvents = &events;
        durable::gObserver = [](durable::Step step, StrView path, StrView to) {
            gEvents->push_back({step, std::string(path.s, (size_t)path.len), std::string(to.s, (size_t)to.len)});
        };
    }
    ~StepRecorder() {
        durable::gObserver = nullptr;
        gEvents = nullptr;
    }
    std::vector<Event> events;
};

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Before a rename puts a file under an installed name, the file's bytes are on the disk.
struct RenameRule {
    const char* what;
    const char* fromSuffix;  // the renames the rule is about: their source must be flushed first
};
// (An aside copy put back, ".copy", is the earlier installation's own file, on the disk since.)
const RenameRule kRenameRules[] = {
    {"the temporary file is on the disk before it replaces the installed one", ".tmp"},
    {"the copy kept in place is on the disk before it takes the installed name", ".keep"},
};

std::string Describe(const Event& e) {
    static const char* names[] = {"write", "flush", "rename", "reg write", "reg flush"};
    return std::string(names[(int)e.step]) + " " + e.path + (e.to.empty() ? "" : " -> " + e.to);
}

// Every failure of the table, as text: empty when the order is sound. Without an entry key,
// only the files are checked.
std::string OrderFaults(const std::vector<Event>& ev, const std::vector<std::string>& keyFiles,
                        const std::string& entryKey) {
    std::string faults;
    auto flushedBefore = [&](size_t at, const std::string& path) {
        for (size_t i = 0; i < at; i++) {
            if (ev[i].path == path && ev[i].step == durable::Step::Flush) return true;
        }
        return false;
    };
    for (size_t i = 0; i < ev.size(); i++) {
        const Event& e = ev[i];
        // A write is flushed before anything else is renamed or registered.
        if (e.step == durable::Step::Write) {
            size_t j = i + 1;
            while (j < ev.size() && !(ev[j].step == durable::Step::Flush && ev[j].path == e.path) &&
                   ev[j].step == durable::Step::Write) {
                j++;
            }
            if (j == ev.size() || ev[j].step != durable::Step::Flush || ev[j].path != e.path) {
                faults += "not flushed before the next step: " + Describe(e) + "\n";
            }
        }
        if (e.step == durable::Step::Rename) {
            for (const RenameRule& r : kRenameRules) {
                if (EndsWith(e.path, r.fromSuffix) && !flushedBefore(i, e.path)) {
                    faults += std::string(r.what) + ": " + Describe(e) + "\n";
                }
            }
        }
        // The uninstall entry names the reader and its folder: every key file is whole on
        // the disk before the entry's first value.
        if (e.step == durable::Step::RegWrite && e.path == entryKey) {
            for (const std::string& key : keyFiles) {
                bool onDisk = flushedBefore(i, key);
                for (size_t k = 0; k < i && !onDisk; k++) {
                    onDisk = ev[k].step == durable::Step::Rename && ev[k].to == key && flushedBefore(k, ev[k].path);
                }
                if (!onDisk) faults += "the uninstall entry is written before this file is on the disk: " + key + "\n";
            }
        }
    }
    if (entryKey.empty()) return faults;
    // The entry itself is flushed after its last value.
    size_t lastValue = 0, flush = 0;
    for (size_t i = 0; i < ev.size(); i++) {
        if (ev[i].path != entryKey) continue;
        if (ev[i].step == durable::Step::RegWrite) lastValue = i + 1;
        if (ev[i].step == durable::Step::RegFlush) flush = i + 1;
    }
    if (lastValue == 0 || flush < lastValue) faults += "the uninstall entry is not flushed after its values\n";
    return faults;
}

bool HasRename(const std::vector<Event>& ev, const std::string& from, const std::string& to) {
    for (const Event& e : ev) {
        if (e.step == durable::Step::Rename && e.path == from && e.to == to) return true;
    }
    return false;
}
}  // namespace

TEST(DurableOrder, UpgradeAndFailedUpgradeKeepWhatAPowerCutNeeds) {
    TestDir dir;
    std::string installDir = dir.Path("vlpdf");
    CreateDirectoryA(installDir.c_str(), nullptr);
    const std::vector<std::string> earlier = {"vlpdf.exe", "libtovarinpdf.dll", "PdfFilter.dll", "PdfPreview.dll",
                                              "UserSDK.dll"};
    for (const std::string& name : earlier) WriteBytes(installDir + "\\" + name, "earlier " + name);
    std::vector<std::string> keyFiles;
    for (const std::string& name : earlier) keyFiles.push_back(installDir + "\\" + name);
    std::string added = installDir + "\\vlpdf-cli.exe";
    keyFiles.push_back(added);
    const std::string entryKey = std::string("HKEY_CURRENT_USER\\") + kUninstallRegKey;

    {
        SCOPED_TRACE("an upgrade");
        StepRecorder rec;
        LogCapture log;
        ASSERT_TRUE(PrepareInstallDirByRenaming(installDir.c_str(), true, false)) << log.Text();
        for (const std::string& path : keyFiles) {
            std::string data = "new " + path;
            ASSERT_TRUE(WriteInstallerFileRobust(path.c_str(), data.data(), (int32_t)data.size()).ok) << log.Text();
        }
        ASSERT_TRUE(regtest::OnePiece(Piece::UninstallEntry, false, installDir).Write()) << log.Text();

        EXPECT_EQ(OrderFaults(rec.events, keyFiles, entryKey), "");
        // A file that was there is never written in place: the name holds the earlier bytes
        // or the new ones, whole, whenever the program or the machine stops.
        for (const Event& e : rec.events) {
            for (size_t i = 0; i < earlier.size(); i++) {
                EXPECT_FALSE(e.step == durable::Step::Write && e.path == keyFiles[i]) << Describe(e);
            }
        }
        // The added file had no earlier one: it is written straight into its name.
        EXPECT_TRUE(log.Has("WriteInstallerFileRobust: ok (direct) '" + added + "'\n")) << log.Text();
        EXPECT_EQ(ReadWholeFile(keyFiles[0]), "new " + keyFiles[0]);
    }
    {
        SCOPED_TRACE("a failed upgrade puts the files back");
        StepRecorder rec;
        LogCapture log;
        ASSERT_TRUE(PrepareInstallDirByRenaming(installDir.c_str(), true, false)) << log.Text();
        std::string exe = keyFiles[0];
        ASSERT_TRUE(WriteInstallerFileRobust(exe.c_str(), "partial", 7).ok);
        RestoreInstallCopyFiles(installDir.c_str());

        EXPECT_EQ(OrderFaults(rec.events, {}, ""), "");
        for (size_t i = 0; i < 4; i++) {
            EXPECT_TRUE(HasRename(rec.events, keyFiles[i] + ".copy", keyFiles[i])) << keyFiles[i] << "\n" << log.Text();
            EXPECT_EQ(ReadWholeFile(keyFiles[i]), "new " + keyFiles[i]);
        }
    }
    regtest::OnePiece(Piece::UninstallEntry, false, installDir).Remove(Removal::UninstallAfterFiles);
}

// The files of an installation into an empty folder are written into free names and flushed
// by the queue's threads: each is on the disk, closed, when Finish returns, and says in the
// log what the robust writer says of a free name. A name that is taken or a folder that is
// missing is left to the robust writer, untouched and unlogged; a failed flush is told.
TEST(DurableOrder, FilesWrittenIntoFreeNamesAreOnTheDiskWhenTheQueueFinishes) {
    TestDir dir;
    std::string folder = dir.Path("plugins");
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string taken = folder + "\\taken.dll";
    WriteBytes(taken, "earlier");
    // What the robust writer logs for a free name, this test's name standing for the path.
    std::string robustLines;
    {
        LogCapture log;
        std::string probe = folder + "\\probe.dll";
        ASSERT_TRUE(WriteInstallerFileRobust(probe.c_str(), "12345", 5).ok);
        robustLines = log.Text();
        for (size_t at; (at = robustLines.find(probe)) != std::string::npos;) robustLines.replace(at, probe.size(), "@");
        DeleteFileA(probe.c_str());
    }
    for (int threads : {0, 2}) {
        SCOPED_TRACE("flushing threads: " + std::to_string(threads));
        StepRecorder rec;
        durable::FlushQueue queue;
        queue.Start(threads);
        // More files than may wait at once, so that adding them waits for the threads.
        std::vector<std::string> written;
        for (int i = 0; i < durable::FlushQueue::kMaxPending * 2 + 3; i++) {
            std::string path = folder + "\\f" + std::to_string(threads) + "-" + std::to_string(i) + ".dll";
            LogCapture log;
            ASSERT_TRUE(WriteNewInstallerFile(path.c_str(), "12345", 5, &queue)) << path;
            std::string lines = log.Text();
            for (size_t at; (at = lines.find(path)) != std::string::npos;) lines.replace(at, path.size(), "@");
            ASSERT_EQ(lines, robustLines);
            written.push_back(path);
        }
        struct Refused {
            std::string path;
            const char* what;
        } refused[] = {{taken, "a taken name"}, {folder + "\\missing\\x.dll", "a missing folder"}};
        for (const Refused& r : refused) {
            LogCapture log;
            EXPECT_FALSE(WriteNewInstallerFile(r.path.c_str(), "new", 3, &queue)) << r.what;
            EXPECT_EQ(log.Text(), "") << r.what;
        }
        EXPECT_EQ(ReadWholeFile(taken), "earlier");
        EXPECT_FALSE(FileExists(folder + "\\missing\\x.dll"));

        StrView failed;
        uint32_t error = 0;
        ASSERT_TRUE(queue.Finish(&failed, &error));
        for (const std::string& path : written) {
            int writes = 0, flushesAfter = 0;
            for (const Event& e : rec.events) {
                if (e.path != path) continue;
                writes += e.step == durable::Step::Write;
                flushesAfter += e.step == durable::Step::Flush && writes == 1;
            }
            EXPECT_EQ(writes, 1) << path;
            EXPECT_EQ(flushesAfter, 1) << path;
            // Closed: nobody holds it any more.
            HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
            CloseHandle(h);
            EXPECT_EQ(ReadWholeFile(path), "12345");
        }
    }
    {
        SCOPED_TRACE("a flush that fails");
        durable::FlushQueue queue;
        queue.Start(1);
        std::string path = folder + "\\readonly-handle.dll";
        WriteBytes(path, "x");
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        queue.Add(h, path.c_str());
        StrView failed;
        uint32_t error = 0;
        EXPECT_FALSE(queue.Finish(&failed, &error));
        EXPECT_EQ(std::string(failed.s, (size_t)failed.len), path);
        EXPECT_EQ(error, (uint32_t)ERROR_ACCESS_DENIED);
    }
}
