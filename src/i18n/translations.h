#pragma once
// Every user-visible text is written in English in the program and passed through
// GetTranslation before it is shown; log texts are never translated.

// The translation of the English text in the current language, or the text itself when
// there is none. Translate before filling placeholders.
const char* GetTranslation(const char* english);
