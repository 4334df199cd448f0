// Newton iteration on the Lagrangian of a fixed phase assemblage.
//
// Unknowns reduced to: the change of the element potentials dpi (/RT), one
// relative amount change t per present mixture phase and the amount change
// of each present stoichiometric phase. With r = mu/RT - A pi the residuals
// at the previous potentials, a mixture phase with Hessian M = dmu/dn
// (singular along n) changes its constituents by
//     dn = P (A dpi - r) + t n,   P = (D^-1 + E/(N RT))^-1,
// where D = diag(n) and E = N d(mu_excess)/dn; P = D for an ideal phase, the
// classical form d ln n_i = a_i.dpi - r_i + t. With P = D^1/2 C^-1 D^1/2,
// C = I + X^1/2 E X^1/2 / RT, the reduced (symmetric) system is
//     [ sum A'PA   A'n   a_p ] [dpi]   [ b - A n + sum A'P r ]
//     [ n'A        0     0   ] [t  ] = [ n' r ]
//     [ a_p'       0     0   ] [dn ]   [ r_p ]
// Solving for the change of the potentials keeps the right-hand side small
// near the solution, so that potentials and trace amounts are accurate even
// when the system is ill-conditioned (a nearly stoichiometric feed).
// A phase with sublattices has site amounts as its constituents, ideal
// mixing within each sublattice (D^-1 then stands for the per-sublattice
// curvature less its rank-one parts, which on the directions that keep the
// site ratios add up to one along n) and the linear constraints
// N_g / a_g equal for its sublattices g. Its P is C^-1 restricted to the
// directions that keep them, Z (Z' C Z)^-1 Z' in the scaled variables
// (solver/projected.cpp): its changes keep the ratios, P 1 = n still holds,
// and the reduced system above is unchanged. At its solution mu - A pi is
// one multiplier per sublattice with sum_g a_g kappa_g = 0.
// Compositions change in logarithmic form where they rise or are traces; a
// falling major fraction follows the linear model down to a small fraction,
// then an exponential tail, so that it stays positive yet may vanish in one
// step. Phase amounts change linearly.
// The step is shortened so that no stoichiometric amount turns negative;
// a phase whose amount would reach zero leaves.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <Eigen/Dense>

#include "solver/dense_lu.hpp"
#include "solver/gas_newton.hpp"
#include "solver/newton_step.hpp"
#include "solver/shift_sequence.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }
constexpr double kTracePhase = 1e-8;  // relative amount below which a mixture phase is a trace
// Smallest pivot of the equilibrated system, relative: a direction with less
// curvature is one that only traces within the phases fix (the same measure
// as free_directions': singular values of the weighted rows below 1e-3).
constexpr double kScaledPivot = 1e-6;
constexpr int kIdleRepeats = 3;       // idle iterations in a row that show every later one repeats them

double a_dot_b(const Workspace& ws, int q) {
    double x = 0.0;
    for (int j = 0; j < ws.E; ++j) x += ws.null[sz(q) * sz(ws.E) + sz(j)] * ws.b[sz(j)];
    return x;
}

// sqrt(x y) of two fractions. Below the smallest normal number the product
// loses its digits or vanishes (two traces of 1e-160): the remainder's
// curvature of such traces, of order 1 in C, would be lost with it. A
// fraction held at the floor of ln x is no amount the model resolves: it
// adds no curvature.
double root_product(double x, double y) {
    const double xy = x * y;
    if (xy >= std::numeric_limits<double>::min()) return std::sqrt(xy);
    const double floor = std::exp(kLnFloor + 1.0);
    return x <= floor || y <= floor ? 0.0 : std::sqrt(x) * std::sqrt(y);
}

// ln x of every constituent of the present mixtures from the amounts (the
// fraction within its sublattice where the phase has several). Within an
// iteration the logarithms are then carried along with the amounts.
void refresh_lnx(Workspace& ws) {
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.pure) continue;
        for (int g = c.group0; g < c.group0 + c.groups; ++g) {
            const double invN = 1.0 / (c.groups == 1 ? c.N : ws.group_amount(g));
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) ws.lnx[sz(s)] = std::log(ws.n[sz(s)] * invN);
        }
    }
}

// The site-ratio constraints of candidate c in the scaled variables, into
// ws.cons: X^1/2 (1_g / a_g - 1_0 / a_0) for every group g after the first.
void site_ratio_columns(Workspace& ws, const Candidate& c) {
    const int m = c.count, nc = c.groups - 1;
    const std::span<double> G(ws.cons.data(), sz(m * nc));
    std::fill(G.begin(), G.end(), 0.0);
    const int g0 = c.group0;
    for (int q = 0; q < nc; ++q) {
        const int g = g0 + 1 + q;
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
            G[sz((s - c.first) * nc + q)] = std::sqrt(ws.xtry[sz(s - c.first)]) / ws.grp_sites[sz(g)];
        for (int s = ws.grp_begin[sz(g0)]; s < ws.grp_end[sz(g0)]; ++s)
            G[sz((s - c.first) * nc + q)] = -std::sqrt(ws.xtry[sz(s - c.first)]) / ws.grp_sites[sz(g0)];
    }
}

