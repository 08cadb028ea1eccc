#include "base/durable.h"

namespace durable {
Observer gObserver = nullptr;

void Note(Step step, StrView path, StrView to) {
    if (gObserver) {
        gObserver(step, path, to);
    }
}
}  // namespace durable
