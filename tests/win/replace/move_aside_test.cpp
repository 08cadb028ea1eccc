#include <gtest/gtest.h>
#include <windows.h>

#include "base/file.h"
#include "replace/holders.h"
#include "base/process_win.h"
#include "replace/move_aside.h"
#include "replace/robust_write.h"
#include "replace_test_util.h"

namespace {
std::string DirOf(TestDir& dir) {
    std::string s = dir.Path("");
    s.pop_back();
    return s;
}

std::string PlaceLibrary(TestDir& dir, const std::string& name) {
    std::string path = dir.Path(name);
    CopyFileA(HelperPath("held_lib.dll").c_str(), path.c_str(), FALSE);
    return path;
}

std::vector<std::string> Matching(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

Holder* gTimedHolder = nullptr;
}  // namespace

TEST(MoveAside, MissingFileCountsAsMovedAside) {
    TestDir dir;
    LogCapture log;
    SleepRecorder sleeps;
    EXPECT_TRUE(MoveAsideInstallFile(DirOf(dir).c_str(), "PdfFilter.dll", true));
    EXPECT_EQ(log.Text(), "MoveAsideInstallFile: no existing '" + dir.Path("PdfFilter.dll") + "'\n");
    EXPECT_TRUE(sleeps.pauses.empty());
}

// The preview host has the library loaded: it is terminated, the library renamed aside
// and the new one written under the freed name.
TEST(MoveAside, LoadedLibraryIsRenamedAsideAndReplaced) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "PdfPreview.dll");
    std::string old = ReadWholeFile(path);
    Holder previewHost;
    ASSERT_TRUE(previewHost.Start("load", path));
    LogCapture log;
    SleepRecorder sleeps;

    ASSERT_TRUE(MoveAsideInstallFile(DirOf(dir).c_str(), "PdfPreview.dll", true)) << log.Text();
    ASSERT_TRUE(WriteInstallerFileRobust(path.c_str(), "new", 3).ok);

    EXPECT_FALSE(previewHost.Running());
    EXPECT_EQ(ReadWholeFile(path + ".copy"), old);
    EXPECT_EQ(ReadWholeFile(path), "new");
    EXPECT_TRUE(log.Has("TryRenameAsideOnce: ok '" + path + "' -> '" + path + ".copy'\n")) << log.Text();
    EXPECT_TRUE(sleeps.pauses.empty());
}

// This process stands for a holder that cannot be terminated: it keeps the old aside copy
// loaded, so the copy cannot be deleted; it gets a stale name and the new rename succeeds.
TEST(MoveAside, LoadedOldCopyGetsAStaleNameAndTheRenameSucceeds) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "PdfPreview.dll");
    std::string copy = PlaceLibrary(dir, "PdfPreview.dll.copy");
    WriteBytes(path, "installed");
    HMODULE lib = LoadLibraryA(copy.c_str());
    ASSERT_NE(lib, nullptr);
    LogCapture log;

    RenameResult renamed = TryRenameAsideOnce(path.c_str(), copy.c_str());
    EXPECT_TRUE(renamed.ok) << log.Text();

    EXPECT_EQ(ReadWholeFile(copy), "installed");
    EXPECT_FALSE(FileExists(path));
    std::vector<std::string> stale = Matching(copy + ".stale*");
    ASSERT_EQ(stale.size(), 1u) << log.Text();
    std::string digits = stale[0].substr(std::string("PdfPreview.dll.copy.stale").size());
    EXPECT_FALSE(digits.empty());
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << stale[0];
    EXPECT_TRUE(log.Has("ClearStaleCopy: can't delete '" + copy + "', lastError=")) << log.Text();
    EXPECT_TRUE(log.Has("ClearStaleCopy: moved to '" + dir.Path(stale[0]) + "'\n"));
    EXPECT_EQ(renamed.error, 0u);
    FreeLibrary(lib);
}

