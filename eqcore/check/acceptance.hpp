// Acceptance of an equilibrium result, independent of how the solver reached
// it: the result is a certificate (amounts n, element potentials pi) and
// every condition of a Gibbs-energy minimum is verified against the models
// directly.
//
//  - amounts finite and non-negative; nothing in an absent phase or in a
//    constituent that does not take part; phase amounts the sums of their
//    constituents;
//  - element balances: sum_i a_ij n_i equal to the material's b_j (taken from
//    the problem, not from the result);
//  - every constituent of a present phase at mu_i = sum_j a_ij pi_j, with
//    mu_i recomputed by the phase's model at the reported amounts;
//  - no absent phase with a negative driving force: a stoichiometric phase
//    directly, a mixture by minimising its tangent-plane distance over its
//    composition from several starts (the lowest points of an exhaustive
//    grid over the composition simplex, the compositions of present phases
//    with the same constituents, every pure-constituent corner, the centre,
//    random points; a second-order descent in the square roots of the
//    amounts, after Michelsen 1982), so that a phase the solver missed is
//    found whatever the solver's own stability test concluded;
//  - G equal to sum_i n_i mu_i, to sum_j b_j pi_j and to the sum of the phase
//    models' G; G = H - T S;
//  - a present mixture written once (one homogeneous phase) not left in
//    its higher basin: no assemblage of the system's phases, each at most
//    once, with it at another composition of lower G (own_basins.hpp).
// Temperature and pressure are taken from the result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "solver/problem.hpp"
#include "solver/result.hpp"
#include "thermo/phase_model.hpp"

namespace eqcore {

struct AcceptanceOptions {
    double balance_tol = 1e-10;  // relative to the element's amount (floor: 1e-14 of all material)
    double mu_tol = 1e-8;        // |mu_i - a_i.pi| / RT for constituents of present phases
    double df_tol = 1e-8;        // least driving force / RT per mol an absent phase may show
    double energy_tol = 1e-9;    // G identities, relative to sum |n_i mu_i| (at least RT per mol present)
    double assemblage_tol = 1e-7;  // J / (RT per mol of material) by which another assemblage must be lower
    int random_starts = 4;       // random compositions per absent mixture, besides corners and centre
    std::uint64_t seed = 12345;  // of the random starts (reproducible)
};

struct AcceptanceReport {
    bool ok = true;
    std::vector<std::string> faults;  // one line per violated condition, naming phase/constituent/element
    // The worst values found (for reports): element balance (relative),
    // chemical-potential residual (/RT), most negative driving force of an
    // absent phase (/RT per mol), G identity (relative).
    double worst_balance = 0.0;
    double worst_mu = 0.0;
    double worst_df = 0.0;
    double worst_energy = 0.0;
    // Present mixtures written once: their least tangent distance / RT over
    // their own compositions (negative inside a gap), and the most by which
    // an assemblage with one at another composition was found lower (J).
    double worst_self_distance = 0.0;
    double lower_assemblage = 0.0;
    std::string summary() const;  // the faults on one line each, or "accepted"
};

// Checks `r` (a successful result) for the material and statuses of
// `problem`. A result whose status is not ok is reported as a fault, and so
// is one a model cannot be evaluated for (never throws on that).
AcceptanceReport check_equilibrium(const EquilibriumProblem& problem, const EquilibriumResult& r,
                                   const AcceptanceOptions& options = {});

// A composition of a mixture phase (by constituent of the phase) and its
// tangent-plane distance / RT there.
struct TangentMinimum {
    double D = 0.0;
    std::vector<double> x;
};

// Least tangent-plane distance / RT (per mol of the phase) of mixture phase
// `phase` against element potentials `pi` (J/mol, by system element) at T, P,
// over the compositions of its usable constituents (`usable`, by constituent
// of the phase). The composition reaching it goes to `x_best` (size of the
// phase). Negative means the phase would form. `model`: the phase's model
// (built from the system when null). `starts`: compositions (by constituent
// of the phase) to search from besides its own starts. `minima`: where
// every descent ended, lowest first (several basins of one phase).
double least_tangent_distance(const System& sys, int phase, double T, double P, const std::vector<double>& pi,
                              const std::vector<char>& usable, int random_starts, std::uint64_t seed,
                              std::vector<double>* x_best = nullptr, const PhaseModel* model = nullptr,
                              const std::vector<std::vector<double>>* starts = nullptr,
                              std::vector<TangentMinimum>* minima = nullptr);

// The local minimum of the tangent-plane distance / RT of mixture phase
// `phase` in whose basin composition `x` lies (a second-order descent from
// x without substitution steps): D there, x replaced by its composition.
double local_tangent_distance(const System& sys, int phase, double T, double P, const std::vector<double>& pi,
                              const std::vector<char>& usable, std::vector<double>& x, const PhaseModel& model);

}  // namespace eqcore
