// The parts of a Newton step shared by the general iteration (newton.cpp)
// and the one for a gas beside stoichiometric phases (gas_newton.cpp): the
// limits of a step, the change of an amount along it and the convergence
// test, so that both take the same steps and accept the same states.
#pragma once

#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {

constexpr double kLnFloor = -690.0;                 // smallest ln x kept (x ~ 1e-300)
constexpr double kLnMajor = -18.420680743952367;    // ln 1e-8: below, a trace constituent
constexpr double kLnTraceCap = -9.210340371976184;  // ln 1e-4: a trace may rise to this per step
constexpr double kMaxRise = 3.0;  // largest rise of ln n of a major constituent per step
constexpr double kTail = 0.05;    // a falling amount follows the linear model down to this fraction
constexpr double kLnTail = -2.995732273553991;  // ln kTail
constexpr double kExactFrom = 0.1;    // residual / RT below which blocks are not shifted
constexpr double kMaxPotentialStep = 1e4;  // change of a potential (/RT) no Newton step may take
constexpr int kTraceChase = 2;        // steps of an e-fold trace chase before free directions are sought
constexpr int kFreeSearchAt = 20;     // the iteration at which free directions of pi are sought again
constexpr int kRebalances = 3;        // rounds of the traces' balance along held directions, progress or not
constexpr int kMostRebalances = 30;   // ... and at most, while each halves what the last one left
constexpr double kFarOpen = 100.0;    // balance / its tolerance from which a stalled Newton takes more
constexpr double kShortStep = 1e-10;  // max_dl (max_dl + max_t) of a step after which the state may stand
constexpr double kSettledShare = 1e-2;  // share of the tolerances the residuals of a state that stands are within

inline std::size_t zu(int v) { return static_cast<std::size_t>(v); }

constexpr double kMaxGrowth = 4.0;     // largest relative growth of a major phase per step
constexpr double kShrink = 1e-3;       // fraction a vanishing mixture phase keeps per step
constexpr double kNegligible = 1e-12;  // relative amount at which it leaves
constexpr double kVanished = 1e-30;    // relative amount at which it leaves whatever its model
constexpr int kZeroHolds = 8;          // steps past stoichiometric phases at zero, per assemblage

// Whether a stoichiometric constituent's amount change st < 0, not taken,
// leaves every element balance well within its tolerance.
inline bool within_balance_rounding(const Workspace& ws, int s, double st) {
    for (int q = ws.nz_off[zu(s)]; q < ws.nz_off[zu(s) + 1]; ++q) {
        const int e = ws.nz_elem[zu(q)];
        if (!(std::abs(st * ws.nz_coef[zu(q)]) <= 0.1 * ws.opt.balance_tol * ws.b[zu(e)])) return false;
    }
    return true;
}

inline double max_abs(const double* v, int n) {
    double m = 0.0;
    for (int i = 0; i < n; ++i) m = std::max(m, std::abs(v[i]));
    return m;
}

// Factor of an amount for a change `dl` of its logarithm: in logarithmic
// form where it rises or is a trace; a falling major fraction follows the
// linear model down to kTail, then an exponential tail. `lf` receives the
// logarithm of the factor.
inline double amount_factor(double dl, double lnx, double& lf) {
    if (dl >= 0.0 || lnx <= kLnMajor) {
        lf = std::max(dl, kLnFloor - lnx);
        return std::exp(lf);
    }
    if (dl >= kTail - 1.0) {
        lf = std::log1p(dl);
        return 1.0 + dl;
    }
    lf = std::max(kLnTail + (dl + 1.0 - kTail) / kTail, kLnFloor - lnx);
    return std::exp(lf);
}

// A present stoichiometric phase's row and column (row `row` of the Newton
// system K, d wide), its part of the balance residuals (ws.bal) and its
// right-hand side: its potential less a.pi.
inline void assemble_compound(Workspace& ws, const Candidate& c, std::size_t d, int row) {
    const int s = c.first;
    for (int q = ws.nz_off[zu(s)]; q < ws.nz_off[zu(s) + 1]; ++q) {
        const int e = ws.nz_elem[zu(q)];
        ws.K[zu(e) * d + zu(row)] = ws.K[zu(row) * d + zu(e)] = ws.nz_coef[zu(q)];
        ws.bal[zu(e)] -= ws.n[zu(s)] * ws.nz_coef[zu(q)];
    }
    ws.mu[zu(s)] = ws.g0[zu(s)];
    ws.rhs[zu(row)] = ws.g0[zu(s)] - ws.adot(s, ws.pi.data());
}

