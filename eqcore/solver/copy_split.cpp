// A copy of a mixture (NAME#k) entering again beside a present copy of the
// same mixture: the two sides of a gap. Added at a vanishing amount beside
// a present copy that sits inside the gap, Newton's step moves the material
// into the new copy and drops the old one (the roles swap and the same copy
// is unstable again). The two copies start instead on either side of the
// present copy's composition, with the lever rule's amounts, so that Newton
// starts from the two-phase state it has to reach.
#include <cmath>
#include <limits>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kLineSamples = 32;  // samples of the far side of the line

// Fractions of candidate c (slot order, normalised within each group) from
// amounts n (its slots).
void fractions(const Workspace& ws, const Candidate& c, const double* n, std::vector<double>& x) {
    x.assign(sz(c.count), 0.0);
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double sum = 0.0;
        for (int k = b; k < e; ++k) sum += std::max(n[k], 0.0);
        for (int k = b; k < e; ++k) x[sz(k)] = sum > 0.0 ? std::max(n[k], 0.0) / sum : 0.0;
    }
}

// Amounts of candidate c for amount N at fractions x, each group with its share.
void set_amounts(Workspace& ws, Candidate& c, double N, const std::vector<double>& x) {
    c.N = N;
    for (int g = c.group0; g < c.group0 + c.groups; ++g)
        for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
            ws.n[sz(s)] = N * ws.grp_share[sz(g)] * x[sz(s - c.first)];
}

}  // namespace

bool split_with_copy(Workspace& ws, int ci) {
    Candidate& c = ws.cand[sz(ci)];
    if (c.pure || c.family < 0 || c.added < 2 || !c.present) return false;
    int oi = -1;
    for (int k = 0; k < static_cast<int>(ws.cand.size()); ++k) {
        const Candidate& o = ws.cand[sz(k)];
        if (k == ci || !o.present || o.pure || o.family != c.family || o.count != c.count || !(o.N > 0.0)) continue;
        if (oi < 0 || o.N > ws.cand[sz(oi)].N) oi = k;
    }
    if (oi < 0) return false;
    Candidate& o = ws.cand[sz(oi)];
    // The entering copy at its composition xe (as add_phase set it), the
    // present one at xp; the far side of the line from xe through xp runs
    // to the first fraction that reaches zero (t = tmax).
    std::vector<double> xe, xp;
    fractions(ws, c, ws.n.data() + c.first, xe);
    fractions(ws, o, ws.n.data() + o.first, xp);
    double tmax = std::numeric_limits<double>::infinity(), apart = 0.0;
    for (std::size_t k = 0; k < xp.size(); ++k) {
        const double d = xp[k] - xe[k];
        apart = std::max(apart, std::abs(d));
        if (d < 0.0) tmax = std::min(tmax, xp[k] / -d);
    }
    if (apart < 1e-6 || !(tmax > 0.0) || !std::isfinite(tmax)) return false;
    // Per mol of the present copy, the lever rule's state at t (the
    // entering copy at xe, the present one moved to y = xp + t (xp - xe))
    // lies f(t) = (D(y) + t D(xe)) / (1 + t) from the plane: near t = 0,
    // where y still sits in the present copy's basin, f falls linearly
    // with D(xe) < 0 and rises only with the square of the move. Its least
    // over the far side is taken, sampled evenly and, towards t = 0 (where
    // that least lies when the far side is above the plane), geometrically.
    // Only a state below the plane is a start nearer the two-copy state.
    const double De = distance_at(ws, c, xe.data());
    std::vector<double> y(xp.size()), ybest;
    double best_f = -ws.opt.stability_tol, best_t = 0.0;
    const auto sample = [&](double t) {
        for (std::size_t k = 0; k < y.size(); ++k) y[k] = std::max(xp[k] + t * (xp[k] - xe[k]), 1e-300);
        const double f = (distance_at(ws, o, y.data()) + t * De) / (1.0 + t);
        if (f < best_f) {
            best_f = f;
            best_t = t;
            ybest = y;
        }
    };
    for (int i = 1; i <= kLineSamples; ++i) {
        sample(tmax * i / (kLineSamples + 1.0));
        sample(tmax * std::pow(10.0, -6.0 * i / kLineSamples) / (kLineSamples + 1.0));
    }
    if (ybest.empty()) return false;
    // Lever rule: N xp = Ne xe + No y with y = xp + t (xp - xe).
    const double N = o.N;
    set_amounts(ws, o, N / (1.0 + best_t), ybest);
    set_amounts(ws, c, N * best_t / (1.0 + best_t), xe);
    return true;
}

}  // namespace eqcore::detail
