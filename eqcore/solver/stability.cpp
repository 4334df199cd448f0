// Driving force of an absent phase against the current element potentials
// (per mol; per formula unit for a phase with sublattices):
// the minimum over its composition of the tangent-plane distance
//     D(x) = sum_i x_i (mu_i(x) - a_i.pi) / RT.
// A stoichiometric phase has one composition. An ideal mixture has the closed
// form D = -ln sum_i exp(a_i.pi - mu°_i/RT). A non-ideal mixture is searched
// by successive substitution x_i ~ exp(a_i.pi - mu°_i/RT - mu_ex,i(x)/RT) from
// the ideal-solution composition and from every constituent's corner, then
// a Newton descent with a line search (on the directions that keep each
// sublattice's sum, the Hessian shifted where it is not positive definite),
// keeping the lowest distance (Michelsen's stability test). Copies of a
// present phase start also from its composition and points around it.
#include <algorithm>
#include <cmath>

#include "solver/own_basin_bound.hpp"
#include "solver/stability_memory.hpp"
#include "solver/workspace.hpp"
#include "thermo/scratch.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Successive substitution stops where a step moves the composition by more
// than this share of the step before.
constexpr double kSlowSubstitution = 0.5;

double potential_term(const Workspace& ws, int s) { return ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]; }

// Excess potentials /RT of candidate c at x (slot order) into out (slot order).
void excess_mu(Workspace& ws, const Candidate& c, const double* x, double* out) {
    remainder_at(ws, c, x, true, false);
    for (int k = 0; k < c.count; ++k) out[k] = ws.muex[sz(ws.slot_var[sz(c.first + k)])] / ws.RT;
}

// Minima a search has found, each with a ball proven to hold only its
// basin for a descent that enters it below the ball's wall (basin_ball): a
// descent there ends at that minimum, so it stops and reports it.
struct BasinBalls {
    static constexpr int kMax = 4;    // balls kept per search
    static constexpr int kSize = 12;  // largest candidate they are kept for
    int count = 0;
    double x[kMax][kSize];
    double d[kMax], rho[kMax], wall[kMax];

    // The ball that holds the descent at y (m fractions) with distance D, or -1.
    int holding(const double* y, double D, int m) const {
        for (int b = 0; b < count; ++b) {
            if (!(D < wall[b])) continue;
            double r2 = 0.0;
            for (int k = 0; k < m; ++k) r2 += (y[k] - x[b][k]) * (y[k] - x[b][k]);
            if (r2 < rho[b] * rho[b]) return b;
        }
        return -1;
    }
};

