// The engine's checked mode: a calculation followed by the acceptance check,
// so that a result the check rejects is reported as a failure and never
// returned as a success. For debugging and for callers that prefer a slower,
// verified answer.
#pragma once

#include "check/acceptance.hpp"
#include "solver/solver.hpp"

namespace eqcore {

// As Solver::equilibrate; a successful result that fails the check gets
// status no_convergence and a message that starts "result rejected by the
// acceptance check:" followed by the faults.
void equilibrate_checked(Solver& solver, const EquilibriumProblem& problem, const Conditions& conditions,
                         EquilibriumResult& out, const AcceptanceOptions& options = {});

}  // namespace eqcore
