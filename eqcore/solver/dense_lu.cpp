#include "solver/dense_lu.hpp"

#include <cmath>
#include <utility>

namespace eqcore::detail {

bool lu_factor(std::span<double> a, std::size_t n, std::span<std::size_t> piv, double rel_tol) {
    // Column scale of the original matrix, for the singularity test.
    for (std::size_t k = 0; k < n; ++k) {
        double colmax = 0.0;
        for (std::size_t i = 0; i < n; ++i) colmax = std::max(colmax, std::abs(a[i * n + k]));
        std::size_t p = k;
        double best = std::abs(a[k * n + k]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const double v = std::abs(a[i * n + k]);
            if (v > best) {
                best = v;
                p = i;
            }
        }
        piv[k] = p;
        if (!(best > rel_tol * colmax) || best == 0.0) return false;
        if (p != k)
            for (std::size_t j = 0; j < n; ++j) std::swap(a[k * n + j], a[p * n + j]);
        const double inv = 1.0 / a[k * n + k];
        for (std::size_t i = k + 1; i < n; ++i) {
            const double f = a[i * n + k] * inv;
            a[i * n + k] = f;
            if (f == 0.0) continue;
            for (std::size_t j = k + 1; j < n; ++j) a[i * n + j] -= f * a[k * n + j];
        }
    }
    return true;
}

void lu_solve(std::span<const double> lu, std::size_t n, std::span<const std::size_t> piv,
              std::span<double> rhs) {
    // The row interchanges were applied to whole rows (multipliers included),
    // so L is in the final row order: permute first, then substitute.
    for (std::size_t k = 0; k < n; ++k)
        if (piv[k] != k) std::swap(rhs[k], rhs[piv[k]]);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t i = k + 1; i < n; ++i) rhs[i] -= lu[i * n + k] * rhs[k];
    for (std::size_t k = n; k-- > 0;) {
        double s = rhs[k];
        for (std::size_t j = k + 1; j < n; ++j) s -= lu[k * n + j] * rhs[j];
        rhs[k] = s / lu[k * n + k];
    }
}

}  // namespace eqcore::detail