// Descent of the tangent-plane distance of candidate c with sublattices
// from site fractions y (slot order), each sublattice's amount fixed: per
// formula unit D(y) = sum_g a_g sum_{s in g} y_s (ln y_s - (a_s.pi - mu°_s)
// + mu_ex,s / RT). Newton steps in the scaled variables (the block
// I + W^1/2 E W^1/2 / RT of the solver, W the fractions of the formula
// unit's sites), restricted to the directions that keep every sublattice's
// sum and shifted where not positive definite, taken in logarithmic form
// (traces stay positive) with a backtracking line search on D, so the search
// ends in a local minimum. Returns D there, y updated. Where `balls` hold
// the descent (a minimum found before whose basin it has entered), it
// stops there with that minimum.
double sublattice_descent(Workspace& ws, const Candidate& c, double* y, const BasinBalls* balls = nullptr) {
    const int m = c.count, k = c.groups;
    const std::size_t pm = sz(c.model->layout().variables);
    double* w = ws.wtmp.data();
    double* grad = ws.tp_grad.data();
    double* dir = ws.tp_dir.data();
    double* trial = ws.tp_try.data();
    const double* pi = ws.pi.data();
    // D at y and its gradient in grad; with `hessian` also the
    // remainder's Hessian in ws.dmuex.
    // a_s.pi - mu°_s of every slot: fixed during the descent.
    Scratch potential_buf(sz(m));
    double* potential = potential_buf.span().data();
    for (int q = 0; q < m; ++q) potential[q] = ws.adot(c.first + q, pi) - ws.g0[sz(c.first + q)];
    auto value = [&](const double* at, bool hessian) {
        for (int g = c.group0; g < c.group0 + k; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                w[s - c.first] = ws.grp_share[sz(g)] * at[s - c.first];
        remainder_at(ws, c, w, true, hessian);
        double D = 0.0;
        for (int g = c.group0; g < c.group0 + k; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                const int q = s - c.first;
                const double e = std::log(at[q]) - potential[q] + ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
                D += ws.grp_sites[sz(g)] * at[q] * e;
                grad[q] = ws.grp_sites[sz(g)] * e;
            }
        return D;
    };
    // The Newton system holds only the slots of sublattices with more than
    // one constituent: a sublattice of one constituent keeps y = 1 (its sum
    // constraint leaves that slot no free direction), so its slot and its
    // constraint drop out exactly. free_slot[a]: slot position of unknown a,
    // free_sites[a]: its sublattice's site number a_g, free_group[a]: its
    // constraint.
    ScratchArray<int> free_slot_buf(sz(m)), free_group_buf(sz(m));
    Scratch free_sites_buf(sz(m));
    int* free_slot = free_slot_buf.span().data();
    int* free_group = free_group_buf.span().data();
    double* free_sites = free_sites_buf.span().data();
    // Per unknown, at the current step: its model variable and sqrt(w).
    ScratchArray<std::size_t> free_var_buf(sz(m));
    Scratch root_w_buf(sz(m));
    std::size_t* free_var = free_var_buf.span().data();
    double* root_w = root_w_buf.span().data();
    int mf = 0, kf = 0;
    for (int g = c.group0; g < c.group0 + k; ++g) {
        if (ws.grp_end[sz(g)] - ws.grp_begin[sz(g)] < 2) continue;
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            free_slot[mf] = s - c.first;
            free_group[mf] = kf;
            free_sites[mf] = ws.grp_sites[sz(g)];
            ++mf;
        }
        ++kf;
    }
    // A phase whose variables are redundant starts from its own split of
    // the start's composition (the least distance over that composition's
    // splits), so that the steps move the composition, not the split.
    if (c.model->layout().redundant && k == 1) {
        Scratch own_buf(sz(m));
        double* own = own_buf.span().data();
        std::copy(y, y + m, own);
        double sum = 0.0;
        if (own_split_of(ws, c, own))
            for (int q = 0; q < m; ++q) sum += own[q];
        if (sum > 0.0)
            for (int q = 0; q < m; ++q) y[q] = std::max(own[q] / sum, 1e-300);
    }
    double D = value(y, true);
    if (mf == 0) return D;  // one composition only
    // Whether ws.dmuex holds the Hessian at y: the step after the last
    // exact one is evaluated without it (the descent usually stops
    // there), and it is taken at y only where another step follows.
    bool hessian_at_y = true;
    int exact_steps = 0;
    for (int it = 0; it < 100; ++it) {
        const int ball = balls != nullptr ? balls->holding(y, D, m) : -1;
        if (ball >= 0) {
            std::copy(balls->x[ball], balls->x[ball] + m, y);
            return balls->d[ball];
        }
        // Departure from a stationary point: the gradient per site, centred
        // on each sublattice.
        double res = 0.0;
        for (int g = c.group0; g < c.group0 + k; ++g) {
            double mean = 0.0;
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) mean += y[s - c.first] * grad[s - c.first];
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                res = std::max(res, std::abs(grad[s - c.first] - mean) / ws.grp_sites[sz(g)]);
        }
        if (res < 1e-12) break;
        if (!hessian_at_y) {
            D = value(y, true);
            hessian_at_y = true;
        }
        // The scaled block and the sublattice sums as constraint columns,
        // over the free unknowns; the step of every other slot is 0.
        const std::span<double> C(ws.C.data(), sz(mf * mf));
        for (int a = 0; a < mf; ++a) {
            free_var[a] = sz(ws.slot_var[sz(c.first + free_slot[a])]);
            root_w[a] = std::sqrt(w[free_slot[a]]);
        }
        for (int a = 0; a < mf; ++a) {
            double* Ca = C.data() + sz(a * mf);
            if (c.ideal) {
                std::fill(Ca, Ca + mf, 0.0);
                Ca[a] = 1.0;
                continue;
            }
            const double* Ea = ws.dmuex.data() + free_var[a] * pm;
            const double ra = root_w[a];
            for (int b = 0; b < mf; ++b) Ca[b] = 0.0 + ra * root_w[b] * Ea[free_var[b]] / ws.RT;
            Ca[a] = 1.0 + ra * root_w[a] * Ea[free_var[a]] / ws.RT;
        }
        std::fill(ws.cons.begin(), ws.cons.begin() + mf * kf, 0.0);
        for (int a = 0; a < mf; ++a) ws.cons[sz(a * kf + free_group[a])] = std::sqrt(y[free_slot[a]] / free_sites[a]);
        factor_projected(ws, mf, kf, C);
        for (int a = 0; a < mf; ++a) trial[a] = -std::sqrt(y[free_slot[a]] / free_sites[a]) * grad[free_slot[a]];
        solve_projected(ws, mf, kf, trial);
        std::fill(dir, dir + m, 0.0);
        for (int a = 0; a < mf; ++a) dir[free_slot[a]] = trial[a];
        // dir now holds the step in the scaled variables: in ln y it is
        // dir_s / sqrt(a_g y_s); the slope of D along it is grad . dy.
        double slope = 0.0, longest = 0.0;
        for (int g = c.group0; g < c.group0 + k; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                const int q = s - c.first;
                const double dy = std::sqrt(y[q] / ws.grp_sites[sz(g)]) * dir[q];
                slope += grad[q] * dy;
                dir[q] = dy / y[q];
                longest = std::max(longest, std::abs(dir[q]));
            }
        if (!(slope < 0.0)) break;
        double t = longest > 5.0 ? 5.0 / longest : 1.0;
        double Dt = D;
        bool moved = false;
        // Near the minimum the decrease a step can make is below the
        // rounding of D: the Newton step is then taken as it is (twice at
        // most), so that the composition is found to the precision of the
        // gradient, whichever start the descent came from.
        const double scale = std::max(1.0, std::abs(D));
        const bool final_steps = -slope <= 1e-12 * scale && exact_steps < 2 && t == 1.0;
        // The first two trials, one of which is usually taken, are evaluated
        // with the Hessian the next step needs (ws.dmuex is not used before
        // that; D and grad are the same with or without it), but for an
        // exact step near the minimum, after which the descent usually
        // stops.
        const bool with_hessian = !final_steps;
        int taken = -1;
        for (int ls = 0; ls < 40; ++ls, t *= 0.5) {
            for (int g = c.group0; g < c.group0 + k; ++g) {
                double sum = 0.0;
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                    const int q = s - c.first;
                    trial[q] = std::max(y[q] * std::exp(t * dir[q]), 1e-300);
                    sum += trial[q];
                }
                for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) trial[s - c.first] /= sum;
            }
            Dt = value(trial, with_hessian && ls <= 1);
            if (std::isfinite(Dt) && (Dt <= D + 1e-4 * t * slope || (final_steps && Dt <= D + 1e-14 * scale))) {
                moved = true;
                taken = ls;
                break;
            }
        }
        if (!moved) break;
        std::copy(trial, trial + m, y);
        if (final_steps) ++exact_steps;
        const bool small = !final_steps && D - Dt <= 1e-15 * scale;
        // grad is at y: the trial taken was the last one evaluated.
        D = Dt;
        hessian_at_y = with_hessian && taken <= 1;
        if (small) break;
    }
    return D;
}

