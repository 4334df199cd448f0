#include "thermo/standard.hpp"

#include <cmath>

#include "data/power.hpp"

namespace eqcore {

TemperaturePowers::TemperaturePowers(double T_) : TemperaturePowers(T_, std::log(T_)) {}

TemperaturePowers::TemperaturePowers(double T_, double lnT_)
    : T(T_),
      lnT(lnT_),
      T2(T_ * T_),
      T3(T2 * T_),
      inv_T(1.0 / T_),
      inv_T2(inv_T * inv_T),
      // G = A + B T + C T ln T + D T^2 + E T^3 + F/T, S = -dG/dT,
      // H = G + T S, Cp = -T d2G/dT2, term by term.
      gs{{1.0, 0.0}, {T, -1.0}, {T * lnT, -(lnT + 1.0)}, {T2, -2.0 * T}, {T3, -3.0 * T2}, {inv_T, inv_T2}},
      hc{{1.0, 0.0}, {0.0, 0.0}, {-T, -1.0}, {-T2, -2.0 * T}, {-2.0 * T3, -6.0 * T2}, {2.0 * inv_T, -2.0 * inv_T2}},
      // c ln T: dG/dT = c/T, d2G/dT2 = -c/T^2.
      ln_gs{lnT, -inv_T},
      ln_hc{lnT - 1.0, inv_T} {}

namespace {

// Two doubles operated on together: (G, S) or (H, Cp).
using Pair = double __attribute__((vector_size(16)));

Pair pair_at(const double (&p)[2]) { return Pair{p[0], p[1]}; }

const GibbsRange& range_in(const Constituent& c, double T) {
    // A boundary value belongs to the lower range; below the first range the
    // first is used (its lower bound is not stored), above the last the last.
    const std::size_t n = c.ranges.size();
    for (std::size_t r = 0; r + 1 < n; ++r)
        if (T <= c.ranges[r].tmax) return c.ranges[r];
    return c.ranges[n - 1];
}

// G, S, H, Cp of range r at t's temperature: each coefficient times the
// pairs of what it multiplies, (G, S) and (H, Cp) side by side.
StandardProps props_of(const GibbsRange& r, const TemperaturePowers& t) {
    Pair gs = Pair{r.coef[0], 0.0}, hc = gs;
    for (std::size_t k = 1; k < 6; ++k) {
        gs += r.coef[k] * pair_at(t.gs[k]);
        hc += r.coef[k] * pair_at(t.hc[k]);
    }
    for (const ExtraTerm& x : r.extra) {
        if (x.e == kLnTExponent) {
            gs += x.c * pair_at(t.ln_gs);
            hc += x.c * pair_at(t.ln_hc);
        } else if (const TemperaturePowers::PowerTerm* term = t.integer_term(x.e)) {
            gs += x.c * pair_at(term->gs);
            hc += x.c * pair_at(term->hc);
        } else {
            // c T^e: dG/dT = e c T^e / T, H = (1 - e) c T^e,
            // Cp = -(e - 1) e c T^e / T.
            const double cte = x.c * std::pow(t.T, x.e), e_cte_T = x.e * cte * t.inv_T;
            gs += Pair{cte, -e_cte_T};
            hc += (1.0 - x.e) * Pair{cte, e_cte_T};
        }
    }
    StandardProps p;
    p.g = gs[0];
    p.s = gs[1];
    p.h = hc[0];
    p.cp = hc[1];
    return p;
}

}  // namespace

const GibbsRange& range_at(const Constituent& c, double T) { return range_in(c, T); }

StandardProps range_props(const GibbsRange& r, double T) { return range_props(r, TemperaturePowers(T)); }

StandardProps range_props(const GibbsRange& r, double T, double lnT) {
    return range_props(r, TemperaturePowers(T, lnT));
}

StandardProps range_props(const GibbsRange& r, const TemperaturePowers& t) { return props_of(r, t); }

StandardProps standard(const Constituent& c, double T) { return standard(c, TemperaturePowers(T)); }

StandardProps standard(const Constituent& c, double T, double lnT) {
    return standard(c, TemperaturePowers(T, lnT));
}

StandardProps standard(const Constituent& c, const TemperaturePowers& t) {
    StandardProps p = props_of(range_in(c, t.T), t);
    p.extrapolated = t.T > c.ranges.back().tmax;
    return p;
}

double gibbs0(const Constituent& c, double T) { return gibbs0(c, T, std::log(T)); }

double gibbs0(const Constituent& c, double T, double lnT) {
    const GibbsRange& r = range_in(c, T);
    const auto& [A, B, C, D, E, F] = r.coef;
    double g = A + T * (B + C * lnT + T * (D + E * T)) + F / T;
    for (const ExtraTerm& x : r.extra)
        g += x.c * (x.e == kLnTExponent ? lnT : real_power(T, x.e));
    return g;
}

}  // namespace eqcore
