// Loads the program's payload archive the way the installer does and prints what it found,
// every entry's decode result and the log, for tests that arrange resources and files
// around copies of this program.
#include <stdio.h>
#include <stdlib.h>

#include "base/log.h"
#include "archive/archive.h"

int main() {
    bool first = EnsureEmbeddedArchiveLoaded();
    bool again = EnsureEmbeddedArchiveLoaded();
    const InstallerArchive* a = GetEmbeddedArchive();
    printf("loaded=%d again=%d count=%d size=%d\n", first, again, a->count, GetEmbeddedArchiveSize());
    for (int32_t i = 0; i < a->count; i++) {
        const ArchiveEntry& e = a->entries[i];
        char* data = GetFileDataByIdx(a, i);
        printf("entry %.*s %u %s\n", (int)e.name.len, e.name.s, e.uncompressedSize, data ? "ok" : "bad");
        free(data);
    }
    printf("log:\n%s", GetInstallLog().ContentsTemp().CStr());
    return 0;
}
