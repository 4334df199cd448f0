#include "solver/own_basin_bound.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "solver/stability_memory.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The ideal part's curvature bound on the ball of radius rho around x.
double ideal_curvature(const double* x, int m, double rho) {
    double top = 0.0;
    for (int k = 0; k < m; ++k) top = std::max(top, std::min(1.0, x[k] + rho));
    return std::max(2.0, 1.0 / top);
}

}  // namespace

double own_basin_curvature(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    const bool one_site = c.groups == 1 && ws.grp_sites[sz(c.group0)] == 1.0 && ws.grp_share[sz(c.group0)] == 1.0;
    if (c.ideal || !one_site || c.model->layout().redundant) return std::numeric_limits<double>::infinity();
    TangentMemory& t = ws.tpm[sz(ci)];
    if (t.curvature_T != ws.T) {
        t.curvature = c.model->excess_curvature_bound(ws.T, active_variables(ws, c));
        t.curvature_T = ws.T;
    }
    return t.curvature;
}

bool own_basin_convex(double M, const double* x, int m) { return ideal_curvature(x, m, 0.0) > M; }

bool own_basin_proven(Workspace& ws, int ci, const double* x_k, const double* x_end, double d, double delta,
                      double rise, double M, double& lower) {
    const Candidate& c = ws.cand[sz(ci)];
    const int m = c.count;
    if (!std::isfinite(M) || !std::isfinite(rise) || !(delta >= 0.0)) return false;
    // The gradient of D at x_end along the directions that keep the sum:
    // ln y_s - (a_s.pi - g0_s) + mu_ex,s / RT, less its mean.
    remainder_at(ws, c, x_end, true, false);
    double* g = ws.tp_grad.data();
    double mean = 0.0;
    for (int k = 0; k < m; ++k) {
        const int s = c.first + k;
        g[k] = std::log(x_end[k]) - (ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]) + ws.muex[sz(ws.slot_var[sz(s)])] / ws.RT;
        mean += g[k];
    }
    mean /= m;
    double gn = 0.0, away = 0.0;
    for (int k = 0; k < m; ++k) {
        gn += (g[k] - mean) * (g[k] - mean);
        away += (x_k[k] - x_end[k]) * (x_k[k] - x_end[k]);
    }
    gn = std::sqrt(gn);
    away = std::sqrt(away);
    const double need = std::max(delta + rise - d, 0.0);
    if (!std::isfinite(gn) || !std::isfinite(need)) return false;
    // The radius at which the quadratic bound reaches `need`, with the
    // curvature of the ball of that radius; a larger ball has no more
    // curvature, so the radius grows until it is consistent.
    double rho = 0.0;
    for (int it = 0; it < 8; ++it) {
        const double lambda = ideal_curvature(x_end, m, rho) - M;
        if (!(lambda > 0.0)) return false;
        const double r = (gn + std::sqrt(gn * gn + 2.0 * lambda * need)) / lambda;
        if (r <= rho) {
            if (!(away < rho)) return false;
            lower = d - gn * gn / (2.0 * lambda);
            return true;
        }
        rho = r * (1.0 + 1e-12);
    }
    return false;
}

}  // namespace eqcore::detail
