#include "solver/dense_lu.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace eqcore::detail {

namespace {

// The factorisation and the substitutions below are written once over the
// matrix order `N`: a std::size_t given at run time, or a compile-time
// constant for the solver's usual small systems (a few elements and
// phases), where the loops unroll completely and the index arithmetic
// folds away. Either way each entry is computed by the same operations in
// the same order, so the results are the same bits.
template <std::size_t N>
using Order = std::integral_constant<std::size_t, N>;

// Unrolls a loop completely where its trip count is known at compile time.
#if defined(__GNUC__) && !defined(__clang__)
#define EQCORE_UNROLL _Pragma("GCC unroll 8")
#else
#define EQCORE_UNROLL
#endif

template <class Size>
bool factor(double* A, Size size, std::size_t* piv, double rel_tol) {
    const std::size_t n = size;
    EQCORE_UNROLL
    for (std::size_t k = 0; k < n; ++k) {
        // Largest entry of column k (for the singularity test) and the
        // largest at or below the diagonal (the pivot).
        double colmax = 0.0;
        EQCORE_UNROLL
        for (std::size_t i = 0; i < k; ++i) colmax = std::max(colmax, std::abs(A[i * n + k]));
        std::size_t p = k;
        double best = std::abs(A[k * n + k]);
        EQCORE_UNROLL
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
        EQCORE_UNROLL
        for (std::size_t i = k + 1; i < n; ++i) {
            double* ri = A + i * n;
            const double f = ri[k] * inv;
            ri[k] = f;
            if (f == 0.0) continue;
            EQCORE_UNROLL
            for (std::size_t j = k + 1; j < n; ++j) ri[j] -= f * rk[j];
        }
    }
    return true;
}

template <class Size>
void substitute(const double* A, Size size, const std::size_t* piv, double* x) {
    const std::size_t n = size;
    // The row interchanges were applied to whole rows (multipliers included),
    // so L is in the final row order: permute first, then substitute.
    EQCORE_UNROLL
    for (std::size_t k = 0; k < n; ++k)
        if (piv[k] != k) std::swap(x[k], x[piv[k]]);
    EQCORE_UNROLL
    for (std::size_t i = 1; i < n; ++i) {
        const double* ri = A + i * n;
        double s = x[i];
        EQCORE_UNROLL
        for (std::size_t k = 0; k < i; ++k) s -= ri[k] * x[k];
        x[i] = s;
    }
    EQCORE_UNROLL
    for (std::size_t up = 0; up < n; ++up) {
        const std::size_t k = n - 1 - up;
        const double* rk = A + k * n;
        double s = x[k];
        EQCORE_UNROLL
        for (std::size_t j = k + 1; j < n; ++j) s -= rk[j] * x[j];
        x[k] = s * rk[k];
    }
}

// Calls f with the order n as a compile-time constant from 1 to 8, as the
// run-time value above.
template <class F>
auto with_order(std::size_t n, F&& f) {
    switch (n) {
        case 1: return f(Order<1>{});
        case 2: return f(Order<2>{});
        case 3: return f(Order<3>{});
        case 4: return f(Order<4>{});
        case 5: return f(Order<5>{});
        case 6: return f(Order<6>{});
        case 7: return f(Order<7>{});
        case 8: return f(Order<8>{});
        default: return f(n);
    }
}

}  // namespace

bool lu_factor(std::span<double> a, std::size_t n, std::span<std::size_t> piv, double rel_tol) {
    return with_order(n, [&](auto size) { return factor(a.data(), size, piv.data(), rel_tol); });
}

void lu_solve(std::span<const double> lu, std::size_t n, std::span<const std::size_t> piv,
              std::span<double> rhs) {
    with_order(n, [&](auto size) { substitute(lu.data(), size, piv.data(), rhs.data()); });
}

void equilibrate(std::span<double> a, std::size_t n, std::span<double> s) {
    double* A = a.data();
    // A row with a positive diagonal (the element block) by its diagonal:
    // its diagonal becomes 1, and in a positive definite block no entry
    // exceeds it. A row without one (a phase's border row) then by its
    // largest entry against the rows scaled so far, so that it becomes 1.
    // (Alternate scaling by row maxima alone may settle with a border of
    // unit entries beside a block still at 1e-14.)
    for (std::size_t i = 0; i < n; ++i) s[i] = A[i * n + i] > 0.0 ? 1.0 / std::sqrt(A[i * n + i]) : 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] > 0.0) continue;
        double m = 0.0;
        for (std::size_t j = 0; j < n; ++j) m = std::max(m, std::abs(A[i * n + j]) * s[j]);
        s[i] = m > 0.0 ? 1.0 / m : -1.0;  // -1: none scaled yet
    }
    // Rows whose entries all lie in unscaled rows: by their largest entry.
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] > 0.0) continue;
        double m = 0.0;
        for (std::size_t j = 0; j < n; ++j) m = std::max(m, std::abs(A[i * n + j]));
        s[i] = m > 0.0 ? 1.0 / std::sqrt(m) : 1.0;
    }
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) A[i * n + j] *= s[i] * s[j];
}

