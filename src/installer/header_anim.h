#pragma once
// The header's entrance: for 800 ms after the first paint the product name and tagline
// fade in and the logo turns from -180 degrees to rest.
#include <stdint.h>

constexpr int64_t kHeaderAnimationMs = 800;

struct HeaderAnimation {
    int64_t startMs = 0;
    bool started = false;
    bool animating = false;
};

// At the window's first paint.
void StartHeaderAnimationOnce(HeaderAnimation* a, int64_t nowMs);
// The message loop's check: stops the animation once its time is over; true when stopped now.
bool StopHeaderAnimationIfDone(HeaderAnimation* a, int64_t nowMs);

// 1 when not animating; else 1 - (1 - t)^3 for t = elapsed / 800 ms clamped to 0..1.
float HeaderAnimationValue(const HeaderAnimation& a, int64_t nowMs);
// Alpha of the name and tagline: a * 255, truncated.
int HeaderTextAlpha(float a);
// The logo's turn in degrees: (1 - a) * -180.
float LogoSpinDegrees(float a);
