#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/arena.h"
#include "integration/associations.h"

TEST(Associations, IconsByGroupIgnoringCase) {
    std::map<std::string, std::string> groups = {
        {".epub", ",-3"}, {".cbr", ",-4"}, {".CBZ", ",-4"}, {".cbt", ",-4"}, {".cb7", ",-4"},
        {".chm", ",-5"},  {".djvu", ",-6"}, {".png", ",-7"}, {".JPEG", ",-7"}, {".wdp", ",-7"},
        {".tif", ",-7"},  {".pdf", ",-8"}, {".OFD", ",-8"}, {".p7m", ",-8"},  {".mobi", ",-9"},
        {".azw3", ",-9"}, {".prc", ",-9"}, {".xps", ",-10"}, {".md", ",-10"}, {".svg", ",-10"},
        {".fb2", ",-10"}, {".txt", ",-10"}, {".unknown", ",-10"}, {"", ",-10"},
    };
    for (auto& [ext, suffix] : groups) {
        EXPECT_STREQ(IconSuffix(ext.c_str()), suffix.c_str()) << ext;
    }
}
