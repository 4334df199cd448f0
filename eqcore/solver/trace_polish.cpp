// The traces of present non-ideal mixtures put onto the plane of the
// element potentials once Newton has converged.
//
// Newton's composition step of a constituent of a non-ideal mixture comes
// out of the phase's scaled block as v / sqrt(n): for a trace at 1e-19 mol
// the rounding of v (1e-16 of the majors' entries) becomes an error of
// 1e-7 in ln x, far above the tolerance on mu - a.pi, and every further
// step adds a new one of that size. A trace's own residual, though, moves
// with its ln x one for one (its activity coefficient is its limit at
// infinite dilution, which its own fraction changes only by that
// fraction), so at the converged state each trace is moved by its residual
// measured against its sublattice's multiplier (0 for a phase of one
// mixing group). Its amount changes by a part in 1e7 of a trace; a polish
// that would move an element's balance beyond a tenth of its tolerance is
// taken back, and the state is left as Newton gave it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/newton_step.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// One round: moves every trace by its residual; returns the largest move.
double polish_round(Workspace& ws) {
    evaluate_mu(ws);
    double moved = 0.0;
    for (Candidate& c : ws.cand) {
        if (!c.present || c.pure || c.ideal) continue;
        for (int g = c.group0; g < c.group0 + c.groups; ++g) {
            // The sublattice's multiplier: the residuals' mean over its
            // fractions, which its majors set.
            double kappa = 0.0;
            if (c.groups > 1)
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                    kappa += std::exp(ws.ln_y[sz(s)]) * (ws.mu[sz(s)] - ws.adot(s, ws.pi.data()));
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                const double lny = ws.ln_y[sz(s)];
                if (!(lny < kLnMajor) || lny <= kLnFloor + 1.0) continue;
                const double dev = ws.mu[sz(s)] - ws.adot(s, ws.pi.data()) - kappa;
                // Far off the plane a trace is no rounding error: Newton's to settle.
                if (!(std::abs(dev) <= 1e-4)) return HUGE_VAL;
                const double before = ws.n[sz(s)];
                ws.n[sz(s)] *= std::exp(-dev);
                ws.lnx[sz(s)] -= dev;
                if (c.groups == 1) c.N += ws.n[sz(s)] - before;
                moved = std::max(moved, std::abs(dev));
            }
        }
    }
    return moved;
}

}  // namespace

void polish_traces(Workspace& ws) {
    bool any = false;
    for (const Candidate& c : ws.cand) any = any || (c.present && !c.pure && !c.ideal);
    if (!any) return;
    const std::vector<double> n0 = ws.n, lnx0 = ws.lnx;
    std::vector<double> N0(ws.cand.size());
    for (std::size_t i = 0; i < ws.cand.size(); ++i) N0[i] = ws.cand[i].N;
    bool ok = true;
    for (int round = 0; round < 3 && ok; ++round) {
        const double moved = polish_round(ws);
        ok = std::isfinite(moved);
        if (moved <= 0.1 * ws.opt.mu_tol) break;
    }
    // The element balances may move by no more than a tenth of their tolerance.
    std::vector<double> shift(sz(ws.E), 0.0);
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double dn = ws.n[sz(s)] - n0[sz(s)];
            if (dn == 0.0) continue;
            for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q)
                shift[sz(ws.nz_elem[sz(q)])] += dn * ws.nz_coef[sz(q)];
        }
    }
    for (int j = 0; j < ws.E && ok; ++j) ok = std::abs(shift[sz(j)]) <= 0.1 * ws.opt.balance_tol * ws.b[sz(j)];
    if (!ok) {
        ws.n = n0;
        ws.lnx = lnx0;
        for (std::size_t i = 0; i < ws.cand.size(); ++i) ws.cand[i].N = N0[i];
    }
}

}  // namespace eqcore::detail
