// A zero-initialised work array that lives on the stack for the usual
// small phases and on the heap only for large ones, so that evaluating a
// phase allocates nothing in the common case.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace eqcore {

class Scratch {
public:
    explicit Scratch(std::size_t n) {
        if (n <= small_.size()) {
            small_.fill(0.0);
            view_ = std::span<double>(small_.data(), n);
        } else {
            large_.assign(n, 0.0);
            view_ = std::span<double>(large_);
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::span<double> span() { return view_; }

private:
    std::array<double, 64> small_;
    std::vector<double> large_;
    std::span<double> view_;
};

}  // namespace eqcore
