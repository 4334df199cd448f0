// Properties of material as it enters: each phase of a stream's constituents
// taken as a mixture of those constituents at the stream's own T and P, with
// no reaction. The heat of a calculation is H(equilibrium) minus the sum of
// these enthalpies.
#pragma once

#include "solver/problem.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {

// G, H, S, Cp, V of one stream (all zero for an empty stream); `models` are
// those of the system's phases.
PhaseProps feed_props(const System& sys, const PhaseModels& models, const Feed& stream);

// Enthalpy of all streams of the problem, J.
double feeds_enthalpy(const EquilibriumProblem& problem, const PhaseModels& models);

}  // namespace eqcore
