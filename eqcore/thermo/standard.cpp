#include "thermo/standard.hpp"

#include <cmath>

#include "data/power.hpp"

namespace eqcore {

TemperaturePowers::TemperaturePowers(double T_) : TemperaturePowers(T_, std::log(T_)) {}

TemperaturePowers::TemperaturePowers(double T_, double lnT_)
    : T(T_), lnT(lnT_), T2(T_ * T_), T3(T2 * T_), inv_T(1.0 / T_), inv_T2(inv_T * inv_T) {}

const GibbsRange& range_at(const Constituent& c, double T) {
    // A boundary value belongs to the lower range; below the first range the
    // first is used (its lower bound is not stored), above the last the last.
    const std::size_t n = c.ranges.size();
    for (std::size_t r = 0; r + 1 < n; ++r)
        if (T <= c.ranges[r].tmax) return c.ranges[r];
    return c.ranges[n - 1];
}

StandardProps range_props(const GibbsRange& r, double T) { return range_props(r, TemperaturePowers(T)); }

StandardProps range_props(const GibbsRange& r, double T, double lnT) {
    return range_props(r, TemperaturePowers(T, lnT));
}

StandardProps range_props(const GibbsRange& r, const TemperaturePowers& t) {
    // G = A + B T + C T ln T + D T^2 + E T^3 + F/T + sum c T^e (or c ln T);
    // S = -dG/dT, H = G + T S, Cp = -T d2G/dT2.
    const auto& [A, B, C, D, E, F] = r.coef;
    const double T = t.T, lnT = t.lnT, F_T = F * t.inv_T, F_T2 = F * t.inv_T2;
    StandardProps p;
    p.g = A + B * T + C * T * lnT + D * t.T2 + E * t.T3 + F_T;
    p.s = -B - C * (lnT + 1.0) - 2.0 * D * T - 3.0 * E * t.T2 + F_T2;
    p.h = A - C * T - D * t.T2 - 2.0 * E * t.T3 + 2.0 * F_T;
    p.cp = -C - 2.0 * D * T - 6.0 * E * t.T2 - 2.0 * F_T2;
    for (const ExtraTerm& x : r.extra) {
        if (x.e == kLnTExponent) {
            // c ln T: dG/dT = c/T, d2G/dT2 = -c/T^2.
            const double c_T = x.c * t.inv_T;
            p.g += x.c * lnT;
            p.s -= c_T;
            p.h += x.c * (lnT - 1.0);
            p.cp += c_T;
        } else {
            const double cte = x.c * t.power(x.e);  // c T^e
            const double e_cte_T = x.e * cte * t.inv_T;
            p.g += cte;
            p.s -= e_cte_T;
            p.h += (1.0 - x.e) * cte;
            p.cp -= (x.e - 1.0) * e_cte_T;
        }
    }
    return p;
}

StandardProps standard(const Constituent& c, double T) { return standard(c, TemperaturePowers(T)); }

StandardProps standard(const Constituent& c, double T, double lnT) {
    return standard(c, TemperaturePowers(T, lnT));
}

StandardProps standard(const Constituent& c, const TemperaturePowers& t) {
    StandardProps p = range_props(range_at(c, t.T), t);
    p.extrapolated = t.T > c.ranges.back().tmax;
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
