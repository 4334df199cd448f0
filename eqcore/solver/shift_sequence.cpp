// Passing over shifts that a failed Cholesky factorisation proves too small.
#include "solver/shift_sequence.hpp"

#include <algorithm>
#include <cmath>

#include "thermo/scratch.hpp"

namespace eqcore::detail {

double least_eigenvalue_bound(std::span<const double> factor, std::size_t n, std::size_t k, const double* a,
                              std::size_t stride, double diag, double shift) {
    // The quotient is the failed pivot d over |v|^2 >= 1, less the shift:
    // where d less the shift would not pass over the next two shifts, it is
    // not formed (passing over one saves about what forming it costs).
    double d = factor[k * n + k];
    for (std::size_t j = 0; j < k; ++j) d -= factor[k * n + j] * factor[k * n + j];
    if (d - shift + 4.0 * next_shift(shift, kNoBound) >= 0.0) return kNoBound;
    // Row k of the factor holds l = L11^-1 a_k (L11 the factor of the
    // leading k x k block), so v = (-L11^-T l, 1, 0, ...) gives
    // v' (A0 + shift I) v = the failed pivot. The quotient is taken on A0
    // itself, not on the factor, so that it is a Rayleigh quotient whatever
    // rounding the factorisation made.
    ScratchArray<double> v_(k + 1);
    const std::span<double> v = v_.span();
    for (std::size_t i = k; i-- > 0;) {
        double s = factor[k * n + i];
        for (std::size_t j = i + 1; j < k; ++j) s -= factor[j * n + i] * v[j];
        v[i] = s / factor[i * n + i];
    }
    for (std::size_t i = 0; i < k; ++i) v[i] = -v[i];
    v[k] = 1.0;
    double q = 0.0, size = 0.0, largest = 0.0;  // v' A0 v, v' v and the sum of |terms|
    double top = 0.0;                             // largest |A0_ii|
    for (std::size_t i = 0; i < n; ++i) top = std::max(top, std::abs(a[i * stride + i] + diag));
    for (std::size_t i = 0; i <= k; ++i) {
        const double* ai = a + i * stride;
        const double dii = ai[i] + diag;
        double off = 0.0, off_abs = 0.0;
        for (std::size_t j = 0; j < i; ++j) {
            off += ai[j] * v[j];
            off_abs += std::abs(ai[j] * v[j]);
        }
        q += v[i] * (dii * v[i] + 2.0 * off);
        largest += std::abs(v[i]) * (std::abs(dii * v[i]) + 2.0 * off_abs);
        size += v[i] * v[i];
    }
    if (!std::isfinite(q) || !std::isfinite(largest) || !(size > 0.0)) return kNoBound;
    // Rounding in q is below n eps times the sum of its terms' sizes; a
    // Cholesky factorisation succeeds on a matrix no more than about
    // n^2 eps times its largest diagonal entry below positive definite.
    // 1e-8 of each covers both for any block this solver forms.
    return q / size + 1e-8 * (largest / size + top + 1.0);
}

double next_shift(double shift, double least) {
    double s = shift == 0.0 ? 0.1 : 4.0 * shift;
    while (s <= 1e8 && s + least < -1e-8 * s) s *= 4.0;
    return s;
}

}  // namespace eqcore::detail
