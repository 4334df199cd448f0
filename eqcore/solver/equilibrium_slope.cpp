// dH/dT of the converged state along its equilibrium: the amounts follow T
// at fixed material and pressure, on the present assemblage.
//
// With beta_s = H°_s / (R T^2), an ideal mixture keeps ln x_s = a_s.pi - g°_s
// (+ its pressure term), so with pi' = dpi/dT and t_c = d ln N_c / dT
//     dn_s/dT = n_s (t_c + a_s.pi' + beta_s),
// a stoichiometric phase keeps a_p.pi = g°_p, and the material is fixed:
//     [ sum n_s a_s a_s'   u_c   a_p ] [pi'  ]   [ -sum n_s beta_s a_s ]
//     [ u_c'               0     0   ] [t_c  ] = [ -sum_c n_s beta_s   ]
//     [ a_p'               0     0   ] [n_p' ]   [ -beta_p             ]
// with u_c = sum_c n_s a_s (the mixture's rows: its constituents' amounts
// sum to N_c). Then dH/dT = Cp at fixed amounts + sum h_s dn_s/dT.
// A temperature search takes it as the slope of its Newton steps.
#include <cmath>
#include <limits>
#include <vector>

#include "solver/dense_lu.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

}  // namespace

double equilibrium_heat_capacity(const Workspace& ws, double cp_fixed) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const int E = ws.E;
    int mixtures = 0, pures = 0;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            ++pures;
        } else if (c.ideal && c.groups == 1) {
            ++mixtures;
        } else {
            return kNone;  // a remainder or sublattices: its amounts follow T otherwise
        }
    }
    const int D = E + mixtures + pures;
    std::vector<double> K(sz(D) * sz(D), 0.0), rhs(sz(D), 0.0);
    std::vector<std::size_t> piv(sz(D));
    auto at = [&](int r, int k) -> double& { return K[sz(r) * sz(D) + sz(k)]; };
    const double RT2 = ws.RT * ws.T;
    int mix = E, pure = E + mixtures;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            const double* a = ws.arow(c.first);
            for (int j = 0; j < E; ++j) at(j, pure) = at(pure, j) = a[j];
            rhs[sz(pure)] = -ws.sp0[sz(c.first)].h / RT2;
            ++pure;
            continue;
        }
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double n = ws.n[sz(s)], nb = n * ws.sp0[sz(s)].h / RT2;
            const double* a = ws.arow(s);
            for (int j = 0; j < E; ++j) {
                if (a[j] == 0.0) continue;
                for (int k = 0; k < E; ++k) at(j, k) += n * a[j] * a[k];
                at(j, mix) += n * a[j];
                rhs[sz(j)] -= nb * a[j];
            }
            rhs[sz(mix)] -= nb;
        }
        for (int j = 0; j < E; ++j) at(mix, j) = at(j, mix);
        ++mix;
    }
    if (!lu_factor(K, sz(D), piv)) return kNone;  // pi not fixed by the assemblage  // pi not fixed by the assemblage
    lu_solve(K, sz(D), piv, rhs);
    double dH = 0.0;  // per scaled amount, J/K
    mix = E;
    pure = E + mixtures;
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            dH += ws.sp0[sz(c.first)].h * rhs[sz(pure++)];
            continue;
        }
        const double t = rhs[sz(mix++)];
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double h = ws.sp0[sz(s)].h;
            double change = t + h / RT2;
            const double* a = ws.arow(s);
            for (int j = 0; j < E; ++j) change += a[j] * rhs[sz(j)];
            dH += h * ws.n[sz(s)] * change;
        }
    }
    const double cp = cp_fixed + ws.scale * dH;
    return std::isfinite(cp) ? cp : kNone;
}

}  // namespace eqcore::detail
