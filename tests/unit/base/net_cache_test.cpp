#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/file.h"
#include "base/net_cache.h"

using namespace netcache;

namespace {
FileAttrData WithSize(uint64_t size) {
    FileAttrData d;
    d.attrs = 0x20;
    d.size = size;
    return d;
}
}  // namespace

TEST(AttrCache, AnswersForAnHourFailuresIncludedThenForgets) {
    AttrCache cache;
    cache.Store("\\\\srv\\share\\a.dll", true, WithSize(10), 1000);
    cache.Store("\\\\srv\\share\\gone.dll", false, FileAttrData(), 1000);
    bool ok = false;
    FileAttrData d;
    ASSERT_TRUE(cache.Lookup("\\\\SRV\\share\\A.DLL", 1000 + kAttrValidMs, &ok, &d));
    EXPECT_TRUE(ok);
    EXPECT_EQ(d.size, 10u);
    ASSERT_TRUE(cache.Lookup("\\\\srv\\share\\gone.dll", 5000, &ok, &d));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(cache.Lookup("\\\\srv\\share\\a.dll", 1001 + kAttrValidMs, &ok, &d));
    EXPECT_FALSE(cache.Lookup("\\\\srv\\share\\a.dll", 1000, &ok, &d)) << "an aged entry is cleared";
    EXPECT_FALSE(cache.Lookup("\\\\srv\\share\\other.dll", 1000, &ok, &d));
}

TEST(AttrCache, UpdatesInPlaceReusesFreedSlotsAndReplacesTheOldestWhenFull) {
    AttrCache cache;
    cache.Store("p", true, WithSize(1), 10);
    cache.Store("P", true, WithSize(2), 20);
    EXPECT_EQ(cache.Count(), 1);
    bool ok = false;
    FileAttrData d;
    ASSERT_TRUE(cache.Lookup("p", 20, &ok, &d));
    EXPECT_EQ(d.size, 2u);

    EXPECT_FALSE(cache.Lookup("p", 20 + kAttrValidMs + 1, &ok, &d));
    cache.Store("q", true, WithSize(3), 30);
    EXPECT_EQ(cache.Count(), 1) << "the freed slot is taken again";

    for (int i = 0; i < kAttrCacheMax - 1; i++) {
        cache.Store(("f" + std::to_string(i)).c_str(), true, WithSize(i), (uint64_t)(100 + i));
    }
    EXPECT_EQ(cache.Count(), kAttrCacheMax);
    cache.Store("newest", true, WithSize(99), 5000);
    EXPECT_EQ(cache.Count(), kAttrCacheMax);
    EXPECT_FALSE(cache.Lookup("q", 5000, &ok, &d)) << "q had the oldest time";
    EXPECT_TRUE(cache.Lookup("f0", 5000, &ok, &d));
    EXPECT_TRUE(cache.Lookup("newest", 5000, &ok, &d));
}

TEST(RootList, RemembersReachabilityForFourMinutesNewestFirst) {
    RootList roots;
    roots.Record("\\\\srv\\share", false, 1000);
    roots.Record("Z", true, 2000);
    bool reachable = true;
    ASSERT_TRUE(roots.Find("\\\\SRV\\SHARE", 1000 + kRootValidMs, &reachable));
    EXPECT_FALSE(reachable);
    ASSERT_TRUE(roots.Find("z", 2000, &reachable));
    EXPECT_TRUE(reachable);
    EXPECT_FALSE(roots.Find("\\\\srv\\share", 1001 + kRootValidMs, &reachable));
    EXPECT_EQ(roots.Count(), 1) << "the aged entry is dropped";
    roots.Record("Z", false, 3000);
    EXPECT_EQ(roots.Count(), 1);
    ASSERT_TRUE(roots.Find("Z", 3000, &reachable));
    EXPECT_FALSE(reachable);
    roots.Record(std::string(kMaxRootLen + 1, 'x').c_str(), false, 3000);
    EXPECT_EQ(roots.Count(), 1) << "a root longer than 127 characters is not kept";
}

TEST(DriveTypeCache, ReusesAnAnswerForAMinute) {
    constexpr uint32_t kRemote = 4;
    DriveTypeCache drives;
    uint32_t type = 0;
    EXPECT_FALSE(drives.Lookup('N', 0, &type));
    drives.Record('n', kRemote, 500);
    ASSERT_TRUE(drives.Lookup('N', 500 + kDriveTypeValidMs, &type));
    EXPECT_EQ(type, kRemote);
    EXPECT_FALSE(drives.Lookup('N', 501 + kDriveTypeValidMs, &type));
    drives.Record('1', kRemote, 0);
    EXPECT_FALSE(drives.Lookup('1', 0, &type));
}

