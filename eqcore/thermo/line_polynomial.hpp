// A polynomial in one variable t, as a model's remainder is along a line
// of site fractions y = y0 + t dy: its coefficients, and per coefficient
// the sum of the magnitudes of everything added into it, which bounds the
// rounding error the coefficient carries (a few hundred ulps of that sum
// at most: each contribution is a product of at most a few dozen factors).
#pragma once

namespace eqcore {

struct LinePolynomial {
    static constexpr int kMaxDegree = 24;
    int degree = 0;
    double c[kMaxDegree + 1] = {};    // c[k]: coefficient of t^k
    double mag[kMaxDegree + 1] = {};  // c[k]'s sum of magnitudes
};

}  // namespace eqcore