// Once every present phase is assembled: the balance residuals (ws.bal)
// added to the element rows' right-hand sides and the element block (ws.KE)
// copied into both triangles of K (d wide). Returns the largest balance
// residual relative to its element's amount.
inline double close_element_rows(Workspace& ws, std::size_t d) {
    const int E = ws.E;
    double balance = 0.0;
    for (int j = 0; j < E; ++j) {
        balance = std::max(balance, std::abs(ws.bal[zu(j)]) / ws.b[zu(j)]);
        ws.rhs[zu(j)] += ws.bal[zu(j)];
        for (int k = 0; k <= j; ++k) ws.K[zu(k) * d + zu(j)] = ws.K[zu(j) * d + zu(k)] = ws.KE[zu(j * E + k)];
    }
    return balance;
}

// Constituent s of an ideal mixture of one mixing group, amount ns and
// residual r: its parts of the phase's column (col), of the right-hand side
// of the element rows (n r a) and of the element block (n a a', the lower
// triangle KE).
inline void add_ideal_terms(const Workspace& ws, int s, double ns, double r, double* col, double* rhs, double* KE) {
    const double wr = ns * r;
    const int nz_end = ws.nz_off[zu(s) + 1];
    for (int q = ws.nz_off[zu(s)]; q < nz_end; ++q) {
        const int e = ws.nz_elem[zu(q)];
        col[e] += ns * ws.nz_coef[zu(q)];
        rhs[e] += wr * ws.nz_coef[zu(q)];
    }
    const int pp_end = ws.pp_off[zu(s) + 1];
    for (int q = ws.pp_off[zu(s)]; q < pp_end; ++q)
        KE[ws.pp_idx[zu(q)]] += ns * ws.pp_coef[zu(q)];
}

// The step length `lam` (as the compositions limit it) limited further by
// the present phases' amounts (ws.step): a major phase grows at most
// fivefold, none beyond a few times the material `total`, a stoichiometric
// phase whose amount would turn negative leaves at zero and a mixture sent
// below zero shrinks. `leaving` receives the phase that leaves with this
// step (-1: none); `zero_holds` counts the steps taken past stoichiometric
// phases held at zero.
inline double limit_phase_steps(Workspace& ws, double lam, double total, double mu_res, double balance, int& zero_holds,
                         int& leaving) {
    const int NC = static_cast<int>(ws.cand.size());
    // A major phase grows at most fivefold per step; a phase just added
    // (small) may grow as Newton says.
    // No phase grows beyond a few times the material in one step.
    const double cap = 4.0 * (total + 1.0);
    for (int ci = 0; ci < NC; ++ci) {
        const Candidate& c = ws.cand[zu(ci)];
        if (!c.present || c.pure || ws.step[zu(ci)] <= 0.0) continue;
        const double st = ws.step[zu(ci)];
        if (c.N > 0.01 * total && st * lam > kMaxGrowth) lam = kMaxGrowth / st;
        if (c.N * (1.0 + lam * st) > cap) lam = (cap / c.N - 1.0) / st;
    }
    // A stoichiometric phase whose amount would turn negative leaves at
    // zero (see below). A mixture phase the linear model sends below zero shrinks a
    // thousandfold per step and leaves once it is negligible: far from
    // the solution that model is too rough to drop a phase at once.
    // Far from the solution (large residuals) a stoichiometric phase is
    // only cut to a tenth, not dropped: the linear model may be wrong.
    leaving = -1;
    for (int ci = 0; ci < NC; ++ci) {
        const Candidate& c = ws.cand[zu(ci)];
        if (!c.present || !c.pure) continue;
        const double st = ws.step[zu(ci)], n = ws.n[zu(c.first)];
        if (st >= 0.0 || -n / st > lam) continue;
        const bool far = mu_res > 1e-3 || balance > 1e-3;
        if (far && n > 1e-8 * total) {
            lam = 0.9 * -n / st;
            leaving = -1;
        } else if (far && n == 0.0 && zero_holds < kZeroHolds) {
            // At zero (just added): far from the solution its linear
            // model's sign says little; it stays present at zero and
            // the step goes on without it.
            ++zero_holds;
        } else if (n == 0.0 && within_balance_rounding(ws, c.first, st)) {
            // At zero, sent below it by no more than the rounding of the
            // feed (a feed the other present phases hold exactly, such
            // as one at a compound's composition written in decimals):
            // it stays at zero, where it fixes the potentials those
            // phases leave free, and the next phase to enter decides.
            // Dropped, it would be the most unstable phase again at
            // once, and enter and leave without end.
        } else {
            lam = -n / st;
            leaving = ci;
        }
    }
    for (int ci = 0; ci < NC && leaving < 0; ++ci) {
        const Candidate& c = ws.cand[zu(ci)];
        const double st = ws.step[zu(ci)];
        if (!c.present || c.pure || st * lam >= -(1.0 - kShrink)) continue;
        // A negligible phase leaves where its linear model empties it. A
        // model that keeps a positive amount, however small, is a phase
        // whose equilibrium amount is below kNegligible (a gas over an
        // exactly stoichiometric hydride, holding what the hydride's
        // vacancies leave): dropped there, it would take its content out
        // of balances that only traces close, the remaining phases would
        // settle where it is unstable, and it would enter and leave
        // without end. It shrinks on towards that amount instead, down to
        // kVanished, below which it holds nothing any balance resolves.
        if (c.N < kNegligible * total && (st <= -1.0 || c.N < kVanished * total)) {
            leaving = ci;
            lam = 0.0;
        } else {
            lam = (1.0 - kShrink) / -st;
        }
    }
    return lam;
}

