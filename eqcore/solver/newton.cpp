// Newton iteration on the Lagrangian of a fixed phase assemblage.
//
// Unknowns reduced to: the element potentials pi (/RT), one relative amount
// change t per present mixture phase and the amount change of each present
// stoichiometric phase. For a mixture phase with Hessian M = dmu/dn (singular
// along n), the constituent changes are
//     dn = P (A pi - mu) + t n,   P = (D^-1 + E/(N RT))^-1,
// where D = diag(n) and E = N d(mu_excess)/dn; P = D for an ideal phase, which
// is the classical form d ln n_i = a_i.pi - mu_i/RT + t. With
// P = D^1/2 C^-1 D^1/2, C = I + X^1/2 E X^1/2 / RT, the reduced system is
//     [ sum A'PA   A'n   a_p ] [pi]   [ b - A n + sum A'P mu ]
//     [ n'A        0     0   ] [t ] = [ n' mu  (the phase's G/RT) ]
//     [ a_p'       0     0   ] [dn]   [ mu_p ]
// Constituent amounts are updated in logarithmic form (positive by
// construction), phase amounts linearly; the step is shortened so that
// no amount turns negative, and a phase whose amount would reach zero leaves.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "solver/dense_lu.hpp"
#include "solver/workspace.hpp"
#include "thermo/excess.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr double kLnFloor = -690.0;   // smallest ln x kept (x ~ 1e-300)
constexpr double kLnMajor = -18.420680743952367;  // ln 1e-8: below, a trace constituent
constexpr double kLnTraceCap = -9.210340371976184;  // ln 1e-4: a trace may rise to this per step

// Excess potentials (/RT) and, when `hessian`, N dmu/dn (/RT) of a mixture
// candidate at its current composition, in the phase's own numbering.
void excess_at(Workspace& ws, const Candidate& c, const double* x, bool hessian) {
    const Phase& ph = ws.sys->phases[sz(c.phase)];
    const std::size_t m = sz(ph.count);
    std::fill(ws.xfull.begin(), ws.xfull.begin() + static_cast<std::ptrdiff_t>(m), 0.0);
    for (int k = 0; k < c.count; ++k) ws.xfull[sz(ws.slot_local[sz(c.first + k)])] = x[k];
    excess(ph, ws.T, std::span<const double>(ws.xfull.data(), m), std::span<double>(ws.muex.data(), m),
           hessian ? std::span<double>(ws.dmuex.data(), m * m) : std::span<double>{});
}

}  // namespace

void evaluate_mu(Workspace& ws) {
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            ws.mu[sz(c.first)] = ws.g0[sz(c.first)];
            continue;
        }
        const double invN = 1.0 / c.N;
        for (int s = c.first; s < c.first + c.count; ++s)
            ws.mu[sz(s)] = ws.g0[sz(s)] + std::log(ws.n[sz(s)] * invN);
        if (!c.ideal) {
            for (int k = 0; k < c.count; ++k) ws.xtry[sz(k)] = ws.n[sz(c.first + k)] * invN;
            excess_at(ws, c, ws.xtry.data(), false);
            for (int k = 0; k < c.count; ++k)
                ws.mu[sz(c.first + k)] += ws.muex[sz(ws.slot_local[sz(c.first + k)])] / ws.RT;
        }
    }
}

