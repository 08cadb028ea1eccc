// Feeds arbitrary bytes to the update feed's reader, as a server or anyone between it and us
// could: the parse must stay inside the input and bounded in memory, and what it accepts
// must hold together for the choice and the addresses made from it.
#include <stdint.h>
#include <stdlib.h>

#include <initializer_list>

#include "base/arena.h"
#include "base/dotted_version.h"
#include "update/feed.h"

namespace {
void Check(bool ok) {
    if (!ok) {
        abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) {
        return 0;
    }
    // An exact-size heap copy: AddressSanitizer reports any read past the end.
    char* copy = (char*)malloc(size ? size : 1);
    for (size_t i = 0; i < size; i++) {
        copy[i] = (char)data[i];
    }
    {
        TempArenaScope scope;
        UpdateFeed feed;
        StrView error;
        if (ParseUpdateFeed(StrView(copy, (int32_t)size), GetTempArena(), &feed, &error)) {
            for (int32_t i = 0; i < feed.count; i++) {
                Check(IsDottedVersion(feed.releases[i].version) && feed.releases[i].full.size > 0);
            }
            for (const char* installed : {"3.7", "3.7.1", "0"}) {
                UpdateChoice c = ChooseUpdate(feed, installed, "3.");
                Check((c.kind == UpdateChoice::Kind::None) == (c.package == nullptr));
                if (c.package) {
                    Check(CompareDottedVersions(c.release->version, installed) > 0);
                    PackageUrlTemp(feed, *c.package, true);
                }
            }
        } else {
            Check(!error.IsEmpty());
        }
    }
    free(copy);
    return 0;
}
