#include "archive/translations_source.h"

#include <stdlib.h>

#include "archive/archive.h"
#include "archive/extract_plan.h"

bool LoadTranslationsFromArchive(Str* out) {
    if (!EnsureEmbeddedArchiveLoaded()) {
        return false;
    }
    const InstallerArchive* archive = GetEmbeddedArchive();
    int32_t idx = FindArchiveEntry(archive, kTranslationsEntry);
    if (idx < 0) {
        return false;
    }
    char* data = GetFileDataByIdx(archive, idx);
    if (!data) {
        return false;
    }
    bool ok = out->Append(data, (int32_t)archive->entries[idx].uncompressedSize);
    free(data);
    return ok;
}
