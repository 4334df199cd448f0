// T raised to a data-file exponent. Exponents are almost always small
// integers; those are done by multiplication, which is exact to rounding and
// several times faster than std::pow, and the rest by std::pow.
#pragma once

#include <cmath>

namespace eqcore {

inline double int_power(double x, int k) {
    bool invert = k < 0;
    unsigned u = static_cast<unsigned>(invert ? -k : k);
    double result = 1.0;
    double base = x;
    while (u != 0) {
        if (u & 1U) result *= base;
        base *= base;
        u >>= 1U;
    }
    return invert ? 1.0 / result : result;
}

inline double real_power(double x, double e) {
    if (e >= -16.0 && e <= 16.0) {
        int k = static_cast<int>(e);
        if (static_cast<double>(k) == e) return int_power(x, k);
    }
    return std::pow(x, e);
}

}  // namespace eqcore
