// Whole-phase quantities at (T, P, n): the model of the phase applied to the
// constituent amounts n (mol). Ideal gas: G°_i + RT ln(x_i P/P°); mixtures:
// G°_i + RT ln x_i + excess; a pure phase: G°.
#pragma once

#include <span>

#include "data/system.hpp"
#include "thermo/standard.hpp"

namespace eqcore {

struct PhaseProps {
    double G = 0.0;   // J
    double H = 0.0;   // J
    double S = 0.0;   // J/K
    double Cp = 0.0;  // J/K, dH/dT at fixed amounts
    double V = 0.0;   // m3 (gas: nRT/P; condensed: sum n_i * molar volume)
};

// n: amounts of the phase's constituents (size phase.count), mol; P in Pa.
// `mu` (size count, or empty): chemical potentials, J/mol (constituents with
// n_i = 0 get the limit value only for pure phases; mixtures need n_i > 0).
// `dmu` (count*count, or empty): d(mu_i)/d(n_j), J/mol^2.
PhaseProps phase_props(const System& sys, int phase, double T, double P,
                       std::span<const double> n, std::span<double> mu = {},
                       std::span<double> dmu = {});

// The same with the constituents' standard-state values at T given (size
// phase.count; entries of constituents with n_i = 0 are not used), for
// callers that keep them for many evaluations at one temperature.
PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<const StandardProps> standard, std::span<double> mu = {},
                       std::span<double> dmu = {});

}  // namespace eqcore
