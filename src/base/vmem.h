#pragma once
// Reserve-then-commit virtual memory, the one platform service arenas need.
#include <stddef.h>

namespace vmem {
size_t PageSize();
// Reserves address space without backing it; null on failure.
void* Reserve(size_t size);
// Makes [p, p + size) readable and writable; p and size are page-aligned.
bool Commit(void* p, size_t size);
void Release(void* p, size_t size);
}  // namespace vmem
