// The least tangent-plane distance of a mixture of one mixing group over
// the compositions with sum_k sigma_k x_k = 0: the slice of its simplex
// that a free direction of the potentials does not tilt (hold_out_by_balance
// needs the distance there, the same at every potential along the line).
//
// Each descent is a successive substitution with the slice as a
// constraint: at x the remainder's potentials are frozen, the ideal part
// is minimised over the slice in closed form (z_k proportional to
// exp(-c_k + lambda sigma_k), lambda putting z on the slice), and x moves
// towards z as far as the distance keeps falling. The entropy part is
// convex, so z - x is a descent direction wherever x is not stationary on
// the slice: every step lowers the distance and the descent ends at a
// stationary point. Starts: every vertex of the slice, points between each
// two of them, and their centroid.
#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

constexpr int kSteps = 400;       // substitutions per descent
constexpr int kHalvings = 40;     // step halvings before a point counts as stationary
constexpr double kFloor = 1e-300; // least fraction (the logarithm stays finite)

// D / RT per formula unit at y and, in c_out, each slot's a.pi - mu° part
// removed and the remainder's potential added: the slot's "cost" with the
// ideal logarithm left out.
double value_and_costs(Workspace& ws, const Candidate& c, const double* y, double* cost) {
    const int g = c.group0;
    double* w = ws.wtmp.data();
    for (int q = 0; q < c.count; ++q) w[q] = ws.grp_share[sz(g)] * std::max(y[q], kFloor);
    remainder_at(ws, c, w, true, false);
    double D = 0.0;
    for (int q = 0; q < c.count; ++q) {
        const int s = c.first + q;
        cost[q] = ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT - (ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]);
        const double v = std::max(y[q], kFloor);
        D += v * (std::log(v) + cost[q]);
    }
    return ws.grp_sites[sz(g)] * D;
}

// z_k proportional to exp(-cost_k + lambda sigma_k) with sum sigma z = 0
// (sigma of both signs): lambda by bisection on the increasing function
// sum sigma_k exp(...), in logarithms shifted by their largest value.
void slice_target(const std::vector<double>& sigma, const double* cost, double* z) {
    const int m = static_cast<int>(sigma.size());
    std::vector<double> e(sz(m));
    auto weigh = [&](double lambda) {
        double top = -1e300;
        for (int q = 0; q < m; ++q) top = std::max(top, -cost[q] + lambda * sigma[sz(q)]);
        double f = 0.0;
        for (int q = 0; q < m; ++q) {
            e[sz(q)] = std::exp(-cost[q] + lambda * sigma[sz(q)] - top);
            f += sigma[sz(q)] * e[sz(q)];
        }
        return f;
    };
    double lo = -1.0, hi = 1.0;
    while (weigh(lo) > 0.0 && lo > -1e12) lo *= 2.0;
    while (weigh(hi) < 0.0 && hi < 1e12) hi *= 2.0;
    for (int it = 0; it < 200 && hi - lo > 1e-13 * (1.0 + std::abs(lo) + std::abs(hi)); ++it) {
        const double mid = 0.5 * (lo + hi);
        (weigh(mid) < 0.0 ? lo : hi) = mid;
    }
    weigh(0.5 * (lo + hi));
    double sum = 0.0;
    for (int q = 0; q < m; ++q) sum += e[sz(q)];
    for (int q = 0; q < m; ++q) z[q] = e[sz(q)] / sum;
}

// Descends from y (on the slice) to a stationary point on it; its distance.
double slice_descent(Workspace& ws, const Candidate& c, const std::vector<double>& sigma, std::vector<double>& y) {
    const int m = c.count;
    std::vector<double> cost(sz(m)), z(sz(m)), t(sz(m)), trial_cost(sz(m));
    double D = value_and_costs(ws, c, y.data(), cost.data());
    for (int it = 0; it < kSteps; ++it) {
        slice_target(sigma, cost.data(), z.data());
        double move = 0.0;
        for (int q = 0; q < m; ++q) move = std::max(move, std::abs(z[sz(q)] - y[sz(q)]));
        if (move < 1e-12) break;
        double a = 1.0;
        bool lower = false;
        for (int h = 0; h < kHalvings && !lower; ++h, a *= 0.5) {
            for (int q = 0; q < m; ++q) t[sz(q)] = y[sz(q)] + a * (z[sz(q)] - y[sz(q)]);
            const double Dt = value_and_costs(ws, c, t.data(), trial_cost.data());
            if (Dt < D) {
                lower = true;
                D = Dt;
                y.swap(t);
                cost.swap(trial_cost);
            }
        }
        if (!lower) break;
    }
    return D;
}

}  // namespace

void slice_vertices(const std::vector<double>& sigma, std::vector<std::vector<double>>& corner) {
    const std::size_t m = sigma.size();
    corner.clear();
    for (std::size_t i = 0; i < m; ++i) {
        if (sigma[i] == 0.0) {
            corner.emplace_back(m, 0.0);
            corner.back()[i] = 1.0;
        }
        for (std::size_t j = 0; j < m; ++j)
            if (sigma[i] < 0.0 && sigma[j] > 0.0) {
                corner.emplace_back(m, 0.0);
                corner.back()[i] = sigma[j] / (sigma[j] - sigma[i]);
                corner.back()[j] = -sigma[i] / (sigma[j] - sigma[i]);
            }
    }
}

double least_on_slice(Workspace& ws, const Candidate& c, const std::vector<double>& sigma,
                      const std::vector<std::vector<double>>& corner, std::vector<double>& best) {
    const int m = c.count;
    std::vector<std::vector<double>> starts = corner;
    const std::size_t nc = corner.size();
    std::vector<double> mid(sz(m), 0.0);
    for (std::size_t a = 0; a < nc; ++a) {
        for (int q = 0; q < m; ++q) mid[sz(q)] += corner[a][sz(q)] / static_cast<double>(nc);
        for (std::size_t b = a + 1; b < nc; ++b)
            for (double t : {0.25, 0.5, 0.75}) {
                starts.emplace_back(sz(m));
                for (int q = 0; q < m; ++q) starts.back()[sz(q)] = (1.0 - t) * corner[a][sz(q)] + t * corner[b][sz(q)];
            }
    }
    if (nc > 2) starts.push_back(mid);
    double least = 1e300;
    for (std::vector<double>& y : starts) {
        // Strictly inside the slice, so that every slot can move.
        for (int q = 0; q < m; ++q) y[sz(q)] = 0.999 * y[sz(q)] + 0.001 * mid[sz(q)];
        const double D = slice_descent(ws, c, sigma, y);
        if (D < least) {
            least = D;
            best = y;
        }
    }
    // The value of record is the distance's own, not the descent's sum.
    return least < 1e300 ? distance_at(ws, c, best.data()) : least;
}

}  // namespace eqcore::detail
