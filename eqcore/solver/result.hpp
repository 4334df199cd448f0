// The result of an equilibrium calculation. Amounts are in mol, energies in
// J, entropies and heat capacities in J/K, volumes in m3, potentials in J/mol;
// arrays are indexed like the System (phases, constituents, elements).
#pragma once

#include <string>
#include <vector>

#include "solver/status.hpp"

namespace eqcore {

struct PhaseResult {
    bool considered = false;  // entered and able to hold the material's elements
    bool present = false;
    double amount = 0.0;      // mol of constituents (of formula units for a phase with sublattices)
    double G = 0.0, H = 0.0, S = 0.0, Cp = 0.0, V = 0.0;  // of the phase's amount (0 when absent)
    // Driving force to form, J per mol of constituents (per formula unit for
    // a phase with sublattices; a mixture at its most favourable
    // composition): 0 for a present phase, negative for a phase that is
    // stably absent, 0 at the point where it is about to form.
    // A mixture written once that lies below every single plane the
    // present phases allow but that the balance holds out (at a feed the
    // present compounds make up exactly, one instance of it cannot reach
    // both sides of the feed): the least over its compositions of its
    // distance to the most favourable plane the assemblage allows at that
    // composition, and the composition where that least is reached.
    double driving_force = 0.0;
    // A phase whose model's variables are not its constituents (a phase with
    // sublattices): the fraction of every variable within its group, the site
    // fractions (the phase's composition when present, that of its least
    // driving force when absent; 0 for a variable that takes no part). Empty
    // otherwise.
    std::vector<double> site_fraction;
    // A phase whose site numbers follow its composition (an ionic liquid):
    // the sites of each sublattice per formula unit; site_fraction then
    // holds the fraction of every species of each sublattice in turn (the
    // vacancy included), and `amount` is in formula units. Empty otherwise.
    std::vector<double> sites;
};

struct EquilibriumResult {
    SolverStatus status = SolverStatus::no_convergence;
    std::string message;  // what failed, with the offending name or value
    bool succeeded() const { return status == SolverStatus::ok; }

    double T = 0.0;  // K
    double P = 0.0;  // Pa
    // Per constituent: amounts (0 when absent; for a phase with sublattices
    // one valid split into its end members), mole fractions in its phase
    // (for an absent mixture phase: the composition of least driving force),
    // activities (pure constituent of the phase at T, P and, for the gas,
    // 1 bar as reference) and chemical potentials (for constituents of
    // absent phases, sum_j a_ij pi_j).
    std::vector<double> amount, mole_fraction, activity, mu;
    std::vector<double> element_potential;  // pi_j, J/mol (0 for an element not in the material)
    std::vector<double> element_amount;     // b_j, mol
    std::vector<PhaseResult> phases;
    double G = 0.0, H = 0.0, S = 0.0, Cp = 0.0, V = 0.0;  // system; Cp at fixed amounts
    double H_in = 0.0;   // enthalpy of the streams as they enter, J (0 without streams)
    double heat = 0.0;   // heat of the calculation, H - H_in, J
    int iterations = 0;  // Newton iterations in total
    int calculations = 0;  // equilibria computed (more than one for a target)
};

}  // namespace eqcore
