// Whole-phase quantities from a phase model: the standard part, the ideal
// mixing within each group (with the gas pressure term) and the model's
// remainder put together (phase_model.hpp states the decomposition), at
// internal amounts or at amounts of the reported constituents.
#pragma once

#include <span>

#include "data/system.hpp"
#include "thermo/phase_model.hpp"
#include "thermo/standard.hpp"

namespace eqcore {

struct PhaseProps {
    double G = 0.0;   // J
    double H = 0.0;   // J
    double S = 0.0;   // J/K
    double Cp = 0.0;  // J/K, dH/dT at fixed amounts
    double V = 0.0;   // m3 (gas: N R T / P; condensed: sum of amount times molar volume)
};

// At internal amounts v (mol, size variables); P in Pa. `standard` (size
// variables, or empty to evaluate them here): the variables' standard-state
// values at T, for callers that keep them for many evaluations at one
// temperature (entries of variables with v_i = 0 are not used). `mu` (size
// variables, or empty): dG/dv_i, J/mol (a mixture needs v_i > 0; a
// stoichiometric phase gives G° at any amount). `hess` (variables^2, or
// empty): d2G/dv_i dv_j, J/mol^2. `ln_fraction` (size variables, or empty
// to compute them here): ln of each variable's fraction within its group,
// for callers that hold them (entries of variables with v_i = 0 unused).
// `at_T` (or empty to evaluate them here): the model's parameters at T
// (PhaseModel::parameters), for callers that hold them.
PhaseProps evaluate(const PhaseModel& model, double T, double P, std::span<const double> v,
                    std::span<const StandardProps> standard = {}, std::span<double> mu = {},
                    std::span<double> hess = {}, std::span<const double> ln_fraction = {},
                    std::span<const ParameterT> at_T = {});

// At amounts n of the reported constituents (mol, size constituents): `mu`
// the constituents' chemical potentials, J/mol, `dmu` d(mu_k)/d(n_l), J/mol^2.
PhaseProps phase_props(const PhaseModel& model, double T, double P, std::span<const double> n,
                       std::span<double> mu = {}, std::span<double> dmu = {});

// One-off evaluations (tests, tools): the model of `phase` is built for the
// call. `standard` (size phase.count) as above.
PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<double> mu = {}, std::span<double> dmu = {});
PhaseProps phase_props(const System& sys, int phase, double T, double P, std::span<const double> n,
                       std::span<const StandardProps> standard, std::span<double> mu = {},
                       std::span<double> dmu = {});

}  // namespace eqcore