// The searches of a non-ideal candidate. Each start ends in a local
// minimum of the distance; a search keeps the lowest (its composition in
// ws.tp_x) and, when it is a full search, remembers every one.
struct Search {
    Workspace& ws;
    int ci;
    const Candidate& c;
    bool full;
    double best = 1e300;
    BasinBalls balls = {};  // of the minima found (full searches)

    void take(const double* x, double D) {
        if (D < best) {
            best = D;
            std::copy(x, x + c.count, ws.tp_x.begin() + c.first);
        }
        if (full) remember_minimum(ws, ci, x, D);
    }
    // A few substitution steps x_i ~ exp(a_i.pi - mu°_i - mu_ex,i(x)) (cheap,
    // and enough where the excess is mild; one group only), then the
    // second-order descent, which ends in a true local minimum.
    double descend(double* x, bool substitution) {
        for (int k = 0; k < c.count; ++k) x[k] = std::max(x[k], 1e-300);
        int held = -1;
        if (substitution && c.groups == 1 && !c.model->layout().redundant) held = substitute(x);
        const double D = held >= 0 ? balls.d[held] : sublattice_descent(ws, c, x, full ? &balls : nullptr);
        take(x, D);
        if (full) add_ball(x, D);
        return D;
    }
    // A ball around a minimum not held by one already (a new one).
    void add_ball(const double* x, double D) {
        const int m = c.count;
        if (balls.count == BasinBalls::kMax || m > BasinBalls::kSize || balls.holding(x, D, m) >= 0) return;
        const int b = balls.count;
        if (!basin_ball(ws, ci, x, D, balls.rho[b], balls.wall[b])) return;
        std::copy(x, x + m, balls.x[b]);
        balls.d[b] = D;
        ++balls.count;
    }
    // Returns the ball that holds an iterate (x then holds its minimum), or -1.
    int substitute(double* x) {
        const int m = c.count;
        // Excess potentials go in ws.y's slots of this candidate (free while absent).
        double* ex = ws.y.data() + c.first;
        // a_k.pi - mu°_k of every constituent: fixed during the substitution;
        // then the step's exponentials.
        Scratch potential_buf(sz(2 * m));
        double* potential = potential_buf.span().data();
        double* weight = potential + m;
        for (int k = 0; k < m; ++k) potential[k] = potential_term(ws, c.first + k);
        double last = 1e300;
        for (int it = 0; it < 8; ++it) {
            excess_mu(ws, c, x, ex);
            // An iterate inside a ball below its wall: the descent from here
            // would end at the ball's minimum (basin_ball), as it would from
            // any start there, so the substitution hands over to it at once.
            if (full && balls.count > 0) {
                double D = 0.0;
                for (int k = 0; k < m; ++k) D += x[k] * (std::log(x[k]) - potential[k] + ex[k]);
                const int b = balls.holding(x, D, m);
                if (b >= 0) {
                    std::copy(balls.x[b], balls.x[b] + m, x);
                    return b;
                }
            }
            double zmax = -1e300;
            for (int k = 0; k < m; ++k) zmax = std::max(zmax, potential[k] - ex[k]);
            double z = 0.0, change = 0.0;
            for (int k = 0; k < m; ++k) {
                weight[k] = std::exp(potential[k] - ex[k] - zmax);
                z += weight[k];
            }
            for (int k = 0; k < m; ++k) {
                const double xn = std::max(weight[k] / z, 1e-300);
                change = std::max(change, std::abs(xn - x[k]));
                x[k] = xn;
            }
            // Converged, or contracting too slowly for the remaining steps to
            // pay: the Newton descent takes over from here.
            if (change < 1e-13 || change > kSlowSubstitution * last) break;
            last = change;
        }
        return -1;
    }
};

