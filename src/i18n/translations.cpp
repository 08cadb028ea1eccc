#include "i18n/translations.h"

// No language has been loaded in this build: every text is shown in English.
const char* GetTranslation(const char* english) {
    return english;
}
