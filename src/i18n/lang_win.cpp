#include <windows.h>

#include "i18n/lang.h"

uint16_t GetPlatformUserDefaultUiLanguage() {
    return GetUserDefaultUILanguage();
}