// Ideal-solution composition x_s ~ exp(a_s.pi - mu°_s) within each group in
// ws.xbest; returns the ideal distance -sum_g a_g ln sum_{s in g} exp(a_s.pi - mu°_s).
double ideal_estimate(Workspace& ws, const Candidate& c) {
    double* xb = ws.xbest.data();
    double ideal = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double top = -1e300;
        for (int k = b; k < e; ++k) {
            xb[k] = potential_term(ws, c.first + k);
            top = std::max(top, xb[k]);
        }
        double Z = 0.0;
        for (int k = b; k < e; ++k) {
            xb[k] = std::exp(xb[k] - top);
            Z += xb[k];
        }
        for (int k = b; k < e; ++k) xb[k] /= Z;
        ideal -= ws.grp_sites[sz(g)] * (top + std::log(Z));
    }
    return ideal;
}

// Every start (Michelsen's test): the ideal estimate (in ws.xbest), every
// constituent's corner of its group; with one group also the compositions
// of the present copies of the same phase (a gap: there the distance is 0,
// so a copy never shows a negative driving force), moved a little towards
// each corner, so that a present phase that sits on a saddle (inside its
// spinodal) is found to split, and the centre (a gap between corners).
// With `ideal_done` the start from the ideal estimate was descended at
// these potentials by the quick search (ws.tp_ideal, tpm.ideal_D).
void full_search(Search& se, bool ideal_done) {
    Workspace& ws = se.ws;
    const Candidate& c = se.c;
    const int m = c.count;
    double* x = ws.xtry.data();
    const double* xb = ws.xbest.data();
    const bool one_group = c.groups == 1 && !c.model->layout().redundant;
    begin_reference(ws, se.ci);
    for (int start = -1; start < m; ++start) {
        if (start < 0 && ideal_done) {
            // A minimum at these potentials: a ball around it stops the
            // later descents that reach its basin.
            se.take(ws.tp_ideal.data() + c.first, ws.tpm[sz(se.ci)].ideal_D);
            se.add_ball(ws.tp_ideal.data() + c.first, ws.tpm[sz(se.ci)].ideal_D);
            continue;
        }
        std::copy(xb, xb + m, x);
        if (start >= 0) {
            int g = c.group0;
            while (ws.grp_end[sz(g)] <= c.first + start) ++g;
            const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
            if (e - b == 1) {
                if (!one_group) continue;  // nothing to vary on that sublattice
                x[start] = 1.0;
            } else {
                for (int k = b; k < e; ++k) x[k] = k == start ? 1.0 - 1e-3 : 1e-3 / (e - b - 1);
            }
        }
        se.descend(x, true);
    }
    if (!one_group) return;
    for (const Candidate& o : ws.cand) {
        if (!o.present || o.family < 0 || o.family != c.family || o.count != m || o.N <= 0.0) continue;
        auto start_at = [&](int start, int k) {
            const double xo = ws.n[sz(o.first + k)] / o.N;
            return start < 0 ? xo : 0.97 * xo + (k == start ? 0.03 : 0.0);
        };
        for (int k = 0; k < m; ++k) x[k] = start_at(-1, k);
        se.descend(x, true);
        // The descent from the copy's composition ended at x*. Where every
        // start moved towards a corner lies within a ball around x* proven
        // to hold only the basin of the minimum at x* (ball_in_basin), each
        // of them ends there: the descent from the copy's composition
        // stands for theirs.
        double reach = 0.0;
        for (int start = 0; start < m; ++start) {
            double r2 = 0.0;
            for (int k = 0; k < m; ++k) r2 += (start_at(start, k) - x[k]) * (start_at(start, k) - x[k]);
            reach = std::max(reach, std::sqrt(r2));
        }
        if (ball_in_basin(ws, se.ci, x, reach)) continue;
        for (int start = 0; start < m; ++start) {
            for (int k = 0; k < m; ++k) x[k] = start_at(start, k);
            se.descend(x, true);
        }
    }
    if (m > 2) {
        for (int k = 0; k < m; ++k) x[k] = 1.0 / m;
        se.descend(x, true);
    }
}

