// Keeps C++ exceptions (in practice only a failed allocation) from leaving a
// service through the extern "C" boundary.
#pragma once

#include <utility>

namespace elvar {

template <class R, class F>
R guarded(R fallback, F&& body) noexcept {
    try {
        return std::forward<F>(body)();
    } catch (...) {
        return fallback;
    }
}

template <class F>
void guarded(F&& body) noexcept {
    try {
        std::forward<F>(body)();
    } catch (...) {
    }
}

}  // namespace elvar
