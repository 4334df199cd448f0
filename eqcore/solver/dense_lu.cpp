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

bool cholesky_factor(std::span<double> a, std::size_t n, double min_pivot) {
    for (std::size_t j = 0; j < n; ++j) {
        double d = a[j * n + j];
        for (std::size_t k = 0; k < j; ++k) d -= a[j * n + k] * a[j * n + k];
        if (!(d > min_pivot)) return false;
        d = std::sqrt(d);
        a[j * n + j] = d;
        for (std::size_t i = j + 1; i < n; ++i) {
            double v = a[i * n + j];
            for (std::size_t k = 0; k < j; ++k) v -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = v / d;
        }
    }
    return true;
}

void cholesky_solve(std::span<const double> l, std::size_t n, std::span<double> rhs) {
    for (std::size_t i = 0; i < n; ++i) {
        double v = rhs[i];
        for (std::size_t k = 0; k < i; ++k) v -= l[i * n + k] * rhs[k];
        rhs[i] = v / l[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        double v = rhs[i];
        for (std::size_t k = i + 1; k < n; ++k) v -= l[k * n + i] * rhs[k];
        rhs[i] = v / l[i * n + i];
    }
}

}  // namespace eqcore::detail
