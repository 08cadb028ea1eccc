#include "payload/extract.h"

#include "base/install_failure.h"
#include "base/log.h"

// Extraction is not part of this build yet: fail with a plain reason instead of pretending.
bool ExtractInstallerFiles(StrView installDir) {
    Logf("ExtractInstallerFiles: '%s'\n", installDir.CStr());
    NotifyFailed("extracting files is not available in this build of the installer");
    return false;
}