// The cheap starts: the ideal estimate (in ws.xbest) and the remembered
// minima. Returns the distance the first ended at (its composition in ws.tp_ideal).
double quick_search(Search& se) {
    Workspace& ws = se.ws;
    const int m = se.c.count;
    double* x = ws.xtry.data();
    std::copy(ws.xbest.data(), ws.xbest.data() + m, x);
    const double ideal_D = se.descend(x, true);
    std::copy(x, x + m, ws.tp_ideal.begin() + se.c.first);
    const double* bx = ws.tp_basin_x.data() + sz(TangentMemory::kBasins) * sz(se.c.first);
    for (int k = 0; k < ws.tpm[sz(se.ci)].basins; ++k) {
        std::copy(bx + sz(k) * sz(m), bx + sz(k + 1) * sz(m), x);
        se.descend(x, false);
    }
    return ideal_D;
}

// Where the reference bounds the distance from below by a positive number
// (D_now >= D_ref + shift, every remembered minimum not at a present copy's
// composition above -shift): the phase cannot form. Its least distance is
// then sought only from the remembered minima that could still be the
// lowest (those at a present copy's composition always). False when a
// minimum the reference did not keep could be lower: a full search is due.
bool bounded_search(Search& se, double shift) {
    Workspace& ws = se.ws;
    const TangentMemory& t = ws.tpm[sz(se.ci)];
    // A minimum at a present copy's composition (0 there) moves with that
    // copy. Every point of its basin at the reference lies at or above 0,
    // so a minimum that has split off it since (a gap opening beside the
    // copy as the temperature falls) can be no deeper than -shift: the copy's
    // minimum is set aside while that is within the stability tolerance,
    // which no phase is added for, or where the descent from it proves the
    // basin convex (own_basin_bound.hpp; every minimum not kept then lies
    // above -shift, so none of them is the copy's).
    const bool moved = -shift > ws.opt.stability_tol && t.own_min < 1e300;
    const double M = moved && t.dropped_min + shift > 0.0 ? own_basin_curvature(ws, se.ci) : 1e300;
    const bool prove = moved && M < 1e300;
    const double lowest = !moved || prove ? t.ref_min : std::min(t.ref_min, t.own_min);
    if (!(t.reference && !t.screened && lowest + shift > 0.0)) return false;
    double rise = 0.0;  // reference_rise, once a proof needs it
    bool have_rise = false;
    const int m = se.c.count;
    constexpr int kB = TangentMemory::kBasins;
    const double* bx = ws.tp_basin_x.data() + sz(kB) * sz(se.c.first);
    const double* bD = ws.basin_D.data() + sz(kB) * sz(se.ci);
    const char* bo = ws.basin_own.data() + sz(kB) * sz(se.ci);
    // Those at a present copy's composition first, then by their distance.
    int order[kB];
    for (int k = 0; k < t.basins; ++k) {
        int q = k;
        for (; q > 0; --q) {
            const int o = order[q - 1];
            if (bo[o] > bo[k] || (bo[o] == bo[k] && bD[o] <= bD[k])) break;
            order[q] = o;
        }
        order[q] = k;
    }
    double* x = ws.xtry.data();
    for (int q = 0; q < t.basins; ++q) {
        const int k = order[q];
        if (!bo[k] && bD[k] + shift >= se.best) continue;
        std::copy(bx + sz(k) * sz(m), bx + sz(k + 1) * sz(m), x);
        if (prove && bo[k] && !own_basin_convex(ws, se.ci, M, x, -shift - bD[k])) return false;
        const double d = se.descend(x, false);
        if (prove && bo[k]) {
            if (!have_rise) rise = reference_rise(ws, se.ci);
            have_rise = true;
            double lower = 0.0;
            if (!own_basin_proven(ws, se.ci, bx + sz(k) * sz(m), x, d, -shift, rise, M, lower)) return false;
            // The basin's least distance is only known to be >= lower: it may
            // not hide a phase the search calls stable, nor lie below the
            // least distance the search reports.
            if (lower < std::min(se.best, -ws.opt.stability_tol)) return false;
        }
    }
    return se.best < 1e300 && t.dropped_min + shift >= se.best;
}

