// Driving force of an absent phase against the current element potentials
// (per mol; per formula unit for a phase with sublattices):
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

// A phase with sublattices, per formula unit: D(y) = sum_g a_g sum_{s in g}
// y_s (ln y_s + mu_ex,s / RT - (a_s.pi - mu°_s)), minimised over the site
// fractions y. Ideal: in closed form, -sum_g a_g ln sum_{s in g} exp(a_s.pi
// - mu°_s). Otherwise successive substitution y_s ~ exp(a_s.pi - mu°_s -
// mu_ex,s(y)) within each sublattice, from the ideal composition and from
// every constituent's corner of its sublattice; the lowest distance is kept.
// The composition reached is left in ws.xbest (site fractions, slot order).
double sublattice_driving_force(Workspace& ws, const Candidate& c) {
    const int m = c.count;
    double* xb = ws.xbest.data();
    double ideal = 0.0;
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double top = -1e300;
        for (int k = b; k < e; ++k) top = std::max(top, potential_term(ws, c.first + k));
        double Z = 0.0;
        for (int k = b; k < e; ++k) {
            xb[k] = std::exp(potential_term(ws, c.first + k) - top);
            Z += xb[k];
        }
        for (int k = b; k < e; ++k) xb[k] /= Z;
        ideal -= ws.grp_sites[sz(g)] * (top + std::log(Z));
    }
    if (c.ideal) return ideal;

    double* x = ws.xtry.data();
    double* w = ws.wtmp.data();
    double* ex = ws.y.data() + c.first;  // excess potentials / RT (free while absent)
    std::vector<double>& keep = ws.dln;  // the best composition, slot positions of this candidate
    // Distance at site fractions x (excess potentials at x in ex).
    auto distance = [&]() {
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s)
                w[s - c.first] = ws.grp_share[sz(g)] * x[s - c.first];
        excess_mu(ws, c, w, ex);
        double D = 0.0;
        for (int g = c.group0; g < c.group0 + c.groups; ++g)
            for (int s = ws.grp_begin[sz(g)]; s < ws.grp_end[sz(g)]; ++s) {
                const int k = s - c.first;
                if (x[k] > 0.0) D += ws.grp_sites[sz(g)] * x[k] * (std::log(x[k]) + ex[k] - potential_term(ws, s));
            }
        return D;
    };
    double best = 1e300;
    for (int start = -1; start < m; ++start) {
        std::copy(xb, xb + m, x);
        if (start >= 0) {
            // The corner of slot `start` on its sublattice, the ideal
            // composition on the others.
            int g = c.group0;
            while (ws.grp_end[sz(g)] <= c.first + start) ++g;
            const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
            const double eps = e - b > 1 ? 1e-3 / (e - b - 1) : 0.0;
            for (int k = b; k < e; ++k) x[k] = k == start ? (e - b > 1 ? 1.0 - 1e-3 : 1.0) : eps;
        }
        for (int it = 0; it < 500; ++it) {
            distance();
            double change = 0.0;
            for (int g = c.group0; g < c.group0 + c.groups; ++g) {
                const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
                double zmax = -1e300;
                for (int k = b; k < e; ++k) zmax = std::max(zmax, potential_term(ws, c.first + k) - ex[k]);
                double z = 0.0;
                for (int k = b; k < e; ++k) z += std::exp(potential_term(ws, c.first + k) - ex[k] - zmax);
                for (int k = b; k < e; ++k) {
                    const double xn = std::exp(potential_term(ws, c.first + k) - ex[k] - zmax) / z;
                    change = std::max(change, std::abs(xn - x[k]));
                    x[k] = xn;
                }
            }
            if (change < 1e-13) break;
        }
        const double D = distance();
        if (D < best) {
            best = D;
            for (int k = 0; k < m; ++k) keep[sz(c.first + k)] = x[k];
        }
    }
    for (int k = 0; k < m; ++k) xb[k] = keep[sz(c.first + k)];
    return best;
}

}  // namespace

double driving_force(Workspace& ws, int ci) {
    const Candidate& c = ws.cand[sz(ci)];
    if (c.pure) return -potential_term(ws, c.first);
    if (c.groups > 1) return sublattice_driving_force(ws, c);
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
