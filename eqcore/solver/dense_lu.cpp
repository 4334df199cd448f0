#include "solver/dense_lu.hpp"

#include <algorithm>
#include <cmath>

namespace eqcore::detail {

bool lu_factor(std::span<double> a, std::size_t n, std::span<std::size_t> piv, double rel_tol) {
    double* A = a.data();
    for (std::size_t k = 0; k < n; ++k) {
        // Largest entry of column k (for the singularity test) and the
        // largest at or below the diagonal (the pivot).
        double colmax = 0.0;
        for (std::size_t i = 0; i < k; ++i) colmax = std::max(colmax, std::abs(A[i * n + k]));
        std::size_t p = k;
        double best = std::abs(A[k * n + k]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const double v = std::abs(A[i * n + k]);
            if (v > best) {
                best = v;
                p = i;
            }
        }
        colmax = std::max(colmax, best);
        piv[k] = p;
        if (!(best > rel_tol * colmax) || best == 0.0) return false;
        double* rk = A + k * n;
        if (p != k) std::swap_ranges(rk, rk + n, A + p * n);
        const double inv = 1.0 / rk[k];
        rk[k] = inv;
        for (std::size_t i = k + 1; i < n; ++i) {
            double* ri = A + i * n;
            const double f = ri[k] * inv;
            ri[k] = f;
            if (f == 0.0) continue;
            for (std::size_t j = k + 1; j < n; ++j) ri[j] -= f * rk[j];
        }
    }
    return true;
}

void lu_solve(std::span<const double> lu, std::size_t n, std::span<const std::size_t> piv,
              std::span<double> rhs) {
    // The row interchanges were applied to whole rows (multipliers included),
    // so L is in the final row order: permute first, then substitute.
    const double* A = lu.data();
    double* x = rhs.data();
    for (std::size_t k = 0; k < n; ++k)
        if (piv[k] != k) std::swap(x[k], x[piv[k]]);
    for (std::size_t i = 1; i < n; ++i) {
        const double* ri = A + i * n;
        double s = x[i];
        for (std::size_t k = 0; k < i; ++k) s -= ri[k] * x[k];
        x[i] = s;
    }
    for (std::size_t k = n; k-- > 0;) {
        const double* rk = A + k * n;
        double s = x[k];
        for (std::size_t j = k + 1; j < n; ++j) s -= rk[j] * x[j];
        x[k] = s * rk[k];
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