// What a Newton step measured: the largest potential residual, the largest
// relative element balance residual, its length, the largest composition
// and mixture amount changes, the phase leaving with it and whether
// directions of the potentials are held free beyond the exact ones.
struct StepMeasures {
    double mu_res = 0.0;
    double balance = 0.0;
    double lam = 1.0;
    double max_dl = 0.0;
    double max_t = 0.0;
    int leaving = -1;
    bool held_free = false;
};

// Converged when the tolerances hold here, or when this full step is so
// small that they hold after it by a wide margin: the update departs from
// the linear model (which balances the elements exactly unless free
// directions are held) by about n (t dl + dl^2) per constituent, and leaves
// residuals of order dl^2 -- when the step is Newton's own: a step from a
// shifted block (a phase inside its spinodal) contracts the residuals only
// linearly. With negative stoichiometric coefficients that bound does not
// follow from b alone. Either way the step is taken in full: a cut step (a
// phase shrinking out of an assemblage the phase rule forbids) is not at
// the solution, however small the residuals of its linear model.
inline bool step_converged(const Workspace& ws, const StepMeasures& m) {
    const bool full = m.lam == 1.0 && m.leaving < 0;
    return (full && m.mu_res <= ws.opt.mu_tol && m.balance <= ws.opt.balance_tol) ||
           (full && !m.held_free && !ws.negative_stoich && !ws.shifted && m.balance <= 1e-6 &&
            m.max_dl * (m.max_dl + m.max_t) <= 0.1 * ws.opt.balance_tol && m.mu_res * m.mu_res <= 0.1 * ws.opt.mu_tol);
}

// A full step that left the residuals where they were (last_mu_res) and cut
// the balance by a factor near e (from last_balance): traces removed e-fold
// per step along a direction only they fix.
inline bool step_chases_traces(const Workspace& ws, const StepMeasures& m, double last_mu_res, double last_balance) {
    return m.lam == 1.0 && m.leaving < 0 && m.mu_res > ws.opt.mu_tol && m.mu_res <= 1.25 * last_mu_res &&
           m.mu_res >= 0.8 * last_mu_res && m.balance <= 0.6 * last_balance && m.balance >= 0.2 * last_balance;
}

}  // namespace eqcore::detail
