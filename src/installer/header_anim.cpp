#include "installer/header_anim.h"

void StartHeaderAnimationOnce(HeaderAnimation* a, int64_t nowMs) {
    if (a->started) {
        return;
    }
    a->started = true;
    a->animating = true;
    a->startMs = nowMs;
}

bool StopHeaderAnimationIfDone(HeaderAnimation* a, int64_t nowMs) {
    if (!a->animating || nowMs - a->startMs < kHeaderAnimationMs) {
        return false;
    }
    a->animating = false;
    return true;
}

float HeaderAnimationValue(const HeaderAnimation& a, int64_t nowMs) {
    if (!a.animating) {
        return 1.0f;
    }
    float t = (float)(nowMs - a.startMs) / (float)kHeaderAnimationMs;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    float u = 1.0f - t;
    return 1.0f - u * u * u;
}

int HeaderTextAlpha(float a) {
    return (int)(a * 255.0f);
}

float LogoSpinDegrees(float a) {
    return (1.0f - a) * -180.0f;
}
