#pragma once
// Callables for UI tasks and control events: a plain function pointer and one
// pointer-sized context. The marker kNoContext says that the function needs no context;
// it is still passed, and ignored.
#include <stdint.h>

inline void* const kNoContext = (void*)(intptr_t)-2;

struct TaskFunc {
    void (*fn)(void* arg) = nullptr;
    void* arg = nullptr;

    void Call() const {
        if (fn) fn(arg);
    }
};

inline TaskFunc MkTask(void (*fn)(void*), void* arg = kNoContext) {
    return TaskFunc{fn, arg};
}

// An event handler: with a context the function takes (context, event), without one
// (kNoContext) only the event.
template <typename Ev>
struct Handler {
    void* fn = nullptr;
    void* ctx = kNoContext;

    bool IsSet() const { return fn != nullptr; }
    void Call(Ev* ev) const {
        if (!fn) return;
        if (ctx == kNoContext) {
            ((void (*)(Ev*))fn)(ev);
        } else {
            ((void (*)(void*, Ev*))fn)(ctx, ev);
        }
    }
};

template <typename Ev>
Handler<Ev> MkHandler(void (*fn)(Ev*)) {
    return Handler<Ev>{(void*)fn, kNoContext};
}

template <typename Ev, typename Ctx>
Handler<Ev> MkHandler(void (*fn)(Ctx*, Ev*), Ctx* ctx) {
    return Handler<Ev>{(void*)fn, (void*)ctx};
}
