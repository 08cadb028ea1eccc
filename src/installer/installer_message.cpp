#include "installer/installer_message.h"

#include <stdlib.h>

namespace {
Str gMessage;
uint32_t gMessageColor = 0xFF000000;
Str gWelcome;
Str gError;

void Replace(Str& dst, StrView text) {
    dst.Reset();
    str::Append(dst, text);
}
}  // namespace

void SetInstallerMessage(StrView text, uint32_t argb) {
    Replace(gMessage, text);
    gMessageColor = argb;
}

StrView GetInstallerMessage() {
    return str::View(gMessage);
}

uint32_t GetInstallerMessageColor() {
    return gMessageColor;
}

void SetWelcomeText(StrView text) {
    Replace(gWelcome, text);
}

StrView GetWelcomeText() {
    return str::View(gWelcome);
}

void SetInstallerErrorText(StrView text) {
    Replace(gError, text);
}

StrView GetInstallerErrorText() {
    return str::View(gError);
}

StrView HeaderSubtitle(bool notStarted) {
    StrView msg = GetInstallerMessage();
    if (notStarted && !msg.IsEmpty() && !str::Eq(msg, GetWelcomeText())) {
        return msg;
    }
    return StrView();
}
