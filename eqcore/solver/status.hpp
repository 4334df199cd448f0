// Outcome of an equilibrium calculation. Every failure has its own kind so
// that callers (the session, the entry points) can map it to a stable error
// number; `ok` is the only success.
#pragma once

#include <string_view>

namespace eqcore {

enum class SolverStatus {
    ok,
    no_material,            // no element has a positive amount
    element_not_carried,    // an element of the feed is in no entered constituent
    temperature_outside,    // T (or a target's estimate) outside [T_low, T_high]
    bad_conditions,         // a non-positive pressure, an invalid phase index, ...
    no_convergence,         // the iteration did not meet its tolerances
    target_not_met,         // no temperature between the limits satisfies the target
    precipitation_on_pure,  // a precipitation target on a stoichiometric phase
};

constexpr std::string_view status_name(SolverStatus s) {
    switch (s) {
        case SolverStatus::ok: return "ok";
        case SolverStatus::no_material: return "no material in the streams";
        case SolverStatus::element_not_carried: return "element carried by no entered constituent";
        case SolverStatus::temperature_outside: return "temperature outside the limits";
        case SolverStatus::bad_conditions: return "invalid conditions";
        case SolverStatus::no_convergence: return "equilibrium calculation did not converge";
        case SolverStatus::target_not_met: return "target not met between the temperature limits";
        case SolverStatus::precipitation_on_pure: return "precipitation target on a stoichiometric phase";
    }
    return "unknown";
}

}  // namespace eqcore
