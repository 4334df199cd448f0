// When the present phases leave directions of the element potentials free
// (an exactly stoichiometric feed of compounds) and no present mixture
// depends on them, any pi in a region of that space is a solution as long
// as no absent phase has a negative driving force there. The least
// distance of a phase is a concave function of the position w in that
// space (a minimum of functions linear in w), with gradient -a_x.n_q at its
// best composition x: the least step that brings its linearisation to 0
// approaches the zero from below.
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Slope of candidate c's least distance along free direction q, at its
// best composition (ws.xbest).
double slope(const Workspace& ws, const Candidate& c, int q) {
    const double* n = ws.null.data() + sz(q) * sz(ws.E);
    if (c.pure) return -ws.adot(c.first, n);
    double s = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int k = ws.grp_begin[sz(g)]; k < ws.grp_end[sz(g)]; ++k)
            s -= ws.grp_sites[sz(g)] * ws.xbest[sz(k - c.first)] * ws.adot(k, n);
    return s;
}

}  // namespace

bool shift_free_potential(Workspace& ws, int ci) {
    const int nd = ws.null_dim;
    if (nd < 1) return false;
    // Only where the free direction leaves every present mixture as it is
    // (else its traces follow pi and the balances move with it).
    for (const Candidate& o : ws.cand)
        if (o.present && !o.pure)
            for (int s = o.first; s < o.first + o.count; ++s)
                for (int q = 0; q < nd; ++q)
                    if (std::abs(ws.adot(s, ws.null.data() + sz(q) * sz(ws.E))) > 1e-12) return false;
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
        // The least step in w that brings the linearised distance to 0.
        double g2 = 0.0;
        for (int q = 0; q < nd; ++q) g2 += slope(ws, c, q) * slope(ws, c, q);
        if (!(g2 > 1e-300)) break;
        for (int q = 0; q < nd; ++q) {
            const double w = std::clamp(-D * slope(ws, c, q) / g2, -50.0, 50.0);
            for (int j = 0; j < ws.E; ++j) ws.pi[sz(j)] += w * ws.null[sz(q) * sz(ws.E) + sz(j)];
        }
    }
    ws.pi = pi0;
    return false;
}

}  // namespace eqcore::detail
