// What the installer's power-cut safety costs: every file of a folder written into another
// one the way the robust writer replaces an installed file (a temporary file renamed over
// the name), once plainly and once as the installer does it (each file flushed to the disk,
// the rename written through), rounds alternating so that both see the same disk.
//   bench_durable_write <source dir> <destination dir> <rounds>
// Prints the seconds of each way (best round) and their ratio.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "base/arena.h"
#include "base/durable.h"
#include "base/file.h"

namespace {
double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

// Seconds to write every file of src into dst through "<name>.tmp".
double WriteAll(StrView src, StrView dst, bool durably, int* files, int64_t* bytes) {
    *files = 0;
    *bytes = 0;
    double t0 = Now();
    dir::WalkEntry e;
    for (dir::Walk walk(src, true, false, false); walk.Next(&e);) {
        TempArenaScope scope;
        bool ok = false;
        StrView data = file::ReadFile(e.path, GetTempArena(), &ok);
        if (!ok) {
            continue;
        }
        StrView target = path::JoinTemp(dst, e.name);
        StrView tmp = str::FormatTemp("%s.tmp", target.CStr());
        if (!file::WriteFile(tmp, data, durably)) {
            fprintf(stderr, "cannot write %s\n", tmp.CStr());
            exit(1);
        }
        bool renamed = durably ? durable::Replace(tmp, target)
                               : MoveFileExW((const WCHAR*)ToWStrTemp(tmp).s, (const WCHAR*)ToWStrTemp(target).s,
                                             MOVEFILE_REPLACE_EXISTING);
        if (!renamed) {
            fprintf(stderr, "cannot rename %s\n", tmp.CStr());
            exit(1);
        }
        *files += 1;
        *bytes += data.len;
    }
    return Now() - t0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: bench_durable_write <source dir> <destination dir> <rounds>\n");
        return 2;
    }
    StrView src = argv[1], dst = argv[2];
    int rounds = atoi(argv[3]);
    dir::CreateAll(dst);
    double best[2] = {1e9, 1e9};
    int files = 0;
    int64_t bytes = 0;
    for (int r = 0; r < rounds; r++) {
        for (int durably = 0; durably < 2; durably++) {
            double t = WriteAll(src, dst, durably != 0, &files, &bytes);
            best[durably] = t < best[durably] ? t : best[durably];
        }
    }
    printf("durable writes: %d files, %lld bytes: plain %.2f s, flushed and written through %.2f s: ratio %.2fx\n",
           files, (long long)bytes, best[0], best[1], best[1] / best[0]);
    return 0;
}