// Assembles the contribution of present mixture candidate c: its part of the
// element block (ws.KE), column u, right-hand sides and balance residuals;
// computes mu and the residuals r.
void assemble_mixture(Workspace& ws, Candidate& c, std::size_t d, int row) {
    const int E = ws.E;
    auto K = [&](int r, int k) -> double& { return ws.K[sz(r) * d + sz(k)]; };
    double* col = ws.col.data();
    double* KE = ws.KE.data();
    double* rhs = ws.rhs.data();
    const double* pi = ws.pi.data();
    std::fill(col, col + E, 0.0);
    const int m = c.count;
    // An ideal phase of one group has P = D: its part of the system in closed
    // form. Any other needs x, the fractions of its amount.
    const bool closed = c.ideal && c.groups == 1;
    if (!closed) {
        const double invN = 1.0 / c.N;
        for (int k = 0; k < m; ++k) ws.xtry[sz(k)] = ws.n[sz(c.first + k)] * invN;
    }
    if (!c.ideal) remainder_at(ws, c, ws.xtry.data(), true, true);
    double g = 0.0;
    for (int s = c.first; s < c.first + m; ++s) {
        const double ns = ws.n[sz(s)];
        double mu = ws.g0[sz(s)] + ws.lnx[sz(s)];
        if (!c.ideal) mu += ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
        ws.mu[sz(s)] = mu;
        const double r = mu - ws.adot(s, pi);
        ws.res[sz(s)] = r;
        g += ns * r;
        const int nz_end = ws.nz_off[sz(s) + 1];
        if (!closed) {
            for (int q = ws.nz_off[sz(s)]; q < nz_end; ++q) col[ws.nz_elem[sz(q)]] += ns * ws.nz_coef[sz(q)];
            continue;
        }
        add_ideal_terms(ws, s, ns, r, col, rhs, KE);
    }
    for (int j = 0; j < E; ++j) {
        K(j, row) = K(row, j) = col[j];
        ws.bal[sz(j)] -= col[j];
    }
    rhs[row] = g;
    if (closed) return;
    // C = I + X^1/2 (N dmu_ex/dn / RT) X^1/2 over the usable constituents.
    // Inside a spinodal C is not positive definite: it is shifted by a
    // multiple of I until it is, so that the step still lowers G (at a
    // stable solution no shift is needed and Newton is exact). With
    // sublattices only the directions that keep the site ratios count:
    // C is projected on them first (P then maps into them as well).
    // The remainder's part T, term(i, k), is formed once for the lower
    // triangle, the one Cholesky reads and overwrites: each shift then only
    // changes the diagonal. A full C (LU, projection) takes the upper
    // triangle's terms as well. (0.0 + turns a -0 into the +0 that I's
    // off-diagonal adds.)
    const std::size_t pm = sz(c.model->layout().variables);
    const std::span<double> C(ws.C.data(), sz(m * m));
    double* T = ws.Cterm.data();
    const int* var = ws.slot_var.data() + c.first;
    auto term = [&](int i, int k) {
        if (c.ideal) return 0.0;
        const double e = ws.dmuex[sz(var[i]) * pm + sz(var[k])];
        return 0.0 + root_product(ws.xtry[sz(i)], ws.xtry[sz(k)]) * e / ws.RT;
    };
    for (int i = 0; i < m; ++i)
        for (int k = 0; k <= i; ++k) T[i * m + k] = term(i, k);
    auto fill_C = [&](double shift, bool lower) {
        for (int i = 0; i < m; ++i) {
            const double* Ti = T + sz(i * m);
            double* Ci = C.data() + sz(i * m);
            std::copy(Ti, Ti + i, Ci);
            Ci[i] = (1.0 + shift) + Ti[i];
            if (!lower)
                for (int k = i + 1; k < m; ++k) Ci[k] = term(i, k);
        }
    };
    const int nc = c.groups - 1;
    bool indefinite = false;  // C factorised as it is by LU (not positive definite)
    double used_shift = 0.0;  // the multiple of I added to C's diagonal
    if (nc == 0) {
        double least = kNoBound;  // bound on C's least eigenvalue from the failed attempts
        for (double shift = 0.0;; shift = next_shift(shift, least)) {
            fill_C(shift, true);
            const std::size_t failed = cholesky_failed_row(C, sz(m), 1e-10);
            if (failed == sz(m) || shift > 1e8) {
                ws.shifted = ws.shifted || shift > 0.0;
                used_shift = shift;
                break;
            }
            least = std::min(least, least_eigenvalue_bound(C, sz(m), failed, T, sz(m), 1.0, shift));
            // Near the solution the assemblage as a whole may be stable
            // where this phase alone is not: Newton's own step, with C as
            // it is, converges there quadratically (a shifted one only
            // linearly).
            if (shift == 0.0 && ws.exact_steps) {
                fill_C(0.0, false);
                if (lu_factor(C, sz(m), std::span<std::size_t>(ws.cpiv.data(), sz(m)), 1e-10)) {
                    indefinite = true;
                    ws.indefinite = true;
                    break;
                }
            }
        }
    } else {
        fill_C(0.0, false);
        site_ratio_columns(ws, c);
        used_shift = factor_projected(ws, m, nc, C, ws.exact_steps);
        ws.shifted = used_shift > 0.0 || ws.shifted;
        if (ws.cz_lu) ws.indefinite = true;
    }
    // V = C^-1 D^1/2 A and y = C^-1 D^1/2 r, one column of B = D^1/2 [A r]
    // at a time (column j at B + j m). W keeps D^1/2 A (column j at W + j m)
    // for the element block and its right-hand side below.
    double* B = ws.Vrhs.data();
    double* W = B + sz((E + 1) * m);
    double* root = B + E * m;  // D^1/2 until it becomes D^1/2 r
    for (int i = 0; i < m; ++i) root[i] = std::sqrt(ws.n[sz(c.first + i)]);
    for (int j = 0; j < E; ++j) {
        const double* aj = ws.a.data() + sz(c.first) * sz(E) + sz(j);
        for (int i = 0; i < m; ++i) W[j * m + i] = root[i] * aj[i * E];
    }
    for (int i = 0; i < m; ++i) root[i] *= ws.res[sz(c.first + i)];
    std::copy(W, W + E * m, B);
    if (nc == 0 && !indefinite) {
        cholesky_solve_columns(C, sz(m), std::span<double>(B, sz((E + 1) * m)), sz(E + 1));
    } else {
        for (int j = 0; j <= E; ++j) {
            const std::span<double> t(B + j * m, sz(m));
            if (nc > 0) {
                solve_projected(ws, m, nc, t.data());
            } else {
                lu_solve(C, sz(m), std::span<const std::size_t>(ws.cpiv.data(), sz(m)), t);
            }
        }
    }
    exact_trace_rows(ws, c, used_shift, B);
    for (int i = 0; i < m; ++i) {
        const int s = c.first + i;
        double* vr = ws.V.data() + sz(s) * sz(E);
        for (int j = 0; j < E; ++j) vr[j] = B[j * m + i];
        ws.y[sz(s)] = B[E * m + i];
    }
    // rhs += W' y and the lower half of KE += W' V, each entry summed over
    // the constituents in their order.
    const double* y = B + E * m;
    for (int j = 0; j < E; ++j) {
        const double* Wj = W + j * m;
        double r = rhs[j];
        for (int i = 0; i < m; ++i) r += Wj[i] * y[i];
        rhs[j] = r;
        for (int k = 0; k <= j; ++k) {
            const double* Vk = B + k * m;
            double e = KE[j * E + k];
            for (int i = 0; i < m; ++i) e += Wj[i] * Vk[i];
            KE[j * E + k] = e;
        }
    }
}

// The square root of an amount's share of the whole it belongs to (0 for a
// whole that holds nothing).
double share_of(double n, double whole) {
    return whole > 0.0 ? std::sqrt(n / whole) : 0.0;
}

}  // namespace

