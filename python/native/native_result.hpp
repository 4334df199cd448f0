// The result of one calculation as the Python package holds it: the
// engine's result (SI), the problem it was computed for (for the acceptance
// check) and the units its values are reported in.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine.hpp"

namespace eqcore::python {

struct NativeResult {
    std::shared_ptr<const System> system;  // keeps problem.system alive
    Units units;
    EquilibriumProblem problem;
    EquilibriumResult result;
};

// An engine with the results it hands out: a result no longer held by
// anyone else is reused for the next calculation, so that a loop of
// calculations allocates nothing once its results have their sizes.
struct PooledEngine {
    explicit PooledEngine(std::shared_ptr<const System> sys) : engine(std::move(sys)) {}
    Engine engine;
    std::vector<std::shared_ptr<NativeResult>> pool;

    // A result to fill: a pooled one that only the pool holds, else a new
    // one (kept in the pool while it is small). Call with the interpreter's
    // lock held, since the interpreter drops the results it held.
    std::shared_ptr<NativeResult> free_result();
};

// One calculation of `engine` into `out` (without the interpreter's lock).
void run(Engine& engine, const Request& q, NativeResult& out);

// Every per-constituent, per-phase and per-element value in the units in force.
struct ResultArrays {
    std::vector<double> amount, mole_fraction, activity, mu;  // by constituent
    std::vector<double> phase_amount, phase_G, phase_H, phase_S, phase_Cp, phase_V, driving_force;  // by phase
    std::vector<std::uint8_t> present, considered;                                              // by phase
    std::vector<double> element_amount, element_potential;                                      // by element
};
ResultArrays result_arrays(const NativeResult& r);

}  // namespace eqcore::python
