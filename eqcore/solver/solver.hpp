// eqcore::Solver: Gibbs-energy minimisation at fixed temperature and
// pressure, and the temperature targets built on it.
//
// Method (White, Johnson & Dantzig 1958; Gordon & McBride, NASA RP-1311,
// 1994; Smith & Missen, Chemical Reaction Equilibrium Analysis, 1982; Lukas,
// Fries & Sundman, Computational Thermodynamics, 2007):
//  1. Start: a linear program minimises G over the stoichiometric phases,
//     the gas species and sampled compositions of every mixture phase
//     (mixing neglected); its basis gives the first phase assemblage and its
//     dual, corrected for the ideal mixing of the basic constituents, the
//     first element potentials. A previous solution of the same setup
//     replaces it (warm start).
//  2. Newton iteration on the Lagrangian of the assemblage. The unknowns are
//     reduced to the element potentials, one amount change per mixture
//     phase and the amounts of the present stoichiometric phases; the
//     constituents follow in logarithmic form from the exact second
//     derivatives of each mixture phase (ideal and excess parts), so trace
//     mole fractions down to 1e-30 and below stay accurate and positive.
//     The step is shortened so that no amount turns negative; a phase whose
//     amount would vanish leaves the assemblage. A phase with sublattices
//     takes part through its site amounts, its Newton block restricted to
//     the directions that keep its site ratios.
//  3. At convergence every absent phase is tested by its driving force
//     (stoichiometric phases directly; mixtures by minimising the
//     tangent-plane distance from several starts); the most unstable one is
//     added and step 2 repeats. A miscibility gap needs the phase entered
//     twice (the data file's NAME#1, NAME#2).
//  4. Converged when element balances hold to 1e-12 relative and every
//     chemical potential equals sum_j a_ij pi_j to 1e-9 RT, or when the
//     last full Newton step was so small that its second-order remainder
//     keeps both well inside those tolerances.
//
// Temperature targets search T between the limits around the estimate
// (bracket, then a safeguarded secant/bisection); each inner calculation
// warm-starts from the previous one. An enthalpy condition that falls on an
// invariant temperature returns that temperature with the coexisting phases
// split so that the condition holds exactly.
//
// When it fails: a calculation that does not meet its tolerances returns
// status no_convergence, never an approximate answer; a target without a
// root between the limits returns target_not_met. Remedies: check that the
// feed is not at a singular point (an invariant at fixed T), widen the limits,
// or give a closer estimate.
#pragma once

#include <memory>

#include "solver/conditions.hpp"
#include "solver/options.hpp"
#include "solver/problem.hpp"
#include "solver/result.hpp"

namespace eqcore {

namespace detail {
struct Workspace;
}

class Solver {
public:
    explicit Solver(SolverOptions options = {});
    ~Solver();
    Solver(Solver&&) noexcept;
    Solver& operator=(Solver&&) noexcept;
    Solver(const Solver&) = delete;
    Solver& operator=(const Solver&) = delete;

    // Equilibrium of `problem` under `conditions` (fixed T and P, or a
    // temperature target). Never throws for bad input: the status says
    // what was wrong. `out` is reused (no allocation once it has its sizes).
    void equilibrate(const EquilibriumProblem& problem, const Conditions& conditions, EquilibriumResult& out);
    EquilibriumResult equilibrate(const EquilibriumProblem& problem, const Conditions& conditions);

    // Drops the remembered solution: the next calculation starts cold.
    void forget();
    // Drops the setup as well (the system it was built for is gone).
    void reset();

    const SolverOptions& options() const { return options_; }

private:
    SolverOptions options_;
    std::unique_ptr<detail::Workspace> ws_;
};

}  // namespace eqcore