// Null space of the stoichiometry rows of the present constituents: the
// directions along which pi is free (free_basis.cpp finds them from the rows
// given here).
int free_directions(Workspace& ws) {
    // Rows weighted by the square root of the amounts: a direction that only
    // traces below the resolution of the Newton matrix constrain is free too
    // (an exactly stoichiometric feed); stoichiometric phases fix theirs.
    const int E = ws.E;
    FreeBasis& basis = ws.free_basis;
    basis.start(E, ws.b.data());
    // A phase with sublattices changes its elements only along directions
    // that keep its site ratios: its rows are the content of a formula unit
    // with the slot's constituent on its sublattice and the present
    // fractions on the others (a sublattice of a single major constituent
    // then adds no direction of its own).
    // Scratch sized here, not per solve: most solves never get here.
    ws.free_row.resize(sz(E));
    ws.free_unit.resize(sz(E));
    ws.free_mean.resize(sz(E) * sz(ws.max_groups));
    double* unit = ws.free_unit.data();
    double* mean = ws.free_mean.data();
    double* row = ws.free_row.data();
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.groups > 1) {
            std::fill(unit, unit + E, 0.0);
            std::fill(mean, mean + c.groups * E, 0.0);
            for (int g = 0; g < c.groups; ++g) {
                const int gg = c.group0 + g;
                const double Ng = ws.group_amount(gg);
                for (int s = ws.grp_begin[sz(gg)]; s < ws.grp_end[sz(gg)]; ++s)
                    for (int j = 0; j < E; ++j) mean[g * E + j] += ws.n[sz(s)] / Ng * ws.arow(s)[j];
                for (int j = 0; j < E; ++j) unit[j] += ws.grp_sites[sz(gg)] * mean[g * E + j];
            }
            for (int g = 0; g < c.groups; ++g) {
                const int gg = c.group0 + g;
                const double Ng = ws.group_amount(gg);
                for (int s = ws.grp_begin[sz(gg)]; s < ws.grp_end[sz(gg)]; ++s) {
                    for (int j = 0; j < E; ++j)
                        row[j] = unit[j] + ws.grp_sites[sz(gg)] * (ws.arow(s)[j] - mean[g * E + j]);
                    basis.add(row, std::sqrt(ws.n[sz(s)]), c.pure, share_of(ws.n[sz(s)], Ng));
                }
            }
            continue;
        }
        for (int s = c.first; s < c.first + c.count; ++s)
            basis.add(ws.arow(s), c.pure ? 1.0 : std::sqrt(ws.n[sz(s)]), c.pure,
                      c.pure ? 0.0 : share_of(ws.n[sz(s)], c.N));
    }
    // Directions no present constituent depends on at all (exactly free:
    // G does not change along them) come first; those only traces fix
    // follow, orthogonal to them.
    ws.null_dim = basis.finish(ws.null.data(), ws.exact_dim);
    return ws.null_dim;
}

namespace {

// The iteration of balance_free_directions over the k directions that
// follow the first k0 of ws.null, on matrices of type Mat (of fixed capacity
// for small k: no allocation).
template <class Mat>
bool balance_along(Workspace& ws, int k0, int k) {
    using Vec = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, Mat::MaxRowsAtCompileTime, 1>;
    const int E = ws.E;
    const double* null = ws.null.data() + sz(k0) * sz(E);
    Vec F(k), w(k), na(k), mean(k), dev(k);
    Mat J(k, k);
    // The state before the last step.
    std::vector<double>&n_before = ws.balance_n, &pi_before = ws.balance_pi, &N_before = ws.balance_N;
    N_before.resize(ws.cand.size());
    // Each present constituent's content along the directions (slot s,
    // direction q at s k + q): fixed while the traces move.
    std::vector<double>& content = ws.balance_content;
    content.resize(sz(ws.slots()) * sz(k));
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        for (int s = c.first; s < c.first + c.count; ++s)
            for (int q = 0; q < k; ++q) content[sz(s) * sz(k) + sz(q)] = ws.adot(s, null + sz(q) * sz(E));
    }
    double left_before = 0.0;
    for (int it = 0; it < 60; ++it) {
        F.setZero();
        J.setZero();
        for (int q = 0; q < k; ++q) F(q) = -a_dot_b(ws, k0 + q);
        // A trace follows exp(a.w); on a sublattice its amount is then
        // renormalised to the sublattice's (fixed) amount, so that its change
        // is n (a - the sublattice's mean a).w.
        for (const Candidate& c : ws.cand) {
            if (!c.present) continue;
            for (int g = c.group0; g < c.group0 + c.groups; ++g) {
                mean.setZero();
                if (c.groups > 1) {
                    const double Ng = ws.group_amount(g);
                    for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                        for (int q = 0; q < k; ++q) mean(q) += ws.n[sz(s)] / Ng * content[sz(s) * sz(k) + sz(q)];
                }
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                    const double n = ws.n[sz(s)];
                    for (int q = 0; q < k; ++q) na(q) = content[sz(s) * sz(k) + sz(q)];
                    for (int q = 0; q < k; ++q) F(q) += n * na(q);
                    if (c.pure) continue;
                    // J += n (na - mean)(na - mean)', without temporaries.
                    for (int q = 0; q < k; ++q) dev(q) = na(q) - mean(q);
                    for (int r = 0; r < k; ++r)
                        for (int q = 0; q < k; ++q) J(q, r) += dev(r) * (n * dev(q));
                }
            }
        }
        // What is left along the directions, relative to the material along
        // them. Well inside the balance tolerance it may be the rounding of
        // the majors' sums, which no trace can take up: the iteration stops
        // once a step no longer halves it (and undoes that step).
        double left = 0.0;
        for (int q = 0; q < k; ++q) {
            double along = 0.0;
            for (int j = 0; j < E; ++j) along += std::abs(null[sz(q) * sz(E) + sz(j)]) * ws.b[sz(j)];
            left = std::max(left, std::abs(F(q)) / along);
        }
        const double fine = 0.01 * ws.opt.balance_tol;
        if (left <= fine && it > 0 && left > 0.5 * left_before) {
            if (left_before <= fine) {
                ws.n = n_before;
                ws.pi = pi_before;
                for (std::size_t c = 0; c < ws.cand.size(); ++c) ws.cand[c].N = N_before[c];
            }
            return true;
        }
        if (left == 0.0) return true;
        left_before = left;
        n_before = ws.n;
        pi_before = ws.pi;
        for (std::size_t c = 0; c < ws.cand.size(); ++c) N_before[c] = ws.cand[c].N;
        Eigen::LDLT<Mat> ldlt(J);
        if (ldlt.info() != Eigen::Success || !(ldlt.rcond() > 1e-14)) return false;
        w = -ldlt.solve(F);
        const double len = w.norm();
        if (!std::isfinite(len)) return false;
        if (len > 5.0) w *= 5.0 / len;
        for (Candidate& c : ws.cand) {
            if (!c.present || c.pure) continue;
            double N = 0.0;
            for (int g = c.group0; g < c.group0 + c.groups; ++g) {
                const double before = c.groups > 1 ? ws.group_amount(g) : 0.0;
                double after = 0.0;
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                    double shift = 0.0;
                    for (int q = 0; q < k; ++q) shift += content[sz(s) * sz(k) + sz(q)] * w(q);
                    ws.n[sz(s)] = std::max(ws.n[sz(s)] * std::exp(shift), 1e-300);
                    after += ws.n[sz(s)];
                }
                // Sublattices keep their amounts (the site ratios hold):
                // only their compositions follow the potentials.
                if (c.groups > 1)
                    for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) ws.n[sz(s)] *= before / after;
                N += c.groups > 1 ? before : after;
            }
            c.N = N;
        }
        for (int q = 0; q < k; ++q)
            for (int j = 0; j < E; ++j) ws.pi[sz(j)] += w(q) * null[sz(q) * sz(E) + sz(j)];
        if (len < 1e-12) return true;
    }
    return false;
}