// Refused for good: three quick attempts (300, 600, 900 ms), then twenty silent retries three
// seconds apart, about 62 seconds, then the message for why the last attempt failed: another
// program has the file open, or access is denied (a folder has taken the aside name).
TEST(MoveAside, SilentRunGivesUpAfterTwentyRetries) {
    std::string denied = IsProcessElevated()
                             ? "Could not update PdfFilter.dll: access denied (antivirus, Controlled Folder Access, or "
                               "file ACL). Exclude the install folder, reboot and retry, or choose a different folder. "
                               "See https://"
                             : "Could not update PdfFilter.dll: access denied. Run the installer as administrator, or "
                               "choose a folder you can write to. See https://";
    struct Case {
        bool held;  // else the aside name is a folder
        std::string message;
    } cases[] = {
        {true, "Could not update PdfFilter.dll because it is in use by another program. Stop Windows Search / close "
               "Explorer previews and try again. See https://"},
        {false, denied},
    };
    for (const Case& c : cases) {
        TestDir dir;
        std::string path = dir.Path("PdfFilter.dll");
        WriteBytes(path, "locked");
        Holder indexer;
        if (c.held) {
            ASSERT_TRUE(indexer.Start("open", path));
        } else {
            ASSERT_TRUE(CreateDirectoryA((path + ".copy").c_str(), nullptr));
        }
        LogCapture log;
        SleepRecorder sleeps;
        DWORD started = GetTickCount();

        EXPECT_FALSE(MoveAsideInstallFile(DirOf(dir).c_str(), "PdfFilter.dll", true));

        std::vector<uint32_t> expected = {300, 600, 900};
        expected.insert(expected.end(), 20, 3000);
        EXPECT_EQ(sleeps.pauses, expected);
        EXPECT_EQ(sleeps.elapsedMs, 61800u);
        EXPECT_LT(GetTickCount() - started, 15000u);
        EXPECT_EQ(log.Count("  quick rename attempt "), 3);
        EXPECT_TRUE(log.Has("  silent rename retry 20/20 after 3s\n"));
        EXPECT_EQ(log.Count("StopServiceAndDependents('WSearch')"), 23) << "the search service is stopped before each try";
        EXPECT_TRUE(log.Has("MoveAsideInstallFile: silent FAILED for '" + path + "'\n"));
        indexer.Kill();
        EXPECT_TRUE(log.Has("NotifyFailed: " + c.message)) << log.Text();
        EXPECT_EQ(ReadWholeFile(path), "locked");
    }
}

// Locked for ten seconds: the silent retries get it once the holder lets go.
TEST(MoveAside, SilentRunSucceedsOnceTheHolderLetsGo) {
    TestDir dir;
    std::string path = dir.Path("PdfFilter.dll");
    WriteBytes(path, "locked");
    Holder indexer;
    ASSERT_TRUE(indexer.Start("open", path));
    gTimedHolder = &indexer;
    SleepRecorder sleeps;
    sleeps.onPause = [](uint64_t elapsedMs) {
        if (elapsedMs >= 10000) gTimedHolder->Release();
    };
    LogCapture log;

    EXPECT_TRUE(MoveAsideInstallFile(DirOf(dir).c_str(), "PdfFilter.dll", true)) << log.Text();

    EXPECT_EQ(sleeps.pauses, std::vector<uint32_t>({300, 600, 900, 3000, 3000, 3000}));
    EXPECT_EQ(ReadWholeFile(path + ".copy"), "locked");
    EXPECT_FALSE(log.Has("NotifyFailed"));
    gTimedHolder = nullptr;
}

