#include <gtest/gtest.h>

#include "base/arena.h"
#include "ui/mnemonic.h"

TEST(Mnemonic, AmpersandsMarkOneCharacterAndDoubledOnesShow) {
    struct Case {
        const char* text;
        const char* display;
        int start, len;
        uint32_t key;
    } cases[] = {
        {"Install in &folder:", "Install in folder:", 11, 1, 'f'},
        {"&&Save &Quit", "&Save Quit", 6, 1, 'Q'},
        {"Fish && Chips", "Fish & Chips", -1, 0, 0},
        {"&Ärger", "Ärger", 0, 2, 0xC4},                 // the whole UTF-8 sequence
        {"安装 (&I)", "安装 (I)", 8, 1, 'I'},
        {"&A&B", "A&B", 0, 1, 'A'},                       // only the first marks
        {"trailing&", "trailing", -1, 0, 0},
        {"", "", -1, 0, 0},
    };
    TempArenaScope scope;
    for (const Case& c : cases) {
        MnemonicText m = ParseMnemonicTemp(c.text);
        EXPECT_STREQ(m.display.CStr(), c.display) << c.text;
        EXPECT_EQ(m.underlineStart, c.start) << c.text;
        EXPECT_EQ(m.underlineLen, c.len) << c.text;
        EXPECT_EQ(m.key, c.key) << c.text;
    }
}
