#pragma once
// Mnemonics in control texts: "&&" shows one ampersand; the first single ampersand is
// removed and marks the next character, which is underlined and is the control's key.
#include "base/str.h"

struct MnemonicText {
    StrView display;        // the text as shown, in the temporary arena
    int32_t underlineStart = -1;  // byte offset in display, -1 without a mnemonic
    int32_t underlineLen = 0;     // bytes of the marked character
    uint32_t key = 0;             // the marked character's code point, 0 without one
};

MnemonicText ParseMnemonicTemp(StrView text);