// Along free directions the element balances are carried by traces alone:
// shift pi there until the traces balance (each trace follows exp(a.pi)).
bool balance_free_directions(Workspace& ws) {
    // Only the directions traces fix: along the exact ones nothing moves.
    const int k0 = ws.exact_dim, k = ws.null_dim - k0;
    if (k == 0) return false;
    // One such direction beside a gas or a solution: its root found first
    // in log form (where it exists), which the iteration below then polishes.
    if (k == 1) balance_trace_direction(ws, ws.null.data() + sz(k0) * sz(ws.E));
    using Capped = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, kFreeBasisCap, kFreeBasisCap>;
    if (k <= kFreeBasisCap) return balance_along<Capped>(ws, k0, k);
    return balance_along<Eigen::MatrixXd>(ws, k0, k);
}

// The residuals at the new potentials dpi and the composition changes of
// present candidate c with sublattices. At a solution mu_s - a_s.pi is the
// same for the constituents of one sublattice (its multiplier kappa_g) and
// sum_g a_g kappa_g = 0 (the phase touches the plane); what is measured is
// the departure from both, each scaled to a formula unit.
void sublattice_changes(Workspace& ws, const Candidate& c, const double* dpi, double& mu_res, double& max_dl) {
    const int E = ws.E;
    double touch = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        double kappa = 0.0;
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            ws.rnew[sz(s)] = ws.res[sz(s)] - ws.adot(s, dpi);
            kappa += std::exp(ws.lnx[sz(s)]) * ws.rnew[sz(s)];
        }
        touch += ws.grp_sites[sz(g)] * kappa;
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const double dev = ws.rnew[sz(s)] - kappa;
            const bool at_floor = ws.lnx[sz(s)] <= kLnFloor + 1.0 && dev > 0.0;
            const double* vr = ws.V.data() + sz(s) * sz(E);
            double v = -ws.y[sz(s)];
            for (int j = 0; j < E; ++j) v += vr[j] * dpi[j];
            ws.dln[sz(s)] = v / std::sqrt(ws.n[sz(s)]);
            if (at_floor) continue;
            mu_res = std::max(mu_res, ws.grp_sites[sz(g)] * std::abs(dev));
            max_dl = std::max(max_dl, std::abs(ws.dln[sz(s)]));
        }
    }
    mu_res = std::max(mu_res, std::abs(touch));
}

// A present ideal mixture (a gas) whose whole amount is a trace of the
// material and that has held it since the start (one added in this
// calculation and shrunk to a trace is more likely being squeezed out by the
// phase rule, which the caller settles on a singular verdict).
bool trace_phase(const Workspace& ws) {
    double total = 0.0;
    for (const Candidate& c : ws.cand) total += c.present ? c.N : 0.0;
    for (const Candidate& c : ws.cand)
        if (c.present && !c.pure && c.ideal && c.added == 0 && c.N < kTracePhase * total) return true;
    return false;
}

// The first slot of a present mixture whose composition change |dln| is
// `change` (the largest one, found by the loops that measure the step).
int slot_changing_by(const Workspace& ws, double change) {
    for (const Candidate& c : ws.cand)
        if (c.present && !c.pure)
            for (int s = c.first; s < c.first + c.count; ++s)
                if (std::abs(ws.dln[sz(s)]) == change) return s;
    return -1;
}

// Back to the state before the last long step (kept in ws.back_*).
void take_back(Workspace& ws) {
    std::copy(ws.back_n.begin(), ws.back_n.end(), ws.n.begin());
    std::copy(ws.back_lnx.begin(), ws.back_lnx.end(), ws.lnx.begin());
    std::copy(ws.back_pi.begin(), ws.back_pi.end(), ws.pi.begin());
    for (std::size_t ci = 0; ci < ws.cand.size(); ++ci) ws.cand[ci].N = ws.back_N[ci];
}

}  // namespace

void settle_free_potentials(Workspace& ws) {
    const int E = ws.E, k = ws.null_dim;
    if (k == 0) return;
    // Newton on w minimising ln sum_c Z_c(pi + N w), Z_c = sum_i exp(a_i.pi - mu°_i).
    Eigen::VectorXd grad(k), w(k);
    Eigen::MatrixXd hess(k, k);
    Eigen::VectorXd na(k);
    for (int it = 0; it < 30; ++it) {
        double Z = 0.0;
        grad.setZero();
        hess.setZero();
        double top = -1e300;
        for (const Candidate& c : ws.cand)
            if (!c.present && !c.excluded && !c.pure && c.ideal && c.groups == 1)
                for (int s = c.first; s < c.first + c.count; ++s) top = std::max(top, ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]);
        if (top == -1e300) return;
        for (const Candidate& c : ws.cand) {
            if (c.present || c.excluded || c.pure || !c.ideal || c.groups > 1) continue;
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double z = std::exp(ws.adot(s, ws.pi.data()) - ws.g0[sz(s)] - top);
                for (int q = 0; q < k; ++q) na(q) = ws.adot(s, ws.null.data() + sz(q) * sz(E));
                Z += z;
                grad += z * na;
                hess += z * na * na.transpose();
            }
        }
        grad /= Z;
        hess = hess / Z - grad * grad.transpose();
        Eigen::LDLT<Eigen::MatrixXd> ldlt(hess);
        if (ldlt.info() != Eigen::Success || ldlt.rcond() < 1e-12) return;  // Z does not depend on the free directions
        w = -ldlt.solve(grad);
        const double len = w.norm();
        if (len > 5.0) w *= 5.0 / len;
        for (int q = 0; q < k; ++q)
            for (int j = 0; j < E; ++j) ws.pi[sz(j)] += w(q) * ws.null[sz(q) * sz(E) + sz(j)];
        if (len < 1e-12) return;
    }
}

