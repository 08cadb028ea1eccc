#pragma once
// What the window's page shows besides its controls: the welcome text, the status message
// with its colour, and the error text. Written and read on the UI thread.
#include <stdint.h>

#include "base/str.h"

constexpr uint32_t kErrorTextArgb = 0xFFC44032;
// The welcome, progress and finish messages.
constexpr uint32_t kMessageTextArgb = 0xFF1D4ED8;

void SetInstallerMessage(StrView text, uint32_t argb);
StrView GetInstallerMessage();
uint32_t GetInstallerMessageColor();  // 0xFF000000 until a message is set

void SetWelcomeText(StrView text);
StrView GetWelcomeText();

void SetInstallerErrorText(StrView text);
StrView GetInstallerErrorText();

// The header's subtitle: the status message while the installation has not started,
// unless it is empty or the welcome text (the tagline shows then); else nothing.
StrView HeaderSubtitle(bool notStarted);
