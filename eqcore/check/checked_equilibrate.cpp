#include "check/checked_equilibrate.hpp"

namespace eqcore {

void equilibrate_checked(Solver& solver, const EquilibriumProblem& problem, const Conditions& conditions,
                         EquilibriumResult& out, const AcceptanceOptions& options) {
    solver.equilibrate(problem, conditions, out);
    if (!out.succeeded()) return;
    const AcceptanceReport rep = check_equilibrium(problem, out, options);
    if (rep.ok) return;
    out.status = SolverStatus::no_convergence;
    out.message = "result rejected by the acceptance check: ";
    for (std::size_t i = 0; i < rep.faults.size(); ++i) out.message += (i ? "; " : "") + rep.faults[i];
    // The remembered solution is not a trustworthy start either.
    solver.forget();
}

}  // namespace eqcore
