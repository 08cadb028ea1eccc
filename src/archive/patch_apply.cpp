#include "archive/patch_apply.h"

#include "base/arena.h"
#include "base/file.h"
#include "i18n/translations.h"
#include "replace/replace_rules.h"

bool PatchFitsVersion(StrView installed, StrView base, StrView own) {
    return str::Eq(installed, base) || str::Eq(installed, own);
}

StrView InstalledPathTemp(StrView installDir, StrView name, int32_t candidate) {
    StrView path = path::JoinTemp(installDir, name);
    return candidate == 0 ? path : aside::CopyPathTemp(path);
}

StrView PatchRefusedMessageTemp(StrView baseVersion) {
    return str::FormatTemp(GetTranslation("This update applies only to an unchanged installation of VeloraPDF %s. "
                                          "Please download the full installer."),
                           str::DupTemp(baseVersion).CStr());
}
