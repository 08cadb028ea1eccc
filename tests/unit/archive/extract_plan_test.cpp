#include <gtest/gtest.h>

#include <string>

#include "base/arena.h"
#include "base/product.h"
#include "archive/extract_plan.h"

TEST(ShouldExtractEntry, ProgramsPluginsAndHostPagesOnly) {
    struct Case {
        const char* name;
        bool extract;
    } cases[] = {
        {"vlpdf.exe", true},
        {"libtovarinpdf.dll", true},
        {"HardwareId.DLL", true},
        {"VLPDF-QUICKSTART.PDF", true},
        {"translations.txt", false},                   // read from the archive, never installed
        {"readme.txt", false},
        {"plugins\\pdfwatch\\notes.txt", true},        // anything under plugins
        {"PLUGINS\\officeplugin\\vloffice64.dll", true},
        {"UserSDKHost\\img\\logo.png", true},
        {"other\\tool.dll", false},                    // other subdirectories are not installed
        {"other/tool.exe", false},
        {"pluginsX\\a.dll", false},
        {"quickstart.pdf", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShouldExtractEntry(c.name), c.extract) << c.name;
    }
}

TEST(DiskSpace, RequirementCountsFilesLargestAgainOwnSizeSpareAndKeptCopies) {
    EXPECT_EQ(DiskSpaceRequirement(0, 1000, 600), 1000 + 600 + 0x1000000);
    EXPECT_EQ(DiskSpaceRequirement(5000, 1000, 600), 5000 + 1000 + 5000 + 0x1000000);
    EXPECT_EQ(DiskSpaceRequirement(0, 1000, 600, 700), 1000 + 600 + 0x1000000 + 700);
}

TEST(DiskSpace, MessageRoundsRequiredUpAndAvailableDown) {
    struct Case {
        int64_t need;
        uint64_t free;
        const char* required;
        const char* available;
    } cases[] = {
        {378665178, 378665177, "Required: about 362 MB free", "Available: 361 MB"},
        {0x100000, 0x1FFFFF, "Required: about 1 MB free", "Available: 1 MB"},
        {0x100001, 0, "Required: about 2 MB free", "Available: 0 MB"},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        std::string msg = NotEnoughDiskSpaceMessageTemp(c.need, c.free).CStr();
        EXPECT_NE(msg.find(c.required), std::string::npos) << msg;
        EXPECT_NE(msg.find(c.available), std::string::npos) << msg;
        EXPECT_EQ(msg.rfind("Not enough free disk space to install VeloraPDF.\n\n", 0), 0u);
    }
}

TEST(ExtractMessages, DiskFullErrorsGetTheirOwnMessage) {
    struct Case {
        uint32_t err;
        const char* expected;
    } cases[] = {
        {112, "Not enough free disk space to write C:\\v\\a.dll.\n\nFree up space on this drive and try again."},
        {39, "Not enough free disk space to write C:\\v\\a.dll.\n\nFree up space on this drive and try again."},
        {5, "Couldn't write C:\\v\\a.dll to disk"},
        {0, "Couldn't write C:\\v\\a.dll to disk"},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        EXPECT_STREQ(WriteFailedMessageTemp(c.err, "C:\\v\\a.dll", 0, 0).CStr(), c.expected) << c.err;
    }
    // With the requirement known, a disk that filled up meanwhile is told how much is needed.
    TempArenaScope scope;
    EXPECT_STREQ(WriteFailedMessageTemp(112, "C:\\v\\a.dll", 0x300000, 0x80000).CStr(),
                 NotEnoughDiskSpaceMessageTemp(0x300000, 0x80000).CStr());
    EXPECT_STREQ(WriteFailedMessageTemp(5, "C:\\v\\a.dll", 0x300000, 0).CStr(), "Couldn't write C:\\v\\a.dll to disk");
}

TEST(ExtractMessages, CopySelfFailureByError) {
    struct Case {
        uint32_t err;
        const char* start;
        bool endsWithSupportPage;
    } cases[] = {
        {5, "Couldn't copy vlpdf.exe to the installation directory (access denied).", true},
        {32, "Couldn't copy vlpdf.exe to the installation directory (file in use).", true},
        {33, "Couldn't copy vlpdf.exe to the installation directory (file in use).", true},
        {112, "Not enough free disk space to copy vlpdf.exe", false},
        {39, "Not enough free disk space to copy vlpdf.exe", false},
        {2, "Couldn't copy vlpdf.exe to the installation directory", false},
    };
    for (const Case& c : cases) {
        TempArenaScope scope;
        std::string msg = CopySelfFailedMessageTemp(c.err).CStr();
        EXPECT_EQ(msg.rfind(c.start, 0), 0u) << msg;
        std::string page = std::string("See ") + kSupportUrl;
        bool ends = msg.size() > page.size() && msg.compare(msg.size() - page.size(), page.size(), page) == 0;
        EXPECT_EQ(ends, c.endsWithSupportPage) << msg;
    }
    EXPECT_STREQ(CopySelfFailedMessageTemp(2).CStr(), "Couldn't copy vlpdf.exe to the installation directory");
}
