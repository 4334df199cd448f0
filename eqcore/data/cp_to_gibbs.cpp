#include "data/cp_to_gibbs.hpp"

#include <cmath>

#include "data/power.hpp"

namespace eqcore {

namespace {

void add_extra(GibbsRange& g, double c, double e) {
    for (ExtraTerm& x : g.extra) {
        if (x.e == e) {
            x.c += c;
            return;
        }
    }
    g.extra.push_back({c, e});
}

// Adds the G contribution of the Cp term f T^n integrated from T0, where H
// and S are zero at T0: H = ∫Cp dT, S = ∫Cp/T dT, G = H - T S.
void add_cp_term(GibbsRange& g, double f, double n, double T0) {
    auto& [A, B, C, D, E, F] = g.coef;
    if (n == 0.0) {  // constant: G = -f T ln T + f(1 + ln T0) T - f T0
        A -= f * T0;
        B += f * (1.0 + std::log(T0));
        C -= f;
        return;
    }
    if (n == -1.0) {  // f/T: G = f ln T - f T/T0 + f(1 - ln T0)
        A += f * (1.0 - std::log(T0));
        B -= f / T0;
        add_extra(g, f, kLnTExponent);
        return;
    }
    // f T^n: G = -f/(n(n+1)) T^(n+1) + f T0^n/n T - f T0^(n+1)/(n+1)
    const double t0n = real_power(T0, n);
    A -= f * t0n * T0 / (n + 1.0);
    B += f * t0n / n;
    const double c = -f / (n * (n + 1.0));
    const double e = n + 1.0;
    if (e == 2.0) {
        D += c;
    } else if (e == 3.0) {
        E += c;
    } else if (e == -1.0) {
        F += c;
    } else {
        add_extra(g, c, e);
    }
}

// Enthalpy (J/mol) and entropy (J/(mol K)) the Cp term f T^n adds from T0
// to T1: the integrals of Cp and Cp/T.
void add_integrals(double f, double n, double T0, double T1, double& H, double& S) {
    H += n == -1.0 ? f * std::log(T1 / T0) : f * (real_power(T1, n + 1.0) - real_power(T0, n + 1.0)) / (n + 1.0);
    S += n == 0.0 ? f * std::log(T1 / T0) : f * (real_power(T1, n) - real_power(T0, n)) / n;
}

}  // namespace

std::vector<GibbsRange> cp_to_gibbs(double h298, double s298, const std::vector<CpRange>& ranges) {
    std::vector<GibbsRange> out;
    out.reserve(ranges.size());
    double T0 = kT298;
    double H0 = h298;
    double S0 = s298;
    for (const CpRange& cr : ranges) {
        GibbsRange g;
        g.tmax = cr.tmax;
        g.coef[0] = H0;
        g.coef[1] = -S0;
        // The next range starts from this one's H and S at its upper end,
        // raised by the enthalpy of transition.
        double H1 = H0, S1 = S0;
        for (const CpTerm& t : cr.terms) {
            if (t.f == 0.0) continue;
            add_cp_term(g, t.f, t.n, T0);
            add_integrals(t.f, t.n, T0, cr.tmax, H1, S1);
        }
        T0 = cr.tmax;
        H0 = H1 + cr.transition_h;
        S0 = S1 + cr.transition_h / cr.tmax;
        out.push_back(std::move(g));
    }
    return out;
}

}  // namespace eqcore
