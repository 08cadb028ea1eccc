#pragma once
// Vec: the growable array that every list and owned string of the program is built on.
// Storage always holds one zeroed element past the capacity, so a Vec<char> is always
// NUL-terminated. A negative capacity means the storage is the caller's (that many
// elements) and is never freed by the array; the first growth copies it into owned
// storage. Storage comes from `arena` when one is set, else from the heap.
// Elements are moved with memcpy: only trivially copyable types belong here.
#include <stdint.h>
#include <string.h>

#include <type_traits>

struct Arena;

// Grows the storage described by the pointers to hold at least `needed` elements.
// Leaves everything unchanged and returns false on failure.
bool VecGrow(void** els, int32_t len, int32_t* cap, int elSize, Arena* arena, int64_t needed);
void VecFreeStorage(void* els, int32_t cap, Arena* arena);

constexpr int32_t kVecMaxCap = 0x7FFFFFFE;

template <typename T>
struct Vec {
    static_assert(std::is_trivially_copyable_v<T>, "Vec moves elements with memcpy");

    int32_t len = 0;
    int32_t cap = 0;
    T* els = nullptr;
    Arena* arena = nullptr;

    Vec() = default;
    explicit Vec(Arena* a) : arena(a) {}
    // Uses caller storage of n elements (zeroed by the caller) until the first growth.
    Vec(T* storage, int32_t n) : cap(-n), els(storage) {}
    Vec(const Vec&) = delete;
    Vec& operator=(const Vec&) = delete;
    Vec(Vec&& o) noexcept : len(o.len), cap(o.cap), els(o.els), arena(o.arena) {
        o.len = 0;
        o.cap = 0;
        o.els = nullptr;
    }
    ~Vec() { VecFreeStorage(els, cap, arena); }

    bool Grow(int64_t needed) { return VecGrow((void**)&els, len, &cap, (int)sizeof(T), arena, needed); }

    bool Append(const T& el) {
        if (!Grow((int64_t)len + 1)) {
            return false;
        }
        els[len++] = el;
        return true;
    }

    bool Append(const T* src, int32_t n) {
        if (n <= 0) {
            return n == 0;
        }
        if (!Grow((int64_t)len + n)) {
            return false;
        }
        memcpy(els + len, src, sizeof(T) * (size_t)n);
        len += n;
        return true;
    }

    // Keeps the order of the rest; the freed last slot is zeroed.
    void RemoveAt(int32_t i) {
        memmove(els + i, els + i + 1, sizeof(T) * (size_t)(len - i - 1));
        len--;
        memset((void*)(els + len), 0, sizeof(T));
    }

    // Moves the last element into the slot; the freed last slot is zeroed.
    void RemoveAtFast(int32_t i) {
        len--;
        if (i != len) {
            els[i] = els[len];
        }
        memset((void*)(els + len), 0, sizeof(T));
    }

    // Keeps the storage; the emptied elements are zeroed so NUL-termination holds.
    void Reset() {
        if (els && len > 0) {
            memset((void*)els, 0, sizeof(T) * (size_t)len);
        }
        len = 0;
    }

    T& operator[](int32_t i) { return els[i]; }
    const T& operator[](int32_t i) const { return els[i]; }
    T* begin() { return els; }
    T* end() { return els + len; }
    const T* begin() const { return els; }
    const T* end() const { return els + len; }
    int32_t Capacity() const { return cap < 0 ? -cap : cap; }
    bool OwnsStorage() const { return cap > 0; }
};
