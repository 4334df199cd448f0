// A converged state may leave a present mixture that the data file writes
// once (no copy NAME#k to hold a second composition) in its higher basin:
// its tangent-plane distance is negative at another composition of
// itself. The phase is one homogeneous phase, so the answer is the least G
// over assemblages in which it appears once. A linear program first asks
// whether any assemblage with the phase at that composition can be lower
// (basin_start.cpp); where it proves that none can, the phase stays inside
// that basin's gap. Where one can, the state is redone from the program's
// balanced assemblage with the phase at one composition moved from x, from
// the program's own assemblage; then, whatever the program decided, from a
// balanced assemblage with the phase moved towards x as far as the
// balance allows (none where it cannot move: the state itself is that
// start). The phase's basin on the other side of its present
// composition, where one lies below the plane, is decided the same way
// (x is only the deepest), then each other minimum its search remembers.
// Last, where the program could not decide x's basin after a warm start,
// the cold start is tried; the lower converged state is kept, a few hops
// at most. Ideal
// mixtures and the gas have no second basin and are not searched; the
// others are screened by their distance at a few spread compositions and
// searched fully only where the screen finds them below their plane.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "solver/stability_memory.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kMostHops = 3;
constexpr double kLowerBy = 1e-10;  // /RT per mol of material: a state counts as lower by more

// What the state is made of, to go back to it.
struct Snapshot {
    std::vector<double> n, mu, pi, lnx, null;
    int null_dim = 0;
    std::vector<Candidate> cand;
    MemoryCopy memory;  // what the stability searches remember (a cold start forgets it)
    void take(const Workspace& ws) {
        n = ws.n;
        mu = ws.mu;
        pi = ws.pi;
        lnx = ws.lnx;
        null = ws.null;
        null_dim = ws.null_dim;
        cand = ws.cand;
        save_memory(ws, memory);
    }
    void restore(Workspace& ws) const {
        ws.n = n;
        ws.mu = mu;
        ws.pi = pi;
        ws.lnx = lnx;
        ws.null = null;
        ws.null_dim = null_dim;
        ws.cand = cand;
        restore_memory(ws, memory);
        ws.have_solution = true;
    }
};

// The linear program basin_start leaves (its columns, amounts and
// buffers): towards_start builds on it after leave_for's starts, each of
// which solves programs of its own in the same buffers.
struct ProgramCopy {
    std::vector<double> tab, cost, col, z, x;
    std::vector<int> basis, owner, xoff;
    int cols = 0, used = 0;
    void take(const Workspace& ws) {
        tab = ws.lp_tab;
        cost = ws.lp_cost;
        col = ws.lp_col;
        z = ws.lp_z;
        x = ws.lp_x;
        basis = ws.lp_basis;
        owner = ws.lp_owner;
        xoff = ws.lp_xoff;
        cols = ws.lp_cols;
        used = ws.lp_used;
    }
    void restore(Workspace& ws) const {
        ws.lp_tab = tab;
        ws.lp_cost = cost;
        ws.lp_col = col;
        ws.lp_z = z;
        ws.lp_x = x;
        ws.lp_basis = basis;
        ws.lp_owner = owner;
        ws.lp_xoff = xoff;
        ws.lp_cols = cols;
        ws.lp_used = used;
    }
};

