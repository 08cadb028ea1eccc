#include <gtest/gtest.h>

#include "ui/dpi.h"

TEST(DpiOverride, AcceptsPercentagesFrom50To500WithOptionalLegacyPrefix) {
    struct Case {
        const char* value;
        int percent;
        bool legacy;
    } cases[] = {
        {"150", 150, false},      {"legacy:150", 150, true}, {"50", 50, false},
        {"500", 500, false},      {"49", 0, false},          {"501", 0, false},
        {"", 0, false},           {nullptr, 0, false},       {"legacy:", 0, false},
        {"Legacy:150", 0, false}, {"150%", 0, false},        {" 150", 0, false},
        {"legacy:00000150", 150, true},                      // 15 characters
        {"legacy:000000150", 0, false},                      // 16 characters
        {"99999999999999", 0, false},
    };
    for (const Case& c : cases) {
        DpiOverride o = ParseDpiOverride(c.value);
        EXPECT_EQ(o.percent, c.percent) << (c.value ? c.value : "(null)");
        if (o.percent) {
            EXPECT_EQ(o.legacy, c.legacy) << c.value;
        }
    }
}

TEST(Dpi, StoredValuesAreRoundedUpToMultiplesOfFour) {
    struct Case {
        int reported, stored;
    } cases[] = {{97, 100}, {0, 96}, {-5, 96}, {96, 96}, {144, 144}, {1, 4}, {121, 124}};
    for (const Case& c : cases) {
        EXPECT_EQ(RoundDpiForStore(c.reported), c.stored) << c.reported;
    }
    EXPECT_EQ(DpiForPercent(150), 144);
    EXPECT_EQ(DpiForPercent(125), 120);
}

TEST(Dpi, ScaleFollowsTheStoredHorizontalDpi) {
    int saved = gDpiX;
    gDpiX = 144;
    EXPECT_EQ(Scale(150), 225);
    EXPECT_EQ(Scale(-3), -5);  // rounds half away from zero, as MulDiv does
    gDpiX = 0;
    EXPECT_EQ(Scale(150), 150);
    gDpiX = saved;
}
