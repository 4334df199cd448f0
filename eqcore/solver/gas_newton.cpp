// Newton for a gas beside stoichiometric phases (see gas_newton.hpp).
//
// With the gas ideal its block of the reduced system is in closed form
// (P = diag(n)): each constituent adds n a a' to the element block, n a to
// the gas's column and n r a to the right-hand side, and its composition
// changes by d ln n = a.dpi - r + t. This is newton()'s iteration for that
// case, computed in the same order (the same bits), with the constituents'
// residuals, composition changes and step limits in one pass and their
// update in another, and none of the general iteration's per-phase cases.
// Everything newton() treats by other means is handed back to it at the
// start of an iteration, where both paths hold the same state.
#include "solver/gas_newton.hpp"

#include <algorithm>
#include <cmath>

#include "solver/dense_lu.hpp"
#include "solver/newton_step.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The present mixture when it is the only one and is served: ideal, one
// mixing group, no split of its own to move onto; -1 otherwise.
int served_gas(const Workspace& ws) {
    int gas = -1;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        if (!c.present || c.pure) continue;
        if (gas >= 0 || !c.ideal || c.groups != 1 || c.model->layout().redundant) return -1;
        gas = ci;
    }
    return gas;
}

// ln x of the gas's constituents. Where the last result's logarithms
// (ws.ln_y) were taken at these very amounts and 1/N, the same function of
// the same numbers: taken from there.
void gas_fraction_logs(Workspace& ws, const Candidate& c) {
    const double invN = 1.0 / c.N;
    const std::size_t held = std::min(ws.ln_y.size(), std::min(ws.ln_y_n.size(), ws.ln_y_inv.size()));
    for (int s = c.first; s < c.first + c.count; ++s) {
        const std::size_t k = sz(s);
        const double n = ws.n[k];
        ws.lnx[k] = k < held && ws.ln_y_n[k] == n && ws.ln_y_inv[k] == invN ? ws.ln_y[k] : std::log(n * invN);
    }
}

// The gas's part of the system: its column (row `row` of K, d wide), the
// element block (ws.KE, lower triangle), the right-hand sides and the
// balance residuals; mu and the residuals r at the present potentials.
void assemble_gas(Workspace& ws, const Candidate& c, std::size_t d, int row) {
    const int E = ws.E;
    double* col = ws.col.data();
    double* KE = ws.KE.data();
    double* rhs = ws.rhs.data();
    const double* pi = ws.pi.data();
    const double* n = ws.n.data();
    const double* g0 = ws.g0.data();
    const double* lnx = ws.lnx.data();
    double* mu = ws.mu.data();
    double* res = ws.res.data();
    std::fill(col, col + E, 0.0);
    double g = 0.0;
    for (int s = c.first; s < c.first + c.count; ++s) {
        const double ns = n[s];
        const double m = g0[s] + lnx[s];
        mu[s] = m;
        const double r = m - ws.adot(s, pi);
        res[s] = r;
        g += ns * r;
        add_ideal_terms(ws, s, ns, r, col, rhs, KE);
    }
    for (int j = 0; j < E; ++j) {
        ws.K[sz(j) * d + sz(row)] = ws.K[sz(row) * d + sz(j)] = col[j];
        ws.bal[sz(j)] -= col[j];
    }
    rhs[row] = g;
}

// The gas's residuals at the potentials moved by dpi, its composition
// changes (ws.dln) and the step length they allow, from `lam`: rising majors
// by at most e^3, traces to at most 1e-4. Raises mu_res and max_dl.
double gas_changes(Workspace& ws, const Candidate& c, const double* dpi, double lam, double& mu_res, double& max_dl) {
    const double* res = ws.res.data();
    const double* lnxs = ws.lnx.data();
    const double* weight = ws.res_weight.data();
    double* dln = ws.dln.data();
    for (int s = c.first; s < c.first + c.count; ++s) {
        const double r = res[s] - ws.adot(s, dpi);
        const double lnx = lnxs[s];
        const bool at_floor = lnx <= kLnFloor + 1.0 && r > 0.0;
        const double dl = -r;
        dln[s] = dl;
        if (!at_floor) {
            mu_res = std::max(mu_res, weight[s] * std::abs(r));
            max_dl = std::max(max_dl, std::abs(dl));
        }
        if (lnx > kLnMajor) {
            if (dl * lam > kMaxRise) lam = kMaxRise / dl;
        } else if (dl > 0.0 && lnx + lam * dl > kLnTraceCap) {
            lam = std::max((kLnTraceCap - lnx) / dl, 1e-3);
        }
    }
    return lam;
}

// The gas's composition moved by lam dln and its amount by the factor
// 1 + lam t; the logarithms carried along.
void update_gas(Workspace& ws, Candidate& c, double lam, double t) {
    double* n = ws.n.data();
    double* lnx = ws.lnx.data();
    const double* dln = ws.dln.data();
    const double Nnew = c.N * (1.0 + lam * t);
    const int end = c.first + c.count;
    double sum = 0.0;
    for (int s = c.first; s < end; ++s) {
        double lf = 0.0;
        n[s] *= amount_factor(lam * dln[s], lnx[s], lf);
        lnx[s] += lf;
        sum += n[s];
    }
    const double share = ws.grp_share[sz(c.group0)];
    const double lnorm = std::log(sum / (share * c.N));
    const double to_amount = share * Nnew / sum;
    for (int s = c.first; s < end; ++s) {
        n[s] *= to_amount;
        lnx[s] -= lnorm;
    }
    c.N = Nnew;
}

}  // namespace

