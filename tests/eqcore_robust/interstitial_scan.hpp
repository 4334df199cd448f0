// A second method for two-constituent phases (M)(X,Va)n: the least
// tangent-plane distance by a scan of the first constituent's fraction,
// uniform and geometric towards both ends.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "data/system.hpp"
#include "thermo/phase_model.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::robust {

// Least distance / RT per formula unit of `phase` against potentials `pi`
// (J/mol by element) at T; the fraction reaching it goes to `y_at`.
inline double scanned_distance(const System& sys, const PhaseModel& model, int phase, double T,
                               const std::vector<double>& pi, double* y_at = nullptr) {
    double least = 1e300;
    auto at = [&](double y) {
        const std::vector<double> n = {y, 1.0 - y};
        std::vector<double> mu(2);
        phase_props(model, T, kPstd, n, mu);
        double D = 0.0;
        for (int k = 0; k < 2; ++k) {
            const Constituent& c = sys.constituent(phase, k);
            double api = 0.0;
            for (std::size_t j = 0; j < pi.size(); ++j) api += c.stoich[j] * pi[j];
            D += n[static_cast<std::size_t>(k)] * (mu[static_cast<std::size_t>(k)] - api);
        }
        D /= kR * T;
        if (D < least) {
            least = D;
            if (y_at) *y_at = y;
        }
    };
    const int uniform = 10000, decades = 3000;
    for (int i = 1; i < uniform; ++i) at(static_cast<double>(i) / uniform);
    for (int i = 0; i < decades; ++i) {
        const double y = std::pow(10.0, -12.0 + 11.0 * i / decades);
        at(y);
        at(1.0 - y);
    }
    return least;
}

}  // namespace eqcore::robust
