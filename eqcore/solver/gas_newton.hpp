// Newton on an assemblage whose only present mixture is an ideal one of one
// mixing group (a gas), beside any stoichiometric phases.
#pragma once

#include <cmath>

#include "solver/workspace.hpp"

namespace eqcore::detail {

// Where the general iteration (newton()) takes over from gas_newton(): the
// iteration to go on with and what the iterations before it measured.
struct NewtonCarry {
    bool started = false;  // ln x of the gas and the potentials' gauge are set for this call
    int it = 0;
    int trace_chase = 0;  // full steps in a row that chased traces
    int zero_holds = 0;   // steps taken past stoichiometric phases held at zero
    double last_mu_res = HUGE_VAL;
    double last_balance = HUGE_VAL;
    bool last_full = false;
};

// The iteration of newton() for such an assemblage: the same system, steps,
// limits and convergence test, with each constituent's part of a stage in
// one pass. True with `outcome` (and `removed`, the phase that left) when it
// finished. False when the assemblage is of another kind, or at the start of
// an iteration where newton() takes a path of its own (a singular system,
// free directions of the potentials, compounds beside a gas at a trace):
// the state is then that iteration's start and `carry` holds the rest.
bool gas_newton(Workspace& ws, int& removed, NewtonOutcome& outcome, NewtonCarry& carry);

}  // namespace eqcore::detail
