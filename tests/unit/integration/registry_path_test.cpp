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

// The presence checks read through HKEY_CLASSES_ROOT what the registration wrote under
// either root's "Software\Classes".
TEST(ClassesRootPath, DropsTheClassesPrefixInAnyCase) {
    struct {
        const char* key;
        const char* path;
    } cases[] = {
        {"Software\\Classes\\.pdf\\PersistentHandler", ".pdf\\PersistentHandler"},
        {"SOFTWARE\\CLASSES\\.pdf\\shellex\\{x}", ".pdf\\shellex\\{x}"},
        {"Software\\Classesx\\.pdf", "Software\\Classesx\\.pdf"},
        {"Software\\vlpdf", "Software\\vlpdf"},
    };
    for (auto& c : cases) {
        TempArenaScope scope;
        EXPECT_STREQ(ClassesRootPathTemp(c.key).CStr(), c.path) << c.key;
    }
}