TEST(Restore, AsideCopiesReplaceNewFilesAfterAFailedExtraction) {
    TestDir dir;
    WriteBytes(dir.Path("vlpdf.exe.copy"), "old reader");
    WriteBytes(dir.Path("vlpdf.exe"), "partial reader");
    WriteBytes(dir.Path("PdfFilter.dll.copy"), "old filter");
    WriteBytes(dir.Path("libvlrender.dll.copy"), "old legacy");
    WriteBytes(dir.Path("PdfPreview.dll"), "new preview, no copy");
    ASSERT_TRUE(SetFileAttributesA(dir.Path("vlpdf.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    LogCapture log;

    RestoreInstallCopyFiles(DirOf(dir).c_str());

    EXPECT_EQ(ReadWholeFile(dir.Path("vlpdf.exe")), "old reader");
    EXPECT_EQ(ReadWholeFile(dir.Path("PdfFilter.dll")), "old filter");
    EXPECT_EQ(ReadWholeFile(dir.Path("libvlrender.dll")), "old legacy");
    EXPECT_EQ(ReadWholeFile(dir.Path("PdfPreview.dll")), "new preview, no copy");
    EXPECT_TRUE(Matching(dir.Path("*.copy")).empty());
    std::string exe = dir.Path("vlpdf.exe");
    EXPECT_EQ(log.Text(), "RestoreInstallCopyFiles('" + DirOf(dir) + "')\n" + "  clearing READONLY on '" + exe +
                              "'\n  deleted partial '" + exe + "'\n  restored '" + exe + "' <- .copy\n" +
                              "  restored '" + dir.Path("PdfFilter.dll") + "' <- .copy\n" + "  restored '" +
                              dir.Path("libvlrender.dll") + "' <- .copy\n");
}

// A new library that is already loaded (here by this process) cannot be deleted: it is
// moved to ".failed" and the old one still comes back.
TEST(Restore, LoadedPartialIsMovedToFailed) {
    TestDir dir;
    std::string path = PlaceLibrary(dir, "libtovarinpdf.dll");
    WriteBytes(path + ".copy", "old library");
    HMODULE lib = LoadLibraryA(path.c_str());
    ASSERT_NE(lib, nullptr);
    LogCapture log;

    RestoreInstallCopyFiles(DirOf(dir).c_str());

    EXPECT_EQ(ReadWholeFile(path), "old library");
    EXPECT_TRUE(FileExists(path + ".failed"));
    EXPECT_TRUE(log.Has("  moved partial '" + path + "' -> '" + path + ".failed'\n")) << log.Text();
    EXPECT_TRUE(log.Has("  restored '" + path + "' <- .copy\n"));
    FreeLibrary(lib);
}

TEST(LegacyLibrary, RenamedAsideOrLeftInPlaceWithoutFailing) {
    TestDir dir;
    std::string path = dir.Path("libvlrender.dll");
    {
        LogCapture log;
        MoveAsideOrDeleteLegacyLibrary(DirOf(dir).c_str());
        EXPECT_EQ(log.Text(), "MoveAsideOrDeleteLegacyLibrary: no legacy '" + path + "'\n");
    }
    WriteBytes(path, "legacy");
    {
        LogCapture log;
        MoveAsideOrDeleteLegacyLibrary(DirOf(dir).c_str());
        EXPECT_TRUE(log.Has("MoveAsideOrDeleteLegacyLibrary: renamed to '" + path + ".copy'\n")) << log.Text();
        EXPECT_FALSE(FileExists(path));
    }
    WriteBytes(path, "legacy again");
    Holder holder;
    ASSERT_TRUE(holder.Start("open", path));
    {
        LogCapture log;
        MoveAsideOrDeleteLegacyLibrary(DirOf(dir).c_str());
        EXPECT_TRUE(log.Has("MoveAsideOrDeleteLegacyLibrary: could not rename/delete '" + path +
                            "' (ok; install continues)\n"))
            << log.Text();
        holder.Kill();
        EXPECT_EQ(ReadWholeFile(path), "legacy again");
    }
}

TEST(PrepareInstallDir, MovesTheHeldFilesAsideAndKeepsTheRunningExeWhenAsked) {
    TestDir dir;
    for (const char* name : {"PdfFilter.dll", "PdfPreview.dll", "libtovarinpdf.dll", "vlpdf.exe", "UserSDK.dll"}) {
        WriteBytes(dir.Path(name), name);
    }
    SleepRecorder sleeps;
    EXPECT_TRUE(PrepareInstallDirByRenaming(DirOf(dir).c_str(), true, true));
    // Each moved aside, with a copy left under its name until the new file is written over
    // it: the installation stays whole in between.
    for (const char* name : {"PdfFilter.dll", "PdfPreview.dll", "libtovarinpdf.dll"}) {
        EXPECT_EQ(ReadWholeFile(dir.Path(name)), name);
        EXPECT_EQ(ReadWholeFile(dir.Path(name) + ".copy"), name);
        EXPECT_FALSE(FileExists(dir.Path(name) + ".keep")) << name;
    }
    EXPECT_EQ(ReadWholeFile(dir.Path("vlpdf.exe")), "vlpdf.exe");
    EXPECT_EQ(ReadWholeFile(dir.Path("UserSDK.dll")), "UserSDK.dll");
    EXPECT_TRUE(PrepareInstallDirByRenaming(DirOf(dir).c_str(), true, false));
    EXPECT_EQ(ReadWholeFile(dir.Path("vlpdf.exe.copy")), "vlpdf.exe");
}

TEST(FileDiagnostics, AttributesAreSpelledOut) {
    TestDir dir;
    std::string path = dir.Path("PdfFilter.dll");
    WriteBytes(path, "x");
    DWORD attrs = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attrs));
    LogCapture log;
    LogFileDiagnostics(path.c_str());
    std::string first = "  file diagnostics for '" + path + "': elevated=" + std::to_string((int)IsProcessElevated()) +
                        " attrs=0x23 READONLY HIDDEN\n";
    EXPECT_EQ(log.Text().substr(0, first.size()), first) << log.Text();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    LogCapture missing;
    LogFileDiagnostics(dir.Path("none.dll").c_str());
    EXPECT_TRUE(missing.Has("attrs=0xffffffff (GetAttributes failed)\nLogLastError: 0x2 (2) ")) << missing.Text();
}
