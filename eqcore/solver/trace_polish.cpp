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
// mixing group). Its amount changes by a part in 1e7 of a trace. An element
// that only such traces hold is the exception: their amounts are its
// balance, and its potential moves instead (by their residuals' mean, in
// the amounts' weights), which no other constituent feels. A polish that
// would move an element's balance by more than its tolerance, or leave it
// beyond its tolerance, is taken back, and the state is left as Newton
// gave it.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "solver/newton_step.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

bool is_trace(double lny) { return lny < kLnMajor && lny > kLnFloor + 1.0; }

// Residual of slot s against its sublattice's multiplier, from ws.mu and
// ws.ln_y (evaluate_mu) and the multipliers in kappa (per group).
double deviation(const Workspace& ws, int s, const std::vector<double>& kappa, int g) {
    return ws.mu[sz(s)] - ws.adot(s, ws.pi.data()) - kappa[sz(g)];
}

// Per group of the present non-ideal mixtures: the residuals' mean over its
// fractions (which its majors set) where the phase has several sublattices.
void multipliers(const Workspace& ws, std::vector<double>& kappa) {
    kappa.assign(ws.grp_begin.size(), 0.0);
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure || c.ideal || c.groups == 1) continue;
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                kappa[sz(g)] += std::exp(ws.ln_y[sz(s)]) * (ws.mu[sz(s)] - ws.adot(s, ws.pi.data()));
    }
}

// Elements of the material that only traces of non-ideal mixtures hold.
std::vector<char> trace_elements(const Workspace& ws) {
    std::vector<char> only(sz(ws.E), 1), held(sz(ws.E), 0);
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const bool trace = !c.pure && !c.ideal && is_trace(ws.lnx[sz(s)]);
            for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q) {
                const int j = ws.nz_elem[sz(q)];
                held[sz(j)] = 1;
                if (!trace) only[sz(j)] = 0;
            }
        }
    }
    for (int j = 0; j < ws.E; ++j) only[sz(j)] = only[sz(j)] && held[sz(j)] && ws.b[sz(j)] > 0.0;
    return only;
}

// Moves the potential of every element only traces hold by their mean
// residual per unit of the element.
void shift_trace_potentials(Workspace& ws, const std::vector<char>& only) {
    evaluate_mu(ws);
    std::vector<double> kappa;
    multipliers(ws, kappa);
    std::vector<double> num(sz(ws.E), 0.0), den(sz(ws.E), 0.0);
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure || c.ideal) continue;
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                if (!is_trace(ws.ln_y[sz(s)])) continue;
                const double dev = deviation(ws, s, kappa, g);
                for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q) {
                    const int j = ws.nz_elem[sz(q)];
                    const double a = ws.nz_coef[sz(q)], w = ws.n[sz(s)] * a;
                    num[sz(j)] += w * dev;
                    den[sz(j)] += w * a;
                }
            }
    }
    for (int j = 0; j < ws.E; ++j)
        if (only[sz(j)] && den[sz(j)] > 0.0) ws.pi[sz(j)] += num[sz(j)] / den[sz(j)];
}

// One round: moves every trace by its residual; returns the largest move
// (infinite where a trace is far off the plane: no rounding error, Newton's
// to settle).
double polish_round(Workspace& ws) {
    evaluate_mu(ws);
    std::vector<double> kappa;
    multipliers(ws, kappa);
    double moved = 0.0;
    for (Candidate& c : ws.cand) {
        if (!c.present || c.pure || c.ideal) continue;
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                if (!is_trace(ws.ln_y[sz(s)])) continue;
                const double dev = deviation(ws, s, kappa, g);
                if (!(std::abs(dev) <= 1e-4)) return HUGE_VAL;
                const double before = ws.n[sz(s)];
                ws.n[sz(s)] *= std::exp(-dev);
                ws.lnx[sz(s)] -= dev;
                if (c.groups == 1) c.N += ws.n[sz(s)] - before;
                moved = std::max(moved, std::abs(dev));
            }
    }
    return moved;
}

// Largest change of an element balance from amounts n0 to the current
// ones, relative to the element's amount.
double balance_shift(const Workspace& ws, const std::vector<double>& n0) {
    std::vector<double> shift(sz(ws.E), 0.0);
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double dn = ws.n[sz(s)] - n0[sz(s)];
            if (dn == 0.0) continue;
            for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q)
                shift[sz(ws.nz_elem[sz(q)])] += dn * ws.nz_coef[sz(q)];
        }
    }
    double worst = 0.0;
    for (int j = 0; j < ws.E; ++j)
        if (shift[sz(j)] != 0.0) worst = std::max(worst, ws.b[sz(j)] > 0.0 ? std::abs(shift[sz(j)]) / ws.b[sz(j)] : HUGE_VAL);
    return worst;
}

}  // namespace

void polish_traces(Workspace& ws) {
    bool any = false;
    for (const Candidate& c : ws.cand)
        if (c.present && !c.pure && !c.ideal)
            for (int s = c.first; s < c.first + c.count && !any; ++s) any = is_trace(ws.lnx[sz(s)]);
    if (!any) return;
    const double before = balance_residual(ws);
    const std::vector<double> n0 = ws.n, lnx0 = ws.lnx, pi0 = ws.pi;
    std::vector<double> N0(ws.cand.size());
    for (std::size_t i = 0; i < ws.cand.size(); ++i) N0[i] = ws.cand[i].N;
    const std::vector<char> only = trace_elements(ws);
    if (std::find(only.begin(), only.end(), 1) != only.end()) shift_trace_potentials(ws, only);
    bool ok = true;
    for (int round = 0; round < 3 && ok; ++round) {
        const double moved = polish_round(ws);
        ok = std::isfinite(moved);
        if (moved <= 0.1 * ws.opt.mu_tol) break;
    }
    if (ok) ok = balance_shift(ws, n0) <= ws.opt.balance_tol;
    // Nor may it take a balance Newton left within its tolerance beyond it.
    if (ok) ok = balance_residual(ws) <= std::max(ws.opt.balance_tol, before);
    // evaluate_mu rewrote the logarithms the last result held (ws.ln_y):
    // what they were taken at no longer says what they are.
    std::fill(ws.ln_y_n.begin(), ws.ln_y_n.end(), std::numeric_limits<double>::quiet_NaN());
    if (!ok) {
        ws.n = n0;
        ws.lnx = lnx0;
        ws.pi = pi0;
        for (std::size_t i = 0; i < ws.cand.size(); ++i) ws.cand[i].N = N0[i];
        // The potentials and logarithms evaluate_mu left are of the polished
        // amounts: taken again at the amounts restored.
        evaluate_mu(ws);
    }
}

}  // namespace eqcore::detail