// The present mixture written once, not ideal, with the most negative
// distance at another composition of itself (that composition in `x`), or
// -1 (self_search.cpp: screened, searched where the screen finds it below
// its plane).
int higher_basin(Workspace& ws, std::vector<double>& x) {
    int who = -1;
    double worst = -ws.opt.stability_tol;
    std::vector<double>& probe = ws.basin_probe;
    for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci) {
        const Candidate& c = ws.cand[sz(ci)];
        if (!c.present || c.pure || c.ideal || c.family >= 0) continue;
        const double D = least_self_distance(ws, ci, probe);
        if (D < worst) {
            worst = D;
            who = ci;
            x.assign(probe.begin(), probe.end());
        }
    }
    return who;
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
        ProgramCopy program;
        const double G0 = state_G(ws);
        std::string m;
        // Converged from the iterate as it stands (warm) or from the cold
        // start, to a state lower than the one held.
        const auto lower = [&](bool from_iterate) {
            return converge_tp(ws, from_iterate, m) == SolverStatus::ok && state_G(ws) < G0 - kLowerBy;
        };
        // From the program's assemblage with the phase at one composition
        // near xb, then from the program's own (its columns of the phase
        // merged), then from the phase alone holding the feed in xb's basin,
        // then in the basin of the phase's sampled composition where it
        // holds the feed at least G (the answer may be the phase alone,
        // away from xb where the balance takes it: the starts that mix
        // other phases in can slide back to the state held); called after
        // basin_start found a lower assemblage at xb.
        const auto leave_for = [&](const std::vector<double>& xb) {
            if (one_instance_start(ws, who, xb) && lower(true)) return true;
            before.restore(ws);
            if (basin_start(ws, who, xb, G0) == BasinVerdict::move && lower(true)) return true;
            before.restore(ws);
            if (alone_start(ws, who, xb, false) && lower(true)) return true;
            before.restore(ws);
            return alone_start(ws, who, xb, true) && lower(true);
        };
        // Where the program finds an assemblage with the phase at x's basin
        // lower (basin_start.cpp): from that assemblage. Then, a proof or
        // not, from the phase moved towards x as far as the balance allows
        // (where no assemblage holds the phase near x, a lower one, if any,
        // has it between; and the proof covers the program's compositions
        // near x, not those the balance leaves a phase that holds a small
        // excess of the feed beside a compound: its least distance may lie
        // at a composition that cannot hold that excess, the lower state at
        // one that can). Then, a proof or not,
        // the phase's basin on the other side of its present composition
        // (x is only the deepest below the plane; a proof covers x's basin
        // alone), decided the same way, then the other minima the phase's
        // search remembers. Last, where x's basin is proven not to lead
        // lower (the proof covers that basin alone), the phase alone
        // holding the feed from its present composition (the answer can lie
        // between it and x, in no basin tried); where the program could not
        // be solved at x, or found a lower assemblage that no start reached,
        // after a warm start, from the cold start.
        // The move's starts reuse the program's buffers: towards_start
        // gets the verdict's program back, as if they had not been tried.
        const BasinVerdict verdict = basin_start(ws, who, x, G0);
        const bool decided = verdict == BasinVerdict::stay;
        const bool undecided = verdict == BasinVerdict::move || verdict == BasinVerdict::unsure;
        if (verdict == BasinVerdict::move) {
            program.take(ws);
            if (leave_for(x)) continue;
            program.restore(ws);
        }
        before.restore(ws);
        if (towards_start(ws, who, x) && lower(true)) continue;
        before.restore(ws);
        std::vector<double>& x2 = ws.basin_other;
        const bool opposite = opposite_basin(ws, who, x, x2);
        if (opposite && basin_start(ws, who, x2, G0) == BasinVerdict::move && leave_for(x2)) continue;
        before.restore(ws);
        // The other minima the phase's search remembers, decided the same
        // way (the lower state may be the phase in a basin of its own that
        // is neither x's nor the opposite one).
        std::vector<std::vector<double>> tried{x};
        if (opposite) tried.push_back(x2);
        std::vector<double> xk;
        bool left = false;
        for (int k = 0; k < TangentMemory::kBasins && !left; ++k) {
            if (!remembered_basin(ws, who, k, tried, xk)) continue;
            tried.push_back(xk);
            left = basin_start(ws, who, xk, G0) == BasinVerdict::move && leave_for(xk);
            if (!left) before.restore(ws);
        }
        if (left) continue;
        if (decided) {
            present_fractions(ws, who, xk);  // a buffer free again here
            if (alone_start(ws, who, xk, false) && lower(true)) continue;
            before.restore(ws);
        }
        if (undecided && !cold_tried) {
            cold_tried = true;
            ws.have_solution = false;
            if (lower(false)) continue;
        }
        before.restore(ws);
        break;
    }
    (void)message;
    return SolverStatus::ok;
}

}  // namespace eqcore::detail
