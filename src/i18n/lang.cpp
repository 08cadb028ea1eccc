#include "i18n/lang.h"

bool gForTesting = false;
