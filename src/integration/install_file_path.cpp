#include "integration/install_file_path.h"

#include "base/file.h"
#include "base/log.h"

StrView GetInstallationFilePath(StrView installDir, StrView name) {
    StrView res = path::JoinTemp(installDir, name);
    Logf("GetInstallationFilePath(%s) = > %s\n", name.CStr(), res.CStr());
    return res;
}
