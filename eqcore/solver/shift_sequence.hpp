// The shifts a block that is not positive definite (a phase inside its
// spinodal) is given in turn until its Cholesky factorisation succeeds:
// 0, 0.1, 0.4, 1.6, ... (each four times the last), the last one tried the
// first above 1e8. A failed attempt yields a Rayleigh quotient of the
// unshifted block, an upper bound on its least eigenvalue; every shift of
// the sequence below minus that bound (with a margin for rounding) would
// fail as well and is passed over. The shift taken, and so the factor, is
// the one the plain sequence takes: only attempts that cannot succeed are
// left out.
#pragma once

#include <cstddef>
#include <limits>
#include <span>

namespace eqcore::detail {

// No bound on the least eigenvalue (none proven).
inline constexpr double kNoBound = std::numeric_limits<double>::infinity();

// Upper bound on the least eigenvalue of A0 = A + diag I (A symmetric, its
// lower triangle at a, row i at a + i stride), from a factorisation of
// A0 + shift I that cholesky_failed_row stopped at row k of `factor` (n x n,
// row-major; row k's diagonal still holds A0_kk + shift): the Rayleigh
// quotient of A0 along the vector whose image in that factorisation is the
// failed pivot, plus a margin for rounding in the quotient and in any later
// factorisation. kNoBound where the failed pivot shows at once that the
// bound could not pass over the next two shifts (the quotient is then not
// formed).
double least_eigenvalue_bound(std::span<const double> factor, std::size_t n, std::size_t k, const double* a,
                              std::size_t stride, double diag, double shift);

// The shift after `shift` in the sequence, passing over those that an
// upper bound `least` on the unshifted block's least eigenvalue proves too
// small (least = kNoBound: none).
double next_shift(double shift, double least);

}  // namespace eqcore::detail