bool gas_newton(Workspace& ws, int& removed, NewtonOutcome& outcome, NewtonCarry& carry) {
    const int gi = served_gas(ws);
    if (gi < 0) return false;
    Candidate& gas = ws.cand[sz(gi)];
    const int E = ws.E;
    const int NC = static_cast<int>(ws.cand.size());
    gas_fraction_logs(ws, gas);
    if (ws.gauge_dim > 0) fix_gauge(ws, ws.pi.data());
    carry.started = true;
    int dim = E;
    for (const Candidate& c : ws.cand) dim += c.present ? 1 : 0;
    const std::size_t d = sz(dim);
    const bool compounds = dim > E + 1;
    for (int& it = carry.it; it < ws.opt.max_newton; ++it) {
        // Where newton() seeks free directions of pi, or solves compounds
        // beside a gas at a trace in their own basis, it goes on itself.
        if (it == kFreeSearchAt || carry.trace_chase == kTraceChase) return false;
        if (compounds && traces_beside_compounds(ws) > 0.0) return false;
        std::fill(ws.K.begin(), ws.K.begin() + static_cast<std::ptrdiff_t>(d * d), 0.0);
        std::fill(ws.rhs.begin(), ws.rhs.begin() + static_cast<std::ptrdiff_t>(d), 0.0);
        std::fill(ws.KE.begin(), ws.KE.end(), 0.0);
        ws.shifted = false;
        ws.indefinite = false;
        ws.exact_steps = carry.last_full && carry.last_mu_res <= kExactFrom;
        std::copy(ws.b.begin(), ws.b.end(), ws.bal.begin());
        int row = E;
        for (const Candidate& c : ws.cand) {
            if (!c.present) continue;
            if (c.pure)
                assemble_compound(ws, c, d, row);
            else
                assemble_gas(ws, c, d, row);
            ++row;
        }
        const double balance = close_element_rows(ws, d);
        // A singular system, or a change of the potentials beyond what any
        // amount can follow: newton()'s remedies.
        if (!lu_factor(std::span<double>(ws.K.data(), d * d), d, ws.piv, 1e-13)) return false;
        lu_solve(std::span<const double>(ws.K.data(), d * d), d, ws.piv, std::span<double>(ws.rhs.data(), d));
        if (ws.gauge_dim > 0) fix_gauge(ws, ws.rhs.data());
        const double* dpi = ws.rhs.data();
        if (max_abs(dpi, E) > kMaxPotentialStep) return false;
        ++ws.iterations;
        for (int j = 0; j < E; ++j) ws.pi[sz(j)] += dpi[j];
        // Residuals at the new potentials, the changes and the step length.
        StepMeasures m;
        double total = 0.0;
        row = E;
        for (int ci = 0; ci < NC; ++ci) {
            const Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            ws.step[sz(ci)] = ws.rhs[sz(row++)];
            total += c.N;
            if (c.pure) {
                m.mu_res = std::max(m.mu_res, std::abs(ws.g0[sz(c.first)] - ws.adot(c.first, ws.pi.data())));
                continue;
            }
            m.max_t = std::abs(ws.step[sz(ci)]);
            m.lam = gas_changes(ws, c, dpi, m.lam, m.mu_res, m.max_dl);
        }
        if (!std::isfinite(m.mu_res)) {
            outcome = NewtonOutcome::diverged;
            return true;
        }
        m.balance = balance;
        m.lam = limit_phase_steps(ws, m.lam, total, m.mu_res, balance, carry.zero_holds, m.leaving);
        const bool converged = step_converged(ws, m);
        carry.trace_chase = step_chases_traces(ws, m, carry.last_mu_res, carry.last_balance) ? carry.trace_chase + 1 : 0;
        carry.last_balance = balance;
        carry.last_mu_res = m.mu_res;
        carry.last_full = m.lam == 1.0 && m.leaving < 0;
        for (int ci = 0; ci < NC; ++ci) {
            Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            if (!c.pure) {
                update_gas(ws, c, m.lam, ws.step[sz(ci)]);
                continue;
            }
            ws.n[sz(c.first)] = std::max(0.0, ws.n[sz(c.first)] + m.lam * ws.step[sz(ci)]);
            c.N = ws.n[sz(c.first)];
        }
        if (m.leaving >= 0) {
            Candidate& c = ws.cand[sz(m.leaving)];
            c.present = false;
            c.N = 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = 0.0;
            removed = m.leaving;
            outcome = NewtonOutcome::phase_removed;
            return true;
        }
        if (converged && balance_residual(ws) <= ws.opt.balance_tol) {
            outcome = NewtonOutcome::converged;
            return true;
        }
    }
    outcome = NewtonOutcome::diverged;
    return true;
}

}  // namespace eqcore::detail