// A candidate with one free direction: every local minimum of its distance,
// found with certainty (line_minimum.cpp), stands for the minima the
// starts of a full search descend to, and is remembered as theirs would
// be. False where that routine decides nothing: the starts are searched.
bool line_search(Search& se) {
    LineMinima lm;
    if (!line_minima(se.ws, se.ci, lm)) return false;
    begin_reference(se.ws, se.ci);
    double* x = se.ws.xtry.data();
    for (int k = 0; k < lm.count; ++k) {
        line_point(se.c, lm, k, x);
        se.take(x, lm.D[k]);
    }
    return true;
}

double mixture_driving_force(Workspace& ws, int ci, bool quick) {
    const Candidate& c = ws.cand[sz(ci)];
    if (c.ideal) return ideal_estimate(ws, c);
    // A non-ideal candidate's ideal estimate is taken below, where its
    // search starts; every earlier return leaves the composition of a
    // search in ws.xbest instead.
    double df = 0.0;
    if (cached_search(ws, ci, quick ? 1 : 2, df)) return df;
    // An earlier copy with the same data, both absent: the same search, done
    // once (the copies present, which the starts and the memory refer to,
    // are the same for both). The first such copy absent, so that with the
    // first copy present the others still share one search.
    int twin = -1;
    if (c.same_as >= 0 && !c.present)
        for (int d = c.same_as; d < ci && twin < 0; ++d)
            if (!ws.cand[sz(d)].present && (d == c.same_as || ws.cand[sz(d)].same_as == c.same_as)) twin = d;
    if (twin >= 0) {
        if (!cached_search(ws, twin, quick ? 1 : 2, df)) df = mixture_driving_force(ws, twin, quick);
        copy_memory(ws, twin, ci);
        return df;
    }
    // One free direction: the least distance is certified, for a quick
    // search as for a full one, at less cost than the descents from the
    // remembered minima.
    {
        Search se{ws, ci, c, true};
        if (line_search(se)) {
            keep_search(ws, ci, 2, se.best);
            ws.tpm[sz(ci)].certified = true;
            return se.best;
        }
    }
    const double shift = reference_shift(ws, ci);
    {
        Search se{ws, ci, c, false};
        if (bounded_search(se, shift)) {
            keep_search(ws, ci, 2, se.best);
            return se.best;
        }
    }
    TangentMemory& t = ws.tpm[sz(ci)];
    // A quick search at these potentials has descended from the ideal estimate already.
    const bool ideal_done = !quick && t.has_ideal && cached_search(ws, ci, 1, df);
    // The ideal estimate (cached_search above may have left another
    // composition in ws.xbest).
    ideal_estimate(ws, c);
    Search se{ws, ci, c, !quick};
    if (quick) {
        const double ideal_D = quick_search(se);
        keep_search(ws, ci, 1, se.best);
        t.has_ideal = true;
        t.ideal_D = ideal_D;
        return se.best;
    }
    full_search(se, ideal_done);
    keep_search(ws, ci, 2, se.best);
    return se.best;
}

}  // namespace

double driving_force(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    if (c.pure) return -potential_term(ws, c.first);
    return mixture_driving_force(ws, ci, false);
}

double quick_driving_force(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    if (c.pure) return -potential_term(ws, c.first);
    return mixture_driving_force(ws, ci, true);
}

double descend_distance(Workspace& ws, const Candidate& c, double* y) { return sublattice_descent(ws, c, y); }

double ideal_distance(Workspace& ws, const Candidate& c) { return ideal_estimate(ws, c); }

void forget_stability(Workspace& ws) {
    for (TangentMemory& t : ws.tpm) t = TangentMemory{};
}

}  // namespace eqcore::detail