void evaluate_mu(Workspace& ws) {
    ws.ln_y.resize(sz(ws.slots()));
    for (const Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            ws.mu[sz(c.first)] = ws.g0[sz(c.first)];
            continue;
        }
        for (int g = c.group0; g < c.group0 + c.groups; ++g) {
            const double invNg = 1.0 / (c.groups == 1 ? c.N : ws.group_amount(g));
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                ws.ln_y[sz(s)] = std::log(ws.n[sz(s)] * invNg);
                ws.mu[sz(s)] = ws.g0[sz(s)] + ws.ln_y[sz(s)];
            }
        }
        const double invN = 1.0 / c.N;
        if (!c.ideal) {
            for (int k = 0; k < c.count; ++k) ws.xtry[sz(k)] = ws.n[sz(c.first + k)] * invN;
            remainder_at(ws, c, ws.xtry.data(), true, false);
            for (int k = 0; k < c.count; ++k)
                ws.mu[sz(c.first + k)] += ws.muex[sz(ws.slot_var[sz(c.first + k)])] / ws.RT;
        }
    }
}

// The residuals of the iterate as it stands, from its chemical potentials
// alone (no curvature): whether every one and every balance lies far inside
// its tolerance. Called after a full step so short that the step after it
// would move nothing beyond the rounding of what it corrects: the state is
// then Newton's answer as it is. Compounds and mixtures of one mixing group
// only (false, nothing measured, with another). Leaves ws.mu and ws.res
// at the iterate.
namespace {
bool settled_as_it_stands(Workspace& ws) {
    double mu_res = 0.0;
    for (Candidate& c : ws.cand) {
        if (!c.present) continue;
        if (c.pure) {
            ws.mu[sz(c.first)] = ws.g0[sz(c.first)];
            mu_res = std::max(mu_res, std::abs(ws.g0[sz(c.first)] - ws.adot(c.first, ws.pi.data())));
            continue;
        }
        if (c.groups > 1) return false;
        if (!c.ideal) {
            const double invN = 1.0 / c.N;
            for (int k = 0; k < c.count; ++k) ws.xtry[sz(k)] = ws.n[sz(c.first + k)] * invN;
            remainder_at(ws, c, ws.xtry.data(), true, false);
        }
        for (int s = c.first; s < c.first + c.count; ++s) {
            double mu = ws.g0[sz(s)] + ws.lnx[sz(s)];
            if (!c.ideal) mu += ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
            ws.mu[sz(s)] = mu;
            const double r = mu - ws.adot(s, ws.pi.data());
            ws.res[sz(s)] = r;
            const bool at_floor = ws.lnx[sz(s)] <= kLnFloor + 1.0 && r > 0.0;
            if (!at_floor) mu_res = std::max(mu_res, ws.res_weight[sz(s)] * std::abs(r));
        }
    }
    return mu_res <= kSettledShare * ws.opt.mu_tol && balance_residual(ws) <= kSettledShare * ws.opt.balance_tol;
}
}  // namespace

