#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "installer/previous_install.h"

namespace {
bool gUnderPF, gWritable;
int gWriteTests;
bool UnderPF(StrView) {
    return gUnderPF;
}
bool Writable(StrView) {
    gWriteTests++;
    return gWritable;
}
}  // namespace

TEST(NeedsElevation, EveryCombination) {
    // allUsers, under Program Files, elevated, writable -> needs elevation, write test made
    struct {
        bool allUsers, underPF, elevated, writable, needs, tested;
    } cases[] = {
        {1, 0, 0, 1, 1, 0}, {1, 1, 1, 1, 1, 0}, {1, 0, 1, 0, 1, 0},  // all users always
        {0, 1, 0, 1, 1, 0}, {0, 1, 1, 1, 1, 0},                      // Program Files always, even elevated
        {0, 0, 1, 0, 0, 0}, {0, 0, 1, 1, 0, 0},                      // elevated: no write test
        {0, 0, 0, 1, 0, 1}, {0, 0, 0, 0, 1, 1},                      // otherwise: the write test decides
    };
    DirProbe probe{UnderPF, Writable};
    for (auto& c : cases) {
        gUnderPF = c.underPF;
        gWritable = c.writable;
        gWriteTests = 0;
        EXPECT_EQ(NeedsElevation("C:\\Users\\u\\AppData\\Local\\vlpdf", c.allUsers, c.elevated, probe), c.needs)
            << c.allUsers << c.underPF << c.elevated << c.writable;
        EXPECT_EQ(gWriteTests, c.tested ? 1 : 0) << c.allUsers << c.underPF << c.elevated << c.writable;
    }
}

TEST(InstallDirFromLocation, AnExecutableNamesItsDirectory) {
    struct {
        const char* location;
        const char* dir;
    } cases[] = {
        {"C:\\Program Files\\vlpdf\\vlpdf.exe", "C:\\Program Files\\vlpdf"},
        {"C:\\Program Files\\vlpdf\\VLPDF.EXE", "C:\\Program Files\\vlpdf"},
        {"C:\\Tools\\vlpdf\\vlpdf.Exe", "C:\\Tools\\vlpdf"},
        {"C:\\Program Files\\vlpdf", "C:\\Program Files\\vlpdf"},
        {"C:\\odd.exe.d", "C:\\odd.exe.d"},
        {"", ""},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        EXPECT_STREQ(InstallDirFromLocationTemp(c.location).CStr(), c.dir) << c.location;
    }
}

TEST(FindSelfOrAncestor, WalksUpUntilAcceptedOrOutOfParents) {
    TempArenaScope scope;
    static std::string seen;
    seen.clear();
    auto record = [](StrView dir, void*) {
        seen += std::string(dir.CStr()) + "|";
        return false;
    };
    EXPECT_STREQ(FindSelfOrAncestorTemp("C:\\a\\b\\c", record, nullptr).CStr(), "");
    EXPECT_EQ(seen, "C:\\a\\b\\c|C:\\a\\b|C:\\a|C:\\|");
    seen.clear();
    EXPECT_STREQ(FindSelfOrAncestorTemp("rel\\x", record, nullptr).CStr(), "");
    EXPECT_EQ(seen, "rel\\x|rel|");
    auto atA = [](StrView dir, void*) { return std::string(dir.CStr()) == "C:\\a"; };
    EXPECT_STREQ(FindSelfOrAncestorTemp("C:\\a\\b\\c", atA, nullptr).CStr(), "C:\\a");
    EXPECT_STREQ(FindSelfOrAncestorTemp("", atA, nullptr).CStr(), "");
}
