#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/str.h"

TEST(StrParts, SplitsAtEverySeparatorKeepingEmptyParts) {
    struct Case {
        std::string text;
        char sep;
        std::vector<std::string> parts;
    } cases[] = {
        {"", ';', {""}},
        {"a", ';', {"a"}},
        {"a;b", ';', {"a", "b"}},
        {"a;;b", ';', {"a", "", "b"}},
        {";a;", ';', {"", "a", ""}},
        {";", ';', {"", ""}},
        {"C:\\Tools;C:\\Windows\\system32", ';', {"C:\\Tools", "C:\\Windows\\system32"}},
        {"first\n\n:second\n", '\n', {"first", "", ":second", ""}},
        {std::string("s\0-x\0\0", 6), '\0', {"s", "-x", "", ""}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        str::Parts parts(StrView(c.text.data(), (int32_t)c.text.size()), c.sep);
        for (StrView part; parts.Next(&part);) {
            ASSERT_GE(part.s, c.text.data()) << "a view into the text";
            ASSERT_LE(part.s + part.len, c.text.data() + c.text.size());
            got.emplace_back(part.s, (size_t)part.len);
        }
        EXPECT_EQ(got, c.parts) << c.text;
        StrView after;
        EXPECT_FALSE(parts.Next(&after)) << "stays at its end";
    }
}
