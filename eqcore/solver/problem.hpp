// What an equilibrium is computed for: a loaded system, which of its phases
// and constituents take part, and the material (element amounts, or streams
// whose incoming constituents give them). Kept apart from the conditions
// (T, P, targets) and from the solver options.
#pragma once

#include <string>
#include <vector>

#include "data/system.hpp"

namespace eqcore {

class PhaseModels;

// One stream of material entering the calculation: amounts of System constituents (mol, by
// global constituent index) at the stream's own temperature (K) and pressure (Pa).
struct Feed {
    std::string name;
    double T = kT298;
    double P = kPstd;
    std::vector<double> amount;  // size = system constituent count
};

struct EquilibriumProblem {
    const System* system = nullptr;
    // The models of the system's phases (thermo/models.hpp); when null the
    // solver and the check build them from the system.
    const PhaseModels* models = nullptr;
    // Entered flags (1 = takes part); dormant phases never take part.
    std::vector<char> phase_entered;        // size phase_count
    std::vector<char> constituent_entered;  // size = constituent count
    // Element amounts (mol, by System element) used when `streams` is empty.
    std::vector<double> element_amount;
    std::vector<Feed> streams;

    // Every phase and constituent entered, no material.
    static EquilibriumProblem all_entered(const System& sys);

    // Adds `mol` of constituent `k` of `phase` (0-based) to the stream named
    // `stream` (created at T, P if missing).
    void add(const std::string& stream, int phase, int k, double mol, double T = kT298, double P = kPstd);

    // Element amounts of the material (streams when any, else element_amount).
    std::vector<double> elements() const;
    void elements(std::vector<double>& out) const;
};

}  // namespace eqcore
