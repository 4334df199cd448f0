// Excess (non-ideal) part of a mixture phase's Gibbs energy: RKMP and QKTO.
// Stateless: phase data and (T, x) in, a result struct out. IDMX and the gas
// have no excess part (all fields 0).
#pragma once

#include <span>

#include "data/system.hpp"

namespace eqcore {

struct ExcessResult {
    double g = 0.0;   // molar excess Gibbs energy, J/mol of phase
    double h = 0.0;   // molar excess enthalpy, J/mol
    double s = 0.0;   // molar excess entropy, J/(mol K)
    double cp = 0.0;  // molar excess heat capacity, J/(mol K)
};

// Value of one coefficient set L(T) = A + B T + C T ln T + D T^2 + E T^3 + F/T.
double parameter_value(const std::array<double, 6>& L, double T);

// Molar excess quantities at T and mole fractions x (size = phase.count).
// `mu` (size count, or empty): partial molar excess Gibbs energies, J/mol.
// `dmu` (count*count row-major, or empty): N * d(mu_i)/d(n_j) at total
// amount N, J/mol, symmetric.
ExcessResult excess(const Phase& phase, double T, std::span<const double> x,
                    std::span<double> mu = {}, std::span<double> dmu = {});

}  // namespace eqcore
