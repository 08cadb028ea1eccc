#include "base/vmem.h"

#include <sys/mman.h>
#include <unistd.h>

namespace vmem {
size_t PageSize() {
    static const size_t pageSize = (size_t)sysconf(_SC_PAGESIZE);
    return pageSize;
}

void* Reserve(size_t size) {
    void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

bool Commit(void* p, size_t size) {
    return mprotect(p, size, PROT_READ | PROT_WRITE) == 0;
}

void Release(void* p, size_t size) {
    munmap(p, size);
}
}  // namespace vmem
