#include <gtest/gtest.h>

#include "installer/header_anim.h"
#include "installer/installer_message.h"

TEST(HeaderAnimation, FadesAndTurnsForEightHundredMillisecondsAfterTheFirstPaint) {
    HeaderAnimation a;
    a.started = a.animating = true;
    a.startMs = 1000;
    struct Case {
        int64_t now;
        int alpha;
        float degrees;
    } cases[] = {
        {1000, 0, -180.0f}, {1400, 223, -22.5f}, {1800, 255, 0.0f}, {2500, 255, 0.0f}, {900, 0, -180.0f},
    };
    for (const Case& c : cases) {
        float v = HeaderAnimationValue(a, c.now);
        EXPECT_EQ(HeaderTextAlpha(v), c.alpha) << c.now;
        EXPECT_FLOAT_EQ(LogoSpinDegrees(v), c.degrees) << c.now;
    }
    a.animating = false;
    EXPECT_EQ(HeaderTextAlpha(HeaderAnimationValue(a, 1000)), 255);

    // The first paint starts it once; the loop stops it only after 800 ms.
    HeaderAnimation h;
    StartHeaderAnimationOnce(&h, 50);
    StartHeaderAnimationOnce(&h, 70);
    EXPECT_EQ(h.startMs, 50);
    EXPECT_FALSE(StopHeaderAnimationIfDone(&h, 849));
    EXPECT_TRUE(h.animating);
    EXPECT_TRUE(StopHeaderAnimationIfDone(&h, 850));
    EXPECT_FALSE(h.animating);
}

TEST(HeaderAnimation, SubtitleIsTheStatusMessageOnlyBeforeInstallingAndUnlessItIsTheWelcome) {
    PageMessage page;
    page.SetWelcome("Welcome");
    struct Case {
        const char* message;
        bool notStarted;
        const char* subtitle;
    } cases[] = {
        {"Welcome", true, ""},
        {"", true, ""},
        {"Close the reader first", true, "Close the reader first"},
        {"Installation in progress...", false, ""},
    };
    for (const Case& c : cases) {
        page.Set(c.message, 0xFF1D4ED8);
        EXPECT_STREQ(page.HeaderSubtitle(c.notStarted).CStr(), c.subtitle) << c.message;
    }
}