NewtonOutcome newton(Workspace& ws, int& removed) {
    const int E = ws.E;
    const int NC = static_cast<int>(ws.cand.size());
    removed = -1;
    for (int it = 0; it < ws.opt.max_newton; ++it) {
        ++ws.iterations;
        // Rows of the present phases.
        int dim = E;
        for (Candidate& c : ws.cand)
            if (c.present) ++dim;
        const std::size_t d = sz(dim);
        std::fill(ws.K.begin(), ws.K.begin() + static_cast<std::ptrdiff_t>(d * d), 0.0);
        std::fill(ws.rhs.begin(), ws.rhs.begin() + static_cast<std::ptrdiff_t>(d), 0.0);
        for (int j = 0; j < E; ++j) ws.rhs[sz(j)] = ws.b[sz(j)];
        auto K = [&](int r, int c) -> double& { return ws.K[sz(r) * d + sz(c)]; };
        int row = E;
        for (int ci = 0; ci < NC; ++ci) {
            Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            // Element residual and this phase's column.
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double* ar = ws.arow(s);
                for (int j = 0; j < E; ++j) ws.rhs[sz(j)] -= ws.n[sz(s)] * ar[j];
            }
            if (c.pure) {
                const double* ar = ws.arow(c.first);
                for (int j = 0; j < E; ++j) K(j, row) = K(row, j) = ar[j];
                ws.rhs[sz(row)] = ws.g0[sz(c.first)];
                ++row;
                continue;
            }
            const double invN = 1.0 / c.N;
            double g = 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double* ar = ws.arow(s);
                const double ns = ws.n[sz(s)];
                ws.mu[sz(s)] = ws.g0[sz(s)] + std::log(ns * invN);
                for (int j = 0; j < E; ++j) K(j, row) += ns * ar[j];
            }
            if (c.ideal) {
                for (int s = c.first; s < c.first + c.count; ++s) {
                    const double* ar = ws.arow(s);
                    const double ns = ws.n[sz(s)];
                    const double wmu = ns * ws.mu[sz(s)];
                    g += wmu;
                    for (int j = 0; j < E; ++j) {
                        const double w = ns * ar[j];
                        ws.rhs[sz(j)] += wmu * ar[j];
                        for (int k = 0; k <= j; ++k) K(j, k) += w * ar[k];
                    }
                }
            } else {
                // C = I + X^1/2 (N dmu_ex/dn / RT) X^1/2 over the usable constituents.
                const int m = c.count;
                for (int k = 0; k < m; ++k) ws.xtry[sz(k)] = ws.n[sz(c.first + k)] * invN;
                excess_at(ws, c, ws.xtry.data(), true);
                const std::size_t pm = sz(ws.sys->phases[sz(c.phase)].count);
                for (int i = 0; i < m; ++i) {
                    const int s = c.first + i;
                    ws.mu[sz(s)] += ws.muex[sz(ws.slot_local[sz(s)])] / ws.RT;
                    for (int k = 0; k < m; ++k) {
                        const double e = ws.dmuex[sz(ws.slot_local[sz(s)]) * pm + sz(ws.slot_local[sz(c.first + k)])];
                        ws.C[sz(i) * sz(m) + sz(k)] =
                            (i == k ? 1.0 : 0.0) + std::sqrt(ws.xtry[sz(i)] * ws.xtry[sz(k)]) * e / ws.RT;
                    }
                }
                if (!lu_factor(std::span<double>(ws.C.data(), sz(m * m)), sz(m), ws.cpiv, 1e-14)) {
                    // Not convex here (inside a spinodal): fall back to the ideal metric.
                    for (int i = 0; i < m; ++i)
                        for (int k = 0; k < m; ++k) ws.C[sz(i) * sz(m) + sz(k)] = i == k ? 1.0 : 0.0;
                    lu_factor(std::span<double>(ws.C.data(), sz(m * m)), sz(m), ws.cpiv);
                }
                // V = C^-1 (D^1/2 A), y = C^-1 D^1/2 mu, one column at a time.
                for (int j = 0; j <= E; ++j) {
                    for (int i = 0; i < m; ++i) {
                        const int s = c.first + i;
                        const double r = std::sqrt(ws.n[sz(s)]);
                        ws.dln[sz(s)] = r * (j < E ? ws.arow(s)[j] : ws.mu[sz(s)]);
                    }
                    std::span<double> col(ws.dln.data() + c.first, sz(m));
                    lu_solve(std::span<const double>(ws.C.data(), sz(m * m)), sz(m), ws.cpiv, col);
                    for (int i = 0; i < m; ++i) {
                        const int s = c.first + i;
                        if (j < E)
                            ws.V[sz(s) * sz(E) + sz(j)] = ws.dln[sz(s)];
                        else
                            ws.y[sz(s)] = ws.dln[sz(s)];
                    }
                }
                for (int i = 0; i < m; ++i) {
                    const int s = c.first + i;
                    const double r = std::sqrt(ws.n[sz(s)]);
                    const double* ar = ws.arow(s);
                    const double* vr = ws.V.data() + sz(s) * sz(E);
                    g += ws.n[sz(s)] * ws.mu[sz(s)];
                    for (int j = 0; j < E; ++j) {
                        ws.rhs[sz(j)] += r * ar[j] * ws.y[sz(s)];
                        for (int k = 0; k <= j; ++k) K(j, k) += r * ar[j] * vr[k];
                    }
                }
            }
            for (int j = 0; j < E; ++j) K(row, j) = K(j, row);
            ws.rhs[sz(row)] = g;
            ++row;
        }
        for (int j = 0; j < E; ++j)
            for (int k = 0; k < j; ++k) K(k, j) = K(j, k);
        // Element balance residual (before the rhs gets the potential terms
        // added, it was b - A n; recompute it for the convergence test).
        double balance = 0.0;
        for (int j = 0; j < E; ++j) {
            double r = ws.b[sz(j)];
            for (const Candidate& c : ws.cand)
                if (c.present)
                    for (int s = c.first; s < c.first + c.count; ++s) r -= ws.n[sz(s)] * ws.arow(s)[j];
            balance = std::max(balance, std::abs(r) / ws.b[sz(j)]);
        }
        if (std::getenv("EQDBG")) {
            fprintf(stderr, "it %d dim %d balance %g\n", it, dim, balance);
            for (int r = 0; r < dim; ++r) { for (int c2 = 0; c2 < dim; ++c2) fprintf(stderr, " %12.5g", K(r, c2)); fprintf(stderr, " | %12.5g\n", ws.rhs[sz(r)]); }
            for (int s = 0; s < ws.slots(); ++s) fprintf(stderr, "  n[%d]=%g mu=%g\n", s, ws.n[sz(s)], ws.mu[sz(s)]);
        }
        if (!lu_factor(std::span<double>(ws.K.data(), d * d), d, ws.piv)) return NewtonOutcome::singular;
        lu_solve(std::span<const double>(ws.K.data(), d * d), d, ws.piv, std::span<double>(ws.rhs.data(), d));
        for (int j = 0; j < E; ++j) ws.pi[sz(j)] = ws.rhs[sz(j)];
        // Residuals and steps.
        double mu_res = 0.0;
        row = E;
        for (int ci = 0; ci < NC; ++ci) {
            Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            ws.step[sz(ci)] = ws.rhs[sz(row++)];
            if (c.pure) continue;
            const double lnN = std::log(c.N);
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double* ar = ws.arow(s);
                double api = 0.0;
                for (int j = 0; j < E; ++j) api += ar[j] * ws.pi[sz(j)];
                const double r = ws.mu[sz(s)] - api;
                const bool at_floor = std::log(ws.n[sz(s)]) - lnN <= kLnFloor + 1.0 && r > 0.0;
                if (!at_floor) mu_res = std::max(mu_res, std::abs(r));
                if (c.ideal) {
                    ws.dln[sz(s)] = -r;
                } else {
                    const double* vr = ws.V.data() + sz(s) * sz(E);
                    double v = -ws.y[sz(s)];
                    for (int j = 0; j < E; ++j) v += vr[j] * ws.pi[sz(j)];
                    ws.dln[sz(s)] = v / std::sqrt(ws.n[sz(s)]);
                }
            }
        }
        if (!std::isfinite(mu_res)) return NewtonOutcome::diverged;
        const bool converged = mu_res <= ws.opt.mu_tol && balance <= ws.opt.balance_tol;
        // Step length.
        double lam = 1.0;
        for (const Candidate& c : ws.cand) {
            if (!c.present || c.pure) continue;
            const double lnN = std::log(c.N);
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double lnx = std::log(ws.n[sz(s)]) - lnN;
                const double dl = ws.dln[sz(s)];
                if (lnx > kLnMajor) {
                    if (std::abs(dl) * lam > 2.0) lam = 2.0 / std::abs(dl);
                } else if (dl > 0.0 && lnx + lam * dl > kLnTraceCap) {
                    lam = std::max((kLnTraceCap - lnx) / dl, 1e-3);
                }
            }
        }
        int leaving = -1;
        for (int ci = 0; ci < NC; ++ci) {
            const Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            const double st = ws.step[sz(ci)];
            double rem = 2.0;
            if (c.pure && st < 0.0) rem = -ws.n[sz(c.first)] / st;
            if (!c.pure && st < -1.0) rem = -1.0 / st;
            if (rem <= lam) {
                lam = rem;
                leaving = ci;
            }
        }
        // Update.
        for (int ci = 0; ci < NC; ++ci) {
            Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            const double st = ws.step[sz(ci)];
            if (c.pure) {
                ws.n[sz(c.first)] = std::max(0.0, ws.n[sz(c.first)] + lam * st);
                c.N = ws.n[sz(c.first)];
                continue;
            }
            const double Nnew = c.N * (1.0 + lam * st);
            double sum = 0.0;
            const double lnN = std::log(c.N);
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double lnx = std::max(std::log(ws.n[sz(s)]) - lnN + lam * ws.dln[sz(s)], kLnFloor);
                ws.n[sz(s)] = std::exp(lnx);
                sum += ws.n[sz(s)];
            }
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] *= Nnew / sum;
            c.N = Nnew;
        }
        if (leaving >= 0) {
            Candidate& c = ws.cand[sz(leaving)];
            c.present = false;
            c.N = 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = 0.0;
            removed = leaving;
            return NewtonOutcome::phase_removed;
        }
        if (converged) return NewtonOutcome::converged;
    }
    return NewtonOutcome::diverged;
}

}  // namespace eqcore::detail
