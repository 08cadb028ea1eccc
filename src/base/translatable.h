#pragma once
// Marks an English text that sits in a table and is translated later (i18n/translations.h
// translates it); returns it unchanged. Here, below every library, so that a table of any
// library can hold the texts the window shows.

constexpr const char* TranslatableText(const char* english) {
    return english;
}
