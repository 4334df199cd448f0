// A value-initialised work array that lives on the stack for the usual
// small phases and on the heap only for large ones, so that evaluating a
// phase allocates nothing in the common case. Only the entries asked for
// are initialised.
#pragma once

#include <cstddef>
#include <new>
#include <span>
#include <type_traits>
#include <vector>

namespace eqcore {

template <class T, std::size_t kSmall = 64>
class ScratchArray {
    static_assert(std::is_trivially_destructible_v<T>, "scratch entries are never destroyed");

public:
    explicit ScratchArray(std::size_t n) {
        if (n <= kSmall) {
            T* p = reinterpret_cast<T*>(small_);
            for (std::size_t i = 0; i < n; ++i) new (p + i) T{};
            view_ = std::span<T>(std::launder(p), n);
        } else {
            large_.assign(n, T{});
            view_ = std::span<T>(large_);
        }
    }
    ScratchArray(const ScratchArray&) = delete;
    ScratchArray& operator=(const ScratchArray&) = delete;
    std::span<T> span() { return view_; }

private:
    alignas(T) std::byte small_[kSmall * sizeof(T)];
    std::vector<T> large_;
    std::span<T> view_;
};

using Scratch = ScratchArray<double>;

}  // namespace eqcore
