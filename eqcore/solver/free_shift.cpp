// When the present phases leave one direction of the element potentials free
// (an exactly stoichiometric feed of a compound) and no present mixture
// depends on it, any pi on a segment of
// that line is a solution as long as no absent phase has a negative driving
// force there. The least distance of a phase is a concave function of the
// position w on the line (a minimum of functions linear in w), with slope
// -a_x.n at its best composition x: Newton from the side where it is
// negative reaches its zero from below, without overshooting.
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Slope of candidate c's least distance along the free direction, at its
// best composition (ws.xbest).
double slope(const Workspace& ws, const Candidate& c) {
    const double* n = ws.null.data();
    if (c.pure) return -ws.adot(c.first, n);
    double s = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int q = ws.grp_begin[sz(g)]; q < ws.grp_end[sz(g)]; ++q)
            s -= ws.grp_sites[sz(g)] * ws.xbest[sz(q - c.first)] * ws.adot(q, n);
    return s;
}

}  // namespace

bool shift_free_potential(Workspace& ws, int ci) {
    if (ws.null_dim != 1) return false;
    // Only where the free direction leaves every present mixture as it is
    // (else its traces follow pi and the balances move with it).
    for (const Candidate& o : ws.cand)
        if (o.present && !o.pure)
            for (int s = o.first; s < o.first + o.count; ++s)
                if (std::abs(ws.adot(s, ws.null.data())) > 1e-12) return false;
    Candidate& c = ws.cand[sz(ci)];
    const std::vector<double> pi0 = ws.pi;  // rare path: may allocate
    for (int it = 0; it < 30; ++it) {
        const double D = driving_force(ws, ci);
        if (D >= -0.1 * ws.opt.stability_tol) {
            // Every other absent phase must stay out as well.
            c.df = D;
            for (int o = 0; o < static_cast<int>(ws.cand.size()); ++o) {
                Candidate& k = ws.cand[sz(o)];
                if (o == ci || k.present || k.excluded) continue;
                k.df = driving_force(ws, o);
                if (k.df < -ws.opt.stability_tol) {
                    ws.pi = pi0;
                    return false;
                }
            }
            return true;
        }
        const double d = slope(ws, c);
        if (!(std::abs(d) > 1e-300)) break;
        const double w = std::clamp(-D / d, -50.0, 50.0);
        for (int j = 0; j < ws.E; ++j) ws.pi[sz(j)] += w * ws.null[sz(j)];
    }
    ws.pi = pi0;
    return false;
}

}  // namespace eqcore::detail
