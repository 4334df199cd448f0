// The certified minimisation of a distance with one free direction
// (line_minimum.cpp), on its own so that it can be checked on functions
// built to be hard: D(t) = a (t ln t + (1 - t) ln(1 - t)) + q(t) + M(t) on
// [0, 1], q a polynomial, M a magnetic term.
#pragma once

#include "thermo/line_polynomial.hpp"

namespace eqcore::detail {

struct LineFunction {
    double a = 0.0;  // > 0
    // q's coefficients (q[k]: of t^k) and their magnitudes (each
    // coefficient's rounding error is within 1e-13 of its magnitude).
    LinePolynomial q;
    // A magnetic term, magnetic_scale ln(beta* + 1) f(T / T*) (none unless
    // magnetic.on; line_magnetic.hpp).
    LineMagnetic magnetic;
    double T = 0.0;
    double magnetic_scale = 0.0;
};

// Every local minimum of D in (0, 1) (where D' changes sign from - to +),
// as s = ln(t / (1 - t)) in increasing order, |s| <= 700 (a minimum nearer
// an end than that is reported at s = -700 or 700): at most `most`. False
// where that is not certain (the splits reached their cap, or more than
// `most` minima).
bool line_function_minima(const LineFunction& f, double* s, int most, int& count);

// D at s, t = 1 / (1 + e^-s) (1 - t formed from s, exact near t = 1).
double line_function_value(const LineFunction& f, double s);

}  // namespace eqcore::detail
