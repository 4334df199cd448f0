#include "thermo/standard.hpp"

#include <cmath>

#include "data/power.hpp"

namespace eqcore {

const GibbsRange& range_at(const Constituent& c, double T) {
    // A boundary value belongs to the lower range; below the first range the
    // first is used (its lower bound is not stored), above the last the last.
    const std::size_t n = c.ranges.size();
    for (std::size_t r = 0; r + 1 < n; ++r)
        if (T <= c.ranges[r].tmax) return c.ranges[r];
    return c.ranges[n - 1];
}

StandardProps range_props(const GibbsRange& r, double T) { return range_props(r, T, std::log(T)); }

StandardProps range_props(const GibbsRange& r, double T, double lnT) {
    const auto& [A, B, C, D, E, F] = r.coef;
    const double T2 = T * T;
    StandardProps p;
    p.g = A + B * T + C * T * lnT + D * T2 + E * T2 * T + F / T;
    p.s = -B - C * (lnT + 1.0) - 2.0 * D * T - 3.0 * E * T2 + F / T2;
    p.h = A - C * T - D * T2 - 2.0 * E * T2 * T + 2.0 * F / T;
    p.cp = -C - 2.0 * D * T - 6.0 * E * T2 - 2.0 * F / T2;
    for (const ExtraTerm& x : r.extra) {
        if (x.e == kLnTExponent) {
            // c ln T: dG/dT = c/T, d2G/dT2 = -c/T^2.
            p.g += x.c * lnT;
            p.s -= x.c / T;
            p.h += x.c * (lnT - 1.0);
            p.cp += x.c / T;
        } else {
            const double te = real_power(T, x.e);  // T^e
            p.g += x.c * te;
            p.s -= x.c * x.e * te / T;
            p.h += x.c * (1.0 - x.e) * te;
            p.cp -= x.c * x.e * (x.e - 1.0) * te / T;
        }
    }
    return p;
}

StandardProps standard(const Constituent& c, double T) { return standard(c, T, std::log(T)); }

StandardProps standard(const Constituent& c, double T, double lnT) {
    const GibbsRange& r = range_at(c, T);
    StandardProps p = range_props(r, T, lnT);
    p.extrapolated = T > c.ranges.back().tmax;
    return p;
}

double gibbs0(const Constituent& c, double T) { return gibbs0(c, T, std::log(T)); }

double gibbs0(const Constituent& c, double T, double lnT) {
    const GibbsRange& r = range_at(c, T);
    const auto& [A, B, C, D, E, F] = r.coef;
    double g = A + T * (B + C * lnT + T * (D + E * T)) + F / T;
    for (const ExtraTerm& x : r.extra)
        g += x.c * (x.e == kLnTExponent ? lnT : real_power(T, x.e));
    return g;
}

}  // namespace eqcore
