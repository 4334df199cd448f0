// A second method for binary interstitial files: the lower convex hull of
// every condensed phase's Gibbs energy sampled on a fine site-fraction grid.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "data/system.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace eqcore::testing {

// Brute force for a binary interstitial system (metal, then the
// interstitial element): every phase (M)a1(X,Va)a2 sampled on a fine grid
// of its X site fraction, uniform and geometric towards both ends (stoichiometric phases as points), each point as
// (x_X, G per mol of atoms); the equilibrium is the lower convex hull at
// the overall composition. The gas (absent by tens of kJ in every state the
// tests use) is left out.
inline double hull_minimum(const System& sys, double T, double xX) {
    std::vector<std::pair<double, double>> pts;
    const int metal = 0, x = 1;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        if (ph.dormant || ph.is_gas()) continue;
        if (!ph.is_mixture()) {
            const Constituent& c = sys.constituent(p, 0);
            const double atoms = c.stoich[metal] + c.stoich[x];
            pts.emplace_back(c.stoich[x] / atoms, standard(c, T).g / atoms);
            continue;
        }
        // (M)a1 (X, VA)a2: end members M:X, M:VA; one formula unit.
        const double a1 = ph.sublattice.sites[0], a2 = ph.sublattice.sites[1];
        const auto model = make_model(sys, p);
        auto sample = [&](double y) {
            const std::vector<double> amounts = {y, 1.0 - y};
            const double atoms = a1 + a2 * y;
            pts.emplace_back(a2 * y / atoms, phase_props(*model, T, 101325.0, amounts).G / atoms);
        };
        // Uniform, and geometric towards both ends (dilute solutions).
        const int n = 40000;
        for (int i = 1; i < n; ++i) sample(static_cast<double>(i) / n);
        for (int i = 0; i < 8000; ++i) {
            const double y = std::pow(10.0, -12.0 + 11.0 * i / 8000.0);
            sample(y);
            sample(1.0 - y);
        }
    }
    std::sort(pts.begin(), pts.end());
    std::vector<std::pair<double, double>> hull;
    for (const auto& q : pts) {
        while (hull.size() >= 2) {
            const auto& a = hull[hull.size() - 2];
            const auto& b = hull.back();
            if ((b.first - a.first) * (q.second - a.second) - (b.second - a.second) * (q.first - a.first) <= 0.0)
                hull.pop_back();
            else
                break;
        }
        hull.push_back(q);
    }
    for (std::size_t k = 1; k < hull.size(); ++k) {
        const std::pair<double, double> a = hull[k - 1], b = hull[k];
        if (b.first >= xX) return a.second + (b.second - a.second) * (xX - a.first) / (b.first - a.first);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace eqcore::testing
