#include <gtest/gtest.h>

#include "base/arena.h"
#include "integration/registry.h"

TEST(ParentRegPath, IsEverythingBeforeTheLastBackslash) {
    struct {
        const char* path;
        const char* parent;
    } cases[] = {
        {"Software\\Classes\\.png\\OpenWithList\\vlpdf.exe", "Software\\Classes\\.png\\OpenWithList"},
        {"Software\\Classes", "Software"},
        {"Software", ""},
        {"", ""},
        {"\\x", ""},
        {"a\\", "a"},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        EXPECT_STREQ(ParentRegPath(c.path).CStr(), c.parent) << c.path;
    }
}
