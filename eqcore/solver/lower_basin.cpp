// A converged state may leave a present mixture that the data file writes
// once (no copy NAME#k to hold a second composition) in its higher basin:
// its tangent-plane distance is negative at another composition of
// itself. The phase is one homogeneous phase, so the answer is the least G
// over assemblages in which it appears once. A linear program first asks
// whether any assemblage with the phase at that composition can be lower
// (basin_start.cpp); where the balance forbids it the phase stays inside
// its gap. Otherwise the state is redone from the program's balanced
// assemblage, then from the state with the phase moved (its amount kept),
// and, after a warm start, from the cold start; the lower converged state
// is kept, a few hops at most. Ideal
// mixtures and the gas have no second basin and are not searched; the
// others are screened by their distance at a few spread compositions and
// searched fully only where the screen finds them below their plane.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kMostHops = 3;
constexpr int kScreened = 5;  // most constituents of a sublattice the screen covers
constexpr double kLowerBy = 1e-10;  // /RT per mol of material: a state counts as lower by more

// What the state is made of, to go back to it.
struct Snapshot {
    std::vector<double> n, mu, pi, lnx, null;
    int null_dim = 0;
    std::vector<Candidate> cand;
    void take(const Workspace& ws) {
        n = ws.n;
        mu = ws.mu;
        pi = ws.pi;
        lnx = ws.lnx;
        null = ws.null;
        null_dim = ws.null_dim;
        cand = ws.cand;
    }
    void restore(Workspace& ws) const {
        ws.n = n;
        ws.mu = mu;
        ws.pi = pi;
        ws.lnx = lnx;
        ws.null = null;
        ws.null_dim = null_dim;
        ws.cand = cand;
        ws.have_solution = true;
    }
};

// G / RT of the converged state (scaled material): sum_j b_j pi_j.
double state_G(const Workspace& ws) {
    double g = 0.0;
    for (int j = 0; j < ws.E; ++j) g += ws.b[sz(j)] * ws.pi[sz(j)];
    return g;
}

// Tangent-plane distance / RT per formula unit of candidate c at
// fractions y (within each sublattice, slot order): its value only,
// D = sum_g a_g sum_s y_s (ln y_s - (a_s.pi - mu°_s)) + sites g_ex / RT.
double distance_at(Workspace& ws, const Candidate& c, const double* y) {
    double* w = ws.wtmp.data();
    double D = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
            const double v = std::max(y[s - c.first], 1e-300);
            w[s - c.first] = ws.grp_share[sz(g)] * v;
            D += ws.grp_sites[sz(g)] * v * (std::log(v) - (ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]));
        }
    return D + c.sites * remainder_at(ws, c, w, false, false).g / ws.RT;
}

// The screen of a present candidate: its distance at points spread over
// each sublattice (every constituent's corner and, along each edge between
// two corners, a fifth, a half and four fifths of the way), the other
// sublattices at the present composition. Values only: cheap enough to run
// after every calculation. Returns the least distance found, its
// composition in `x`; -1e300 (search fully) for a sublattice of more than
// kScreened constituents, whose edges are too many.
double screen(Workspace& ws, const Candidate& c, std::vector<double>& x) {
    const int m = c.count;
    std::vector<double>& here = ws.tp_try;  // the present composition, fractions within each sublattice
    std::vector<double>& y = ws.tp_dir;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const double Ng = ws.group_amount(g);
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) here[sz(s - c.first)] = ws.n[sz(s)] / Ng;
    }
    double best = 1e300;
    auto at = [&](int g, int i, int j, double t) {  // from corner i to corner j of group g
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        std::copy(here.begin(), here.begin() + m, y.begin());
        const double rest = 1e-9;
        for (int k = b; k < e; ++k) y[sz(k)] = rest;
        y[sz(i)] += (1.0 - t) * (1.0 - rest * (e - b));
        y[sz(j)] += t * (1.0 - rest * (e - b));
        const double D = distance_at(ws, c, y.data());
        if (D < best) {
            best = D;
            x.assign(y.begin(), y.begin() + m);
        }
    };
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        if (ws.grp_end[sz(g)] - ws.grp_begin[sz(g)] > kScreened) return -1e300;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        if (e - b < 2) continue;
        for (int i = b; i < e; ++i) at(g, i, i, 0.0);
        for (int i = b; i < e; ++i)
            for (int j = i + 1; j < e; ++j)
                for (double t : {0.2, 0.5, 0.8}) at(g, i, j, t);
    }
    return best;
}

// The present mixture written once, not ideal, with the most negative
// distance at another composition of itself (that composition in `x`), or
// -1. Screened first; only a phase the screen finds below its plane is
// searched by the full stability test (descents to the lowest basin).
int higher_basin(Workspace& ws, std::vector<double>& x) {
    int who = -1;
    double worst = -ws.opt.stability_tol;
    std::vector<double>& probe = ws.basin_probe;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        if (!c.present || c.pure || c.ideal || c.family >= 0) continue;
        double D = screen(ws, c, probe);
        if (!(D < -ws.opt.stability_tol)) continue;
        const double full = driving_force(ws, ci);
        if (full < D || D == -1e300) {
            D = full;
            probe.assign(ws.xbest.begin(), ws.xbest.begin() + c.count);
        }
        if (D < worst) {
            worst = D;
            who = ci;
            x.assign(probe.begin(), probe.end());
        }
    }
    return who;
}

// Candidate ci at composition x (fractions within each sublattice), its
// amount kept; Newton restores the balances.
void move_to(Workspace& ws, int ci, const std::vector<double>& x) {
    const Candidate& c = ws.cand[sz(ci)];
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double sum = 0.0;
        for (int k = b; k < e; ++k) sum += std::max(x[sz(k)], 1e-300);
        for (int k = b; k < e; ++k)
            ws.n[sz(c.first + k)] = c.N * ws.grp_share[sz(g)] * std::max(x[sz(k)], 1e-300) / sum;
    }
}

}  // namespace

SolverStatus leave_higher_basins(Workspace& ws, bool warm, std::string& message) {
    std::vector<double>& x = ws.basin_x;
    bool cold_tried = !warm;
    for (int hop = 0; hop < kMostHops; ++hop) {
        const int who = higher_basin(ws, x);
        if (who < 0) return SolverStatus::ok;
        Snapshot before;
        before.take(ws);
        const double G0 = state_G(ws);
        std::string m;
        // Only where an assemblage with the phase at x can be lower
        // (basin_start.cpp): from that balanced assemblage, then from the
        // state with the phase moved there.
        if (!basin_start(ws, who, x, G0)) {
            before.restore(ws);
            break;
        }
        SolverStatus st = converge_tp(ws, true, m);
        if (st == SolverStatus::ok && state_G(ws) < G0 - kLowerBy) continue;
        before.restore(ws);
        move_to(ws, who, x);
        st = converge_tp(ws, true, m);
        if (st == SolverStatus::ok && state_G(ws) < G0 - kLowerBy) continue;
        if (!cold_tried) {
            cold_tried = true;
            ws.have_solution = false;
            st = converge_tp(ws, false, m);
            if (st == SolverStatus::ok && state_G(ws) < G0 - kLowerBy) continue;
        }
        before.restore(ws);
        break;
    }
    (void)message;
    return SolverStatus::ok;
}

}  // namespace eqcore::detail