NewtonOutcome newton(Workspace& ws, int& removed) {
    const int E = ws.E;
    const int NC = static_cast<int>(ws.cand.size());
    removed = -1;
    ws.null_dim = 0;
    ws.exact_dim = 0;
    bool loose = false;  // accept tiny pivots (after a first singular verdict)
    bool scaled = false;  // the system equilibrated before it is solved
    bool scaling_failed = false;  // ... and singular all the same
    bool balanced = false, traced = false;
    int rebalanced = 0;
    double rebalanced_at = HUGE_VAL;
    int polishes = 0;
    // Exact steps through indefinite blocks once the residuals are small
    // and full steps are taken; given up for this assemblage if one of them
    // does not bring the residuals down.
    double last_mu_res = HUGE_VAL;
    bool last_full = false, last_indefinite = false, exact_ok = true;
    // The last step was full and short enough for the state after it to be
    // taken as it stands where its residuals allow (settled_as_it_stands).
    bool last_short = false;
    // A long step (a composition changing by a factor e^(1/4) or more) with a non-ideal
    // mixture present, or one from a shifted block (a phase inside its spinodal, where the step follows no
    // Newton model of G) may throw the residuals far up: a phase's
    // composition thrown into another basin, or a cycle of such steps. Such
    // a step is taken back and retaken shorter, the largest composition
    // change bounded by `trust` (which doubles again with every step kept).
    // Steps within a trust below that length are never backed up, so the
    // trust also doubles while it keeps cutting the fall of the same
    // constituent, by a change that does not grow (`trust_cut`, `cut_at`,
    // `cut_dl`: a trace falling steadily towards the rounding of an exact
    // feed, which a falling step cannot throw into another basin): else one
    // step taken back would bound every later step to a sixteenth of it.
    bool backed_up = false, trust_cut = false;
    int cut_at = -1;      // the slot whose change the trust cut last
    double cut_dl = 0.0;  // and that change uncut
    bool retaken = false;  // a step that made the system singular was retaken (once per call)
    double back_mu = 0.0, back_len = 0.0, trust = HUGE_VAL;
    int zero_holds = 0;  // steps taken past a stoichiometric phase held at zero
    // Full steps in a row that left the residuals where they were and cut
    // the balance by a factor near e (traces removed e-fold per step).
    int trace_chase = 0;
    double last_balance = HUGE_VAL;
    // Converged steps in a row that left the balance open, and how far.
    int open_steps = 0;
    double last_open = HUGE_VAL;
    // Idle iterations in a row (see below) and the state before the last one.
    int idle = 0;
    std::vector<double> idle_n, idle_lnx;
    // No phase left to hold the material: nothing to iterate on.
    if (std::none_of(ws.cand.begin(), ws.cand.end(), [](const Candidate& c) { return c.present; }))
        return NewtonOutcome::singular;
    // A gas beside stoichiometric phases takes the same steps on its own
    // path; where that path hands over, this one goes on from the same
    // iteration with what its last step measured.
    NewtonCarry carry;
    NewtonOutcome gas_outcome = NewtonOutcome::diverged;
    if (gas_newton(ws, removed, gas_outcome, carry)) return gas_outcome;
    last_mu_res = carry.last_mu_res;
    last_full = carry.last_full;
    zero_holds = carry.zero_holds;
    trace_chase = carry.trace_chase;
    last_balance = carry.last_balance;
    if (!carry.started) {
        refresh_lnx(ws);
        if (ws.gauge_dim > 0) fix_gauge(ws, ws.pi.data());
    }
    // Directions no present constituent depends on (the charges of a melt of
    // neutral salts) are held by border rows from the start, as where the
    // factorisation fails (exact_directions.cpp: rounding may let it pass,
    // and the step along them then swamps the balance of an element held
    // only as a trace). The searches for more free directions below start
    // from them (`held0`).
    const int held0 = ws.null_dim == 0 ? hold_exact_directions(ws) : 0;
    for (int it = carry.it; it < ws.opt.max_newton; ++it) {
        ++ws.iterations;
        // An iteration cut short (retried or continued) breaks a run of idle ones.
        const int idle_before = idle;
        idle = 0;
        int dim = E;
        for (const Candidate& c : ws.cand) dim += c.present ? 1 : 0;
        // A Newton that stalls on directions only traces constrain (their
        // residuals jitter at the rounding level of the majors) treats them
        // as free.
        // So does one chasing traces along such a direction: its residuals
        // stay put while the balance falls only e-fold per step (an exactly
        // stoichiometric feed, whose majors fix every other direction).
        if ((it == kFreeSearchAt || trace_chase == kTraceChase) && ws.null_dim == ws.exact_dim) free_directions(ws);
        // Free directions of pi, when the present phases leave some, are
        // held fixed by border rows.
        const int nd = ws.null_dim;
        // After a full, short step from an exact block with no direction
        // held: the state as it stands, where its residuals are already far
        // inside their tolerances, without the last step's curvature.
        if (last_short && nd == 0 && !scaled && !loose && !ws.shifted && !ws.indefinite && settled_as_it_stands(ws)) {
            double moved = 0.0;
            if (polishes < 5) {
                moved = own_splits(ws);
                ++polishes;
                if (moved > 0.0) refresh_lnx(ws);
            }
            if (!(moved > 1e-12)) {
                polish_traces(ws);
                return NewtonOutcome::converged;
            }
        }
        const std::size_t d = sz(dim + nd);
        std::fill(ws.K.begin(), ws.K.begin() + static_cast<std::ptrdiff_t>(d * d), 0.0);
        std::fill(ws.rhs.begin(), ws.rhs.begin() + static_cast<std::ptrdiff_t>(d), 0.0);
        std::fill(ws.KE.begin(), ws.KE.end(), 0.0);
        ws.shifted = false;
        ws.indefinite = false;
        ws.exact_steps = exact_ok && last_full && last_mu_res <= kExactFrom;
        // Element balance residuals b - A n, gathered with the phases' columns.
        std::copy(ws.b.begin(), ws.b.end(), ws.bal.begin());
        int row = E;
        for (Candidate& c : ws.cand) {
            if (!c.present) continue;
            if (c.pure) {
                assemble_compound(ws, c, d, row);
            } else {
                assemble_mixture(ws, c, d, row);
            }
            ++row;
        }
        const double balance = close_element_rows(ws, d);
        // A border both holds pi along its direction and takes up the
        // balances along it (along an exact direction, their rounding).
        // Weighted by the element amounts, so that what it takes up from
        // the majors stays out of the rows of elements at a trace. Beside a
        // non-ideal mixture, measured against the largest amount along the
        // direction, so that a direction of trace elements only still has a
        // border of unit size (at the material's scale the mixture's
        // curvature in those traces makes the system look singular); so,
        // too, with compounds alone (two compounds holding a feed exactly,
        // one of them at a trace: at the material's scale the border of a
        // direction of trace elements fails the pivot test). With ideal
        // mixtures present, measured against the material's largest amount:
        // there a unit border upsets an exactly stoichiometric trace of the
        // gas (CO at 1e-15 beside Ar and N2).
        bool beside_mixture = false, compounds_only = true;
        double bmat = 0.0;
        if (nd > 0) {
            for (const Candidate& c : ws.cand) {
                beside_mixture = beside_mixture || (c.present && !c.pure && !c.ideal);
                compounds_only = compounds_only && (!c.present || c.pure);
            }
            for (int j = 0; j < E; ++j) bmat = std::max(bmat, ws.b[sz(j)]);
        }
        for (int q = 0; q < nd; ++q) {
            const double* nq = ws.null.data() + sz(q) * sz(E);
            const bool own_scale = beside_mixture || compounds_only;
            double bmax = own_scale ? 0.0 : bmat;
            if (own_scale)
                for (int j = 0; j < E; ++j)
                    if (std::abs(nq[j]) > 1e-12) bmax = std::max(bmax, ws.b[sz(j)]);
            for (int j = 0; j < E; ++j)
                ws.K[sz(j) * d + sz(dim + q)] = ws.K[sz(dim + q) * d + sz(j)] =
                    bmax > 0.0 ? nq[j] * ws.b[sz(j)] / bmax : 0.0;
        }
        // Compounds beside mixtures at trace amounts only: factorised in
        // the compounds' basis of pi, where the traces' pivots are measured
        // at their own scale (compound_basis.cpp); as assembled otherwise.
        // A gas present at a trace since the start is solved equilibrated
        // instead (below), the path that converges for it.
        bool in_compounds = !scaled && !trace_phase(ws) && to_compound_basis(ws, d);
        if (in_compounds && !lu_factor(std::span<double>(ws.K.data(), d * d), d, ws.piv, loose ? 0.0 : 1e-13)) {
            back_to_element_basis(ws);
            in_compounds = false;
        }
        if (scaled) {
            equilibrate(std::span<double>(ws.K.data(), d * d), d, ws.kscale);
            for (std::size_t i = 0; i < d; ++i) ws.rhs[i] *= ws.kscale[i];
        }
        if (!in_compounds &&
            !lu_factor(std::span<double>(ws.K.data(), d * d), d, ws.piv, loose ? 0.0 : scaled ? kScaledPivot : 1e-13)) {
            // A phase present at a trace amount beside major ones makes
            // the system badly scaled (a block of 1e-14 beside entries of
            // 1), not singular: solved equilibrated, unless that fails too.
            // Directions held free instead would also fix that phase's
            // composition while its amount is still settling (and no
            // composition might then sum to one).
            if (nd == held0 && !loose && !scaled && !scaling_failed && trace_phase(ws)) {
                scaled = true;
                --it;
                --ws.iterations;
                continue;
            }
            if (scaled) {
                scaled = false;
                scaling_failed = true;
            }
            if (nd == held0 && free_directions(ws) > held0) {
                --it;
                --ws.iterations;
                continue;
            }
            // Directions held free because only traces fix them, yet the
            // system is singular with their border rows: the present phases'
            // own rows already fix pi along them (a compound beside two
            // solutions at trace amounts, which between them fix every
            // direction), so a border over-determines pi. On the second try
            // of a calculation the directions are released to the traces
            // that fix them, with tiny pivots as below; the convergence test
            // still decides. (On the first, the assemblage is left as
            // singular: where its phases change instead, that path is the
            // one that converges.)
            if (ws.release_held && !loose && nd > ws.exact_dim) {
                ws.null_dim = ws.exact_dim;
                loose = true;
                --it;
                --ws.iterations;
                continue;
            }
            // Nearly singular but the present phases determine pi (traces
            // far below the major constituents): go on with the tiny pivots;
            // the convergence test still decides whether the answer holds.
            if (!loose && nd == held0) {
                loose = true;
                --it;
                --ws.iterations;
                continue;
            }
            // The two remedies below belong to the first try. The second try
            // (directions released, above) is a different path through the
            // same state, taken because the first failed: it keeps to its
            // own, so that a state either path settles is settled.
            // A long step that lands on a singular system (a mixture thrown
            // to a corner of its composition where it no longer holds an
            // element the balance needs from it) is taken back and retaken
            // shorter, as one that throws the residuals up (below). Once per
            // call: where every step of this direction, however short, ends
            // singular, retaking it only shrinks the steps to nothing.
            if (backed_up && !retaken && !ws.release_held) {
                retaken = true;
                take_back(ws);
                trust = 0.25 * back_len;
                backed_up = trust_cut = false;
                continue;
            }
            // Singular with the free directions held: what is left of the
            // system has pivots at the scale of elements fed as traces (a
            // compound's composition at 1e-14 of the material, dissolved in
            // a major mixture), below the threshold measured against the
            // majors: solved equilibrated, where each is measured at its
            // own scale.
            if (nd > 0 && !scaled && !scaling_failed && !ws.release_held) {
                scaled = true;
                --it;
                --ws.iterations;
                continue;
            }
            return NewtonOutcome::singular;
        }
        lu_solve(std::span<const double>(ws.K.data(), d * d), d, ws.piv, std::span<double>(ws.rhs.data(), d));
        if (scaled)
            for (std::size_t i = 0; i < d; ++i) ws.rhs[i] *= ws.kscale[i];
        if (in_compounds) potentials_from_compound_basis(ws, ws.rhs.data());
        if (ws.gauge_dim > 0) fix_gauge(ws, ws.rhs.data());
        const double* dpi = ws.rhs.data();
        // A change of the potentials far beyond what any amount can follow
        // (a factor e^700 spans every double) comes from a pivot at the
        // rounding of the matrix: a direction that only traces far below
        // their element's amount fix. Held free, as when the factorisation
        // fails, rather than stepped along.
        if (nd == held0 && !loose && !in_compounds && max_abs(dpi, E) > kMaxPotentialStep &&
            free_directions(ws) > held0) {
            --it;
            --ws.iterations;
            continue;
        }
        for (int j = 0; j < E; ++j) ws.pi[sz(j)] += dpi[j];
        // Residuals at the new potentials and the constituents' changes.
        double mu_res = 0.0;
        double max_dl = 0.0, max_t = 0.0;  // largest composition and mixture amount changes
        row = E;
        for (int ci = 0; ci < NC; ++ci) {
            const Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            ws.step[sz(ci)] = ws.rhs[sz(row++)];
            if (c.pure) {
                // Its potential at the new pi (exact unless the system was
                // solved with tiny pivots).
                mu_res = std::max(mu_res, std::abs(ws.g0[sz(c.first)] - ws.adot(c.first, ws.pi.data())));
                continue;
            }
            max_t = std::max(max_t, std::abs(ws.step[sz(ci)]));
            if (c.groups > 1) {
                sublattice_changes(ws, c, dpi, mu_res, max_dl);
                continue;
            }
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double r = ws.res[sz(s)] - ws.adot(s, dpi);
                const bool at_floor = ws.lnx[sz(s)] <= kLnFloor + 1.0 && r > 0.0;
                if (!at_floor) mu_res = std::max(mu_res, ws.res_weight[sz(s)] * std::abs(r));
                if (c.ideal) {
                    ws.dln[sz(s)] = -r;
                } else {
                    const double* vr = ws.V.data() + sz(s) * sz(E);
                    double v = -ws.y[sz(s)];
                    for (int j = 0; j < E; ++j) v += vr[j] * dpi[j];
                    ws.dln[sz(s)] = v / std::sqrt(ws.n[sz(s)]);
                }
                if (!at_floor) max_dl = std::max(max_dl, std::abs(ws.dln[sz(s)]));
            }
        }
        if (backed_up && !(mu_res <= std::max(4.0 * back_mu, 1.0))) {
            take_back(ws);
            trust = 0.25 * back_len;
            backed_up = trust_cut = false;
            continue;
        }
        // The slot of the largest composition change (only after a step the
        // trust cut, and for one it cuts: nothing else asks for it).
        int max_at = trust_cut ? slot_changing_by(ws, max_dl) : -1;
        const bool same_fall =
            trust_cut && max_at >= 0 && max_at == cut_at && ws.dln[sz(max_at)] < 0.0 && max_dl <= (1.0 + 1e-9) * cut_dl;
        if (backed_up || same_fall) trust *= 2.0;
        backed_up = trust_cut = false;
        if (!std::isfinite(mu_res)) return NewtonOutcome::diverged;
        if (last_indefinite && mu_res > last_mu_res) exact_ok = false;
        // Step length: rising majors by at most e^3, traces to at most 1e-4.
        double lam = 1.0;
        double total = 0.0;
        for (int ci = 0; ci < NC; ++ci) {
            const Candidate& c = ws.cand[sz(ci)];
            if (!c.present) continue;
            total += c.N;
            if (c.pure) continue;
            for (int s = c.first; s < c.first + c.count; ++s) {
                const double lnx = ws.lnx[sz(s)];
                const double dl = ws.dln[sz(s)];
                if (lnx > kLnMajor) {
                    if (dl * lam > kMaxRise) lam = kMaxRise / dl;
                } else if (dl > 0.0 && lnx + lam * dl > kLnTraceCap) {
                    lam = std::max((kLnTraceCap - lnx) / dl, 1e-3);
                }
            }
        }
        if (max_dl * lam > trust) lam = trust / max_dl;
        int leaving = -1;
        lam = limit_phase_steps(ws, lam, total, mu_res, balance, zero_holds, leaving);
        trust_cut = trust < HUGE_VAL && leaving < 0 && max_dl * lam >= (1.0 - 1e-12) * trust;
        if (trust_cut && max_at < 0) max_at = slot_changing_by(ws, max_dl);
        cut_at = max_at;
        cut_dl = max_dl;
        const StepMeasures measured{mu_res, balance, lam, max_dl, max_t, leaving, nd != ws.exact_dim};
        bool converged = step_converged(ws, measured);
        bool chasing = step_chases_traces(ws, measured, last_mu_res, last_balance);
        // (Ideal mixtures and compounds only: where a mixture has a
        // remainder, flat residuals may be its own slow settling.)
        if (chasing)
            for (const Candidate& c : ws.cand) chasing = chasing && (!c.present || c.pure || c.ideal);
        trace_chase = chasing ? trace_chase + 1 : 0;
        const double balance_before = last_balance;
        last_balance = balance;
        last_mu_res = mu_res;
        last_full = lam == 1.0 && leaving < 0;
        last_short = last_full && !trust_cut && max_dl * (max_dl + max_t) <= kShortStep;
        if (ws.indefinite && !last_full) exact_ok = false;
        last_indefinite = ws.indefinite;
        bool risky = ws.shifted;  // a long step counts with a present mixture that has a remainder
        if (!risky && lam * max_dl > 0.25)
            for (const Candidate& c : ws.cand) risky = risky || (c.present && !c.ideal);
        if (risky && leaving < 0 && !converged) {
            ws.back_n = ws.n;
            ws.back_lnx = ws.lnx;
            ws.back_pi = ws.pi;
            for (int j = 0; j < E; ++j) ws.back_pi[sz(j)] -= dpi[j];
            ws.back_N.resize(ws.cand.size());
            for (int ci = 0; ci < NC; ++ci) ws.back_N[sz(ci)] = ws.cand[sz(ci)].N;
            backed_up = true;
            back_mu = mu_res;
            back_len = lam * max_dl;
        }
        // Idle: settled potentials, a full, short, unshifted step that
        // leaves the amounts bit for bit as they were and moves the
        // potentials by rounding only, the balance still open along the
        // directions the border rows hold (the present phases cannot hold
        // the feed). Such an iteration changes nothing but the bookkeeping
        // of the last step, so from the second one in a row on (after the
        // free directions were sought again at iteration 20) every later
        // one repeats it, to the rounding of the potentials: the assemblage
        // ends here as it would after the last iteration, unconverged.
        const bool idle_step = !converged && !ws.shifted && it > kFreeSearchAt && lam == 1.0 && leaving < 0 &&
                               mu_res <= ws.opt.mu_tol && nd == ws.exact_dim && max_dl <= 0.25 &&
                               max_abs(dpi, E) <= 1e-14 * (1.0 + max_abs(ws.pi.data(), E));
        if (idle_step) {
            idle_n = ws.n;
            idle_lnx = ws.lnx;
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
            // Composition and phase amount change apart: the composition in
            // the form above, the amount linearly; each sublattice keeps its
            // share of the amount.
            const double Nnew = c.N * (1.0 + lam * st);
            for (int g = c.group0; g < c.group0 + c.groups; ++g) {
                double sum = 0.0;
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                    double lf = 0.0;
                    ws.n[sz(s)] *= amount_factor(lam * ws.dln[sz(s)], ws.lnx[sz(s)], lf);
                    ws.lnx[sz(s)] += lf;
                    sum += ws.n[sz(s)];
                }
                const double share = ws.grp_share[sz(g)];
                const double lnorm = std::log(sum / (share * c.N));
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                    ws.n[sz(s)] *= share * Nnew / sum;
                    ws.lnx[sz(s)] -= lnorm;
                }
            }
            c.N = Nnew;
        }
        // Converged only where the state reached holds the material: with
        // directions held by border rows the linear model leaves the balance
        // open along them (a feed off the present compounds' composition by
        // an amount no present phase can take up), however short the step.
        // Open along a direction no present constituent depends on, it stays
        // so whatever the steps: the assemblage cannot hold the material.
        // Left open by two more converged steps, each no nearer to closing
        // it, with no direction held for the traces to balance: the part
        // left open is one no step of this assemblage reaches (just inside
        // the tolerance along such a direction, beyond it in some element).
        if (converged) {
            const double open = balance_residual(ws);
            if (!(open <= ws.opt.balance_tol)) {
                if (open_where_fixed(ws)) return NewtonOutcome::diverged;
                open_steps = nd == ws.exact_dim && open >= 0.5 * last_open ? open_steps + 1 : 0;
                if (open_steps >= 2) return NewtonOutcome::diverged;
                last_open = open;
                converged = false;
            }
        }
        idle = idle_step && ws.n == idle_n && ws.lnx == idle_lnx ? idle_before + 1 : 0;
        if (idle == kIdleRepeats) return NewtonOutcome::diverged;
        if (leaving >= 0) {
            Candidate& c = ws.cand[sz(leaving)];
            c.present = false;
            c.N = 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = 0.0;
            removed = leaving;
            return NewtonOutcome::phase_removed;
        }
        // Held free directions leave their part of the balance to the
        // traces: once the potentials have settled, balance them by their
        // traces (once), then let Newton confirm the state.
        const bool settled = mu_res <= ws.opt.mu_tol;
        // Settled again after the traces were balanced, but the balance
        // still open: the held directions keep their part of it from ever
        // closing. Directions found free far from the solution (a first step
        // that sent majors down to traces) may be fixed by the majors again:
        // look again and let Newton close the balance along those; along
        // the directions still free, balance the traces anew: three times,
        // then where Newton's steps leave the balance where it was (after
        // the third, far from its tolerance), as long as each round at
        // least halves what the last one left (the traces that fix a
        // direction can take up their balance a fraction at a time, where
        // Newton moves the majors beside them between rounds).
        const bool stalled = balance >= 0.9 * balance_before;
        const bool far = balance > kFarOpen * ws.opt.balance_tol;
        if (!converged && settled && nd > ws.exact_dim && balanced &&
            (rebalanced < kRebalances || (stalled && (far || rebalanced > kRebalances) &&
                                          rebalanced < kMostRebalances && balance < 0.5 * rebalanced_at))) {
            ++rebalanced;
            rebalanced_at = balance;
            if (free_directions(ws) < nd) continue;
            traced = balance_free_directions(ws);
            refresh_lnx(ws);
            continue;
        }
        if (converged || (settled && nd > ws.exact_dim && !balanced)) {
            if (nd > ws.exact_dim && !balanced) {
                traced = balance_free_directions(ws);
                refresh_lnx(ws);
                balanced = true;
                continue;
            }
            // A phase whose variables describe its state several ways is
            // moved onto its own split (same elements, its exact Gibbs
            // energy and potentials there) and the iteration confirms the
            // state from it.
            if (polishes < 5) {
                const double moved = own_splits(ws);
                ++polishes;
                if (moved > 0.0) refresh_lnx(ws);
                if (moved > 1e-12) continue;
            }
            // Directions the traces fix are not free to be chosen later.
            if (traced) ws.null_dim = ws.exact_dim;
            polish_traces(ws);
            return NewtonOutcome::converged;
        }
    }
    return NewtonOutcome::diverged;
}

}  // namespace eqcore::detail
