// Driving force of an absent phase against the current element potentials:
// the minimum over its composition of the tangent-plane distance
//     D(x) = sum_i x_i (mu_i(x) - a_i.pi) / RT.
// A stoichiometric phase has one composition. An ideal mixture has the closed
// form D = -ln sum_i exp(a_i.pi - mu°_i/RT). A non-ideal mixture is searched
// by successive substitution x_i ~ exp(a_i.pi - mu°_i/RT - mu_ex,i(x)/RT) from
// the ideal-solution composition and from every constituent's corner, keeping
// the lowest distance (Michelsen's stability test).
#include <algorithm>
#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

double potential_term(const Workspace& ws, int s) { return ws.adot(s, ws.pi.data()) - ws.g0[sz(s)]; }

// Excess potentials /RT of candidate c at x (slot order) into out (slot order).
void excess_mu(Workspace& ws, const Candidate& c, const double* x, double* out) {
    remainder_at(ws, c, x, true, false);
    for (int k = 0; k < c.count; ++k) out[k] = ws.muex[sz(ws.slot_var[sz(c.first + k)])] / ws.RT;
}

}  // namespace

double driving_force(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    if (c.pure) return -potential_term(ws, c.first);
    const int m = c.count;
    double* xb = ws.xbest.data();
    // Ideal part: x_i ~ exp(a_i.pi - mu°_i).
    double top = -1e300;
    for (int k = 0; k < m; ++k) top = std::max(top, potential_term(ws, c.first + k));
    double Z = 0.0;
    for (int k = 0; k < m; ++k) {
        xb[k] = std::exp(potential_term(ws, c.first + k) - top);
        Z += xb[k];
    }
    for (int k = 0; k < m; ++k) xb[k] /= Z;
    const double ideal = -(top + std::log(Z));
    if (c.ideal) return ideal;

    double best = 1e300;
    double* x = ws.xtry.data();
    // Excess potentials go in ws.y's slots of this candidate (free while absent).
    double* ex = ws.y.data() + c.first;
    std::vector<double>& keep = ws.dln;  // the best composition, slot positions of this candidate
    for (int start = -1; start < m; ++start) {
        if (start < 0) {
            std::copy(xb, xb + m, x);
        } else {
            const double eps = m > 1 ? 1e-3 / (m - 1) : 0.0;
            for (int k = 0; k < m; ++k) x[k] = k == start ? 1.0 - 1e-3 : eps;
            if (m == 1) x[0] = 1.0;
        }
        double D = 1e300;
        for (int it = 0; it < 500; ++it) {
            excess_mu(ws, c, x, ex);
            double zmax = -1e300;
            for (int k = 0; k < m; ++k) zmax = std::max(zmax, potential_term(ws, c.first + k) - ex[k]);
            double z = 0.0, change = 0.0;
            for (int k = 0; k < m; ++k) z += std::exp(potential_term(ws, c.first + k) - ex[k] - zmax);
            for (int k = 0; k < m; ++k) {
                const double xn = std::exp(potential_term(ws, c.first + k) - ex[k] - zmax) / z;
                change = std::max(change, std::abs(xn - x[k]));
                x[k] = xn;
            }
            D = -(zmax + std::log(z));
            if (change < 1e-13) break;
        }
        // The distance at the final composition itself.
        excess_mu(ws, c, x, ex);
        double Dx = 0.0;
        for (int k = 0; k < m; ++k)
            if (x[k] > 0.0) Dx += x[k] * (std::log(x[k]) + ex[k] - potential_term(ws, c.first + k));
        D = Dx;
        if (D < best) {
            best = D;
            for (int k = 0; k < m; ++k) keep[sz(c.first + k)] = x[k];
        }
    }
    for (int k = 0; k < m; ++k) xb[k] = keep[sz(c.first + k)];
    return best;
}

}  // namespace eqcore::detail