std::size_t cholesky_failed_row(std::span<double> a, std::size_t n, double min_pivot) {
    for (std::size_t j = 0; j < n; ++j) {
        double d = a[j * n + j];
        for (std::size_t k = 0; k < j; ++k) d -= a[j * n + k] * a[j * n + k];
        if (!(d > min_pivot)) return j;
        d = std::sqrt(d);
        a[j * n + j] = d;
        for (std::size_t i = j + 1; i < n; ++i) {
            double v = a[i * n + j];
            for (std::size_t k = 0; k < j; ++k) v -= a[i * n + k] * a[j * n + k];
            a[i * n + j] = v / d;
        }
    }
    return n;
}

void cholesky_solve(std::span<const double> l, std::size_t n, std::span<double> rhs) {
    // Leading zeros of rhs stay zero in the forward substitution: it starts
    // at the first nonzero (often late: a sparse column).
    std::size_t f = 0;
    while (f < n && rhs[f] == 0.0) ++f;
    for (std::size_t i = f; i < n; ++i) {
        double v = rhs[i];
        for (std::size_t k = f; k < i; ++k) v -= l[i * n + k] * rhs[k];
        rhs[i] = v / l[i * n + i];
    }
    for (std::size_t i = n; i-- > 0;) {
        double v = rhs[i];
        for (std::size_t k = i + 1; k < n; ++k) v -= l[k * n + i] * rhs[k];
        rhs[i] = v / l[i * n + i];
    }
}

namespace {

// cholesky_solve on B columns one after another in x (column j at x + j n)
// together: each entry of l is read once for all of them, the partial sums
// stay in registers, and every column takes cholesky_solve's operations in
// its order (the terms of a column's leading zeros subtract zeros).
template <std::size_t B>
void cholesky_solve_block(std::span<const double> l, std::size_t n, double* x) {
    std::size_t first[B];
    std::size_t f = n;
    for (std::size_t j = 0; j < B; ++j) {
        first[j] = 0;
        while (first[j] < n && x[j * n + first[j]] == 0.0) ++first[j];
        f = std::min(f, first[j]);
    }
    double acc[B];
    for (std::size_t i = f; i < n; ++i) {
        const double* li = l.data() + i * n;
        for (std::size_t j = 0; j < B; ++j) acc[j] = x[j * n + i];
        for (std::size_t k = f; k < i; ++k) {
            const double lik = li[k];
            for (std::size_t j = 0; j < B; ++j) acc[j] -= lik * x[j * n + k];
        }
        for (std::size_t j = 0; j < B; ++j)
            if (i >= first[j]) x[j * n + i] = acc[j] / li[i];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = 0; j < B; ++j) acc[j] = x[j * n + i];
        for (std::size_t k = i + 1; k < n; ++k) {
            const double lki = l[k * n + i];
            for (std::size_t j = 0; j < B; ++j) acc[j] -= lki * x[j * n + k];
        }
        const double lii = l[i * n + i];
        for (std::size_t j = 0; j < B; ++j) x[j * n + i] = acc[j] / lii;
    }
}

}  // namespace

void cholesky_solve_columns(std::span<const double> l, std::size_t n, std::span<double> b, std::size_t cols) {
    std::size_t j = 0;
    for (; j + 4 <= cols; j += 4) cholesky_solve_block<4>(l, n, b.data() + j * n);
    if (j + 2 <= cols) {
        cholesky_solve_block<2>(l, n, b.data() + j * n);
        j += 2;
    }
    if (j < cols) cholesky_solve(l, n, b.subspan(j * n, n));
}

namespace {

// x <- (I - tau v v') x with v column j of g from row j down.
void reflect(std::span<const double> g, std::size_t m, std::size_t k, std::size_t j, double tau, double* x,
             std::size_t stride) {
    double s = 0.0;
    for (std::size_t i = j; i < m; ++i) s += g[i * k + j] * x[i * stride];
    s *= tau;
    for (std::size_t i = j; i < m; ++i) x[i * stride] -= s * g[i * k + j];
}

}  // namespace

void householder_qr(std::span<double> g, std::size_t m, std::size_t k, std::span<double> tau) {
    for (std::size_t j = 0; j < k; ++j) {
        double norm2 = 0.0;
        for (std::size_t i = j; i < m; ++i) norm2 += g[i * k + j] * g[i * k + j];
        const double x0 = g[j * k + j];
        const double norm = std::sqrt(norm2);
        if (norm == 0.0) {
            tau[j] = 0.0;
            continue;
        }
        // v = x - alpha e_1 with alpha = -sign(x0) |x| (no cancellation).
        const double alpha = x0 >= 0.0 ? -norm : norm;
        g[j * k + j] = x0 - alpha;
        const double vv = norm2 - x0 * x0 + g[j * k + j] * g[j * k + j];
        tau[j] = 2.0 / vv;
        for (std::size_t c = j + 1; c < k; ++c) reflect(g, m, k, j, tau[j], g.data() + c, k);
    }
}

void apply_qt(std::span<const double> g, std::size_t m, std::size_t k, std::span<const double> tau, double* x,
              std::size_t stride) {
    for (std::size_t j = 0; j < k; ++j) reflect(g, m, k, j, tau[j], x, stride);
}

void apply_q(std::span<const double> g, std::size_t m, std::size_t k, std::span<const double> tau, double* x,
             std::size_t stride) {
    for (std::size_t j = k; j-- > 0;) reflect(g, m, k, j, tau[j], x, stride);
}

}  // namespace eqcore::detail
