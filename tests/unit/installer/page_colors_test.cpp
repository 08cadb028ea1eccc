#include <gtest/gtest.h>

#include "installer/page_colors.h"

// High contrast takes every colour from the system's pairs; otherwise the brand colours hold
// whatever the system's scheme is (only links follow the system in both).
TEST(PageColors, HighContrastPaintsWithTheSystemPairsAndDropsTheDecorations) {
    SystemColors black{0x000000, 0xFFFFFF, 0x00FFFF, 0xFF8000, 0x000000};  // white on black
    SystemColors white{0xFFFFFF, 0x000000, 0x9F0000, 0x000000, 0xFFFFFF};  // black on white
    struct Case {
        bool hc;
        SystemColors sys;
        uint32_t page, header, headerText, tagline, ellipse, error, message;
        Color text, link;
        bool decorations;
    } cases[] = {
        {false, black, 0xFFFFFFFF, 0xFF2563EB, 0xFFFFFFFF, 0xFFCFE0FF, 0xFF3B7BF2, 0xFFC44032, 0xFF1D4ED8, 0x000000,
         0x00FFFF, true},
        {true, black, 0xFF000000, 0xFF0080FF, 0xFF000000, 0xFF000000, 0xFF0080FF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFF,
         0x00FFFF, false},
        {true, white, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000, 0x000000,
         0x9F0000, false},
    };
    for (const Case& c : cases) {
        PageColors p = ChoosePageColors(c.hc, c.sys);
        SCOPED_TRACE(c.hc ? "high contrast" : "normal");
        EXPECT_EQ(p.pageArgb, c.page);
        EXPECT_EQ(p.headerArgb, c.header);
        EXPECT_EQ(p.headerTextArgb, c.headerText);
        EXPECT_EQ(p.taglineArgb, c.tagline);
        EXPECT_EQ(p.ellipseTopLeftArgb, c.ellipse);
        EXPECT_EQ(p.errorArgb, c.error);
        EXPECT_EQ(MessageArgb(p, 0xFF1D4ED8), c.message);
        EXPECT_EQ(p.text, c.text);
        EXPECT_EQ(p.link, c.link);
        EXPECT_EQ(p.decorations, c.decorations);
        // Text stays readable on its background: never the same colour.
        EXPECT_NE(p.headerTextArgb, p.headerArgb);
        EXPECT_NE(OpaqueArgb(p.text), p.pageArgb);
    }
}
