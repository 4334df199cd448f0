// The phase-amount limits of a Newton step (see newton_step.hpp).
#include "solver/newton_step.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr double kMaxGrowth = 4.0;     // largest relative growth of a major phase per step
constexpr double kShrink = 1e-3;       // fraction a vanishing mixture phase keeps per step
constexpr double kNegligible = 1e-12;  // relative amount at which it leaves
constexpr int kZeroHolds = 8;          // steps past stoichiometric phases at zero, per assemblage

// Whether a stoichiometric constituent's amount change st < 0, not taken,
// leaves every element balance well within its tolerance.
bool within_balance_rounding(const Workspace& ws, int s, double st) {
    for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q) {
        const int e = ws.nz_elem[sz(q)];
        if (!(std::abs(st * ws.nz_coef[sz(q)]) <= 0.1 * ws.opt.balance_tol * ws.b[sz(e)])) return false;
    }
    return true;
}

}  // namespace

void assemble_compound(Workspace& ws, const Candidate& c, std::size_t d, int row) {
    const int s = c.first;
    for (int q = ws.nz_off[sz(s)]; q < ws.nz_off[sz(s) + 1]; ++q) {
        const int e = ws.nz_elem[sz(q)];
        ws.K[sz(e) * d + sz(row)] = ws.K[sz(row) * d + sz(e)] = ws.nz_coef[sz(q)];
        ws.bal[sz(e)] -= ws.n[sz(s)] * ws.nz_coef[sz(q)];
    }
    ws.mu[sz(s)] = ws.g0[sz(s)];
    ws.rhs[sz(row)] = ws.g0[sz(s)] - ws.adot(s, ws.pi.data());
}

double close_element_rows(Workspace& ws, std::size_t d) {
    const int E = ws.E;
    double balance = 0.0;
    for (int j = 0; j < E; ++j) {
        balance = std::max(balance, std::abs(ws.bal[sz(j)]) / ws.b[sz(j)]);
        ws.rhs[sz(j)] += ws.bal[sz(j)];
        for (int k = 0; k <= j; ++k) ws.K[sz(k) * d + sz(j)] = ws.K[sz(j) * d + sz(k)] = ws.KE[sz(j * E + k)];
    }
    return balance;
}

double limit_phase_steps(Workspace& ws, double lam, double total, double mu_res, double balance, int& zero_holds,
                         int& leaving) {
    const int NC = static_cast<int>(ws.cand.size());
    // A major phase grows at most fivefold per step; a phase just added
    // (small) may grow as Newton says.
    // No phase grows beyond a few times the material in one step.
    const double cap = 4.0 * (total + 1.0);
    for (int ci = 0; ci < NC; ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        if (!c.present || c.pure || ws.step[sz(ci)] <= 0.0) continue;
        const double st = ws.step[sz(ci)];
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
        const Candidate& c = ws.cand[sz(ci)];
        if (!c.present || !c.pure) continue;
        const double st = ws.step[sz(ci)], n = ws.n[sz(c.first)];
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
        const Candidate& c = ws.cand[sz(ci)];
        const double st = ws.step[sz(ci)];
        if (!c.present || c.pure || st * lam >= -(1.0 - kShrink)) continue;
        if (c.N < kNegligible * total) {
            leaving = ci;
            lam = 0.0;
        } else {
            lam = (1.0 - kShrink) / -st;
        }
    }
    return lam;
}

}  // namespace eqcore::detail
