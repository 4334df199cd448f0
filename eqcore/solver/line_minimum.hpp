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

// Where D'' = a / (t (1 - t)) + q''(t) of a function without a magnetic
// term is proven positive or negative over [0, 1], as runs of pieces in
// increasing t. It depends on a and on q's coefficients of degree 2 and
// more alone, not on the potentials' linear part, so one map serves every
// search of a candidate at one temperature.
struct CurvatureMap {
    static constexpr int kMost = 32;
    struct Run {
        double l, r, sl, sr;  // ends in t and in s = ln(t / (1 - t))
        int depth;            // halvings that made its pieces
        int sign;             // +1: D'' > 0 on it, -1: D'' < 0, 0: not decided (searched piece by piece)
    };
    int count = -1;  // -1: no map (more runs than kMost)
    Run run[kMost];
    // What it is of: a, q's degree, and q's coefficients of degree 2 and
    // more with their magnitudes.
    double a = 0.0;
    int degree = -1;
    double c[LinePolynomial::kMaxDegree + 1] = {};
    double mag[LinePolynomial::kMaxDegree + 1] = {};
};

// The curvature map of f; false (count -1) where f is not of the form
// line_function_minima takes, has a magnetic term, or the runs exceed
// kMost.
bool map_curvature(const LineFunction& f, CurvatureMap& map);

// As line_function_minima, with f's curvature map made before (map_curvature
// of a function with the same a and the same coefficients of degree 2 and
// more; a map of another function, and any map for a function with a
// magnetic term, is not used).
bool line_function_minima(const LineFunction& f, const CurvatureMap& map, double* s, int most, int& count);

// D at s, t = 1 / (1 + e^-s) (1 - t formed from s, exact near t = 1).
double line_function_value(const LineFunction& f, double s);

}  // namespace eqcore::detail
