#include "i18n/lang.h"

// The host build has no user interface to localise; it reports English (United States).
uint16_t GetPlatformUserDefaultUiLanguage() {
    return 0x0409;
}