TEST(PathLocation, NetworkRootsAndDriveLetters) {
    struct Case {
        const char* path;
        bool unc;
        char drive;
        const char* root;
    } cases[] = {
        {"\\\\srv\\share\\dir\\a.dll", true, 0, "\\\\srv\\share"},
        {"//srv/share", true, 0, "\\\\srv\\share"},
        {"\\\\srv\\", true, 0, ""},
        {"\\\\srv", true, 0, ""},
        {"\\\\?\\UNC\\srv\\share\\a", true, 0, "\\\\srv\\share"},
        {"\\\\?\\C:\\x", false, 'C', ""},
        {"\\\\.\\pipe\\x", false, 0, ""},
        {"c:\\Program Files", false, 'C', ""},
        {"relative\\a.dll", false, 0, ""},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        path::Location loc = path::GetLocationTemp(c.path);
        EXPECT_EQ(loc.unc, c.unc) << c.path;
        EXPECT_EQ(loc.drive, c.drive) << c.path;
        EXPECT_STREQ(loc.uncRoot.CStr(), c.root) << c.path;
    }
    TempArenaScope scope;
    std::string longRoot = "\\\\" + std::string(100, 's') + "\\" + std::string(30, 'h') + "\\f";
    EXPECT_STREQ(path::GetLocationTemp(longRoot.c_str()).uncRoot.CStr(), "") << "longer than 127 characters";
}

TEST(Normalize, ChoosesTheFormThatFitsTheLimit) {
    std::string longPath = "C:\\" + std::string(270, 'l');
    std::string shortPath = "C:\\LLLLLL~1";
    struct Case {
        std::string full, longForm, shortForm;
        bool network;
        std::string expected;
    } cases[] = {
        {"C:\\Progra~1\\a", "C:\\Program Files\\a", "C:\\PROGRA~1\\a", false, "C:\\Program Files\\a"},
        {longPath, longPath, shortPath, false, shortPath},
        // 259 characters and the terminator fit; 260 do not.
        {"C:\\" + std::string(256, 'l'), "C:\\" + std::string(256, 'l'), shortPath, false, "C:\\" + std::string(256, 'l')},
        {"C:\\" + std::string(257, 'l'), "C:\\" + std::string(257, 'l'), shortPath, false, shortPath},
        {longPath, longPath, "", false, "\\\\?\\" + longPath},
        {longPath, "", "", false, "\\\\?\\" + longPath},
        {"C:\\new\\file", "", "", false, "C:\\new\\file"},
        {"\\\\srv\\share\\a", "", "", true, "\\\\srv\\share\\a"},
        {"\\\\srv\\share\\" + std::string(260, 'n'), "", "", true, "\\\\?\\\\\\srv\\share\\" + std::string(260, 'n')},
        {"\\\\?\\" + longPath, "", "", false, "\\\\?\\" + longPath},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        EXPECT_STREQ(path::ChooseNormalizedTemp(c.full.c_str(), c.longForm.c_str(), c.shortForm.c_str(), c.network).CStr(),
                     c.expected.c_str())
            << c.full;
    }
}

TEST(SameFileByName, BaseNamesDecideBeforeTheFilesAreOpenedUnlessSpellingsMayDiffer) {
    struct Case {
        const char* a;
        const char* b;
        int baseNamesDecide;
        int spellingsMayDiffer;
    } cases[] = {
        {"", "", -1, -1},
        {"C:\\a\\x.dll", "", -1, -1},
        {"C:\\A\\X.DLL", "c:\\a\\x.dll", 1, 1},
        {"C:\\a\\x.dll", "D:\\b\\X.dll", 0, 0},
        {"C:\\a\\x.dll", "C:\\a\\y.dll", -1, 0},
        {"C:\\PROGRA~1", "C:\\Program Files", -1, 0},
        {"C:/a/x.dll", "C:\\a\\x.dll", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(path::CompareNamesForSameFile(c.a, c.b, path::SameFileNames::BaseNamesDecide), c.baseNamesDecide)
            << c.a << " " << c.b;
        EXPECT_EQ(path::CompareNamesForSameFile(c.a, c.b, path::SameFileNames::SpellingsMayDiffer), c.spellingsMayDiffer)
            << c.a << " " << c.b;
    }
}

TEST(WalkEntries, LinksAndSpecialEntriesAreNotFiles) {
    constexpr uint32_t kSymlinkTag = 0xA000000C, kJunctionTag = 0xA0000003, kDedupTag = 0x80000013;
    struct Case {
        uint32_t attrs, tag;
        bool file, surrogate;
    } cases[] = {
        {0x20, 0, true, false},
        {0x10, 0, false, false},
        {0x40, 0, false, false},
        {0x120, 0, false, false},
        {0x1020, 0, false, false},
        {0x420, kSymlinkTag, false, true},
        {0x410, kJunctionTag, false, true},
        {0x420, kDedupTag, true, false},
        {0x1420, kDedupTag, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dir::IsWalkFile(c.attrs, c.tag), c.file) << std::hex << c.attrs << " " << c.tag;
        EXPECT_EQ(dir::IsNameSurrogate(c.attrs, c.tag), c.surrogate) << std::hex << c.attrs << " " << c.tag;
    }
}
