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

// A magnetic term along the same line: G_mag = R T ln(beta* + 1) f(T / T*)
// per formula unit (thermo/magnetic.hpp), with T* and beta* from their
// polynomial values along the line (`tc`, `beta`), a negative value
// multiplied by `negative` (-m, the antiferromagnetic multiplier); the
// term is 0 where T* <= 0 or beta* <= 0. `on`: the term contributes.
struct LineMagnetic {
    bool on = false;
    LinePolynomial tc, beta;
    double negative = 0.0;   // -m
    double structure = 0.0;  // p
};

}  // namespace eqcore
