#include "base/vmem.h"

#include <windows.h>

namespace vmem {
size_t PageSize() {
    static const size_t pageSize = [] {
        SYSTEM_INFO si{};
        GetSystemInfo(&si);
        return (size_t)si.dwPageSize;
    }();
    return pageSize;
}

void* Reserve(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
}

bool Commit(void* p, size_t size) {
    return VirtualAlloc(p, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void Release(void* p, size_t) {
    VirtualFree(p, 0, MEM_RELEASE);
}
}  // namespace vmem
