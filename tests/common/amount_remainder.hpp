// The excess Gibbs energy of a phase at amounts v (mol or formula units),
// R(v) = (sum v) g_ex(v / sum v), from the model's value at the mole
// fractions alone: what tests difference to check the model's gradient
// (dR/dv_i = mu_ex,i) and Hessian in the amounts.
#pragma once

#include <vector>

#include "thermo/phase_model.hpp"

namespace eqcore::testing_support {

inline double amount_remainder(const PhaseModel& m, double T, const std::vector<double>& v) {
    double total = 0.0;
    for (double a : v) total += a;
    std::vector<double> w(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) w[i] = v[i] / total;
    return total * m.excess(T, w).g;
}

}  // namespace eqcore::testing_support
