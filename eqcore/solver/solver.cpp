// The public face of the solver: checks the problem and conditions, reduces
// the problem, and runs the fixed-T,P calculation or a temperature target.
#include "solver/solver.hpp"

#include <cmath>
#include <exception>
#include <string>

#include "solver/streams.hpp"
#include "solver/workspace.hpp"

namespace eqcore {
namespace {

SolverStatus check(const EquilibriumProblem& pr, const Conditions& c, std::string& message) {
    if (!pr.system) {
        message = "no system loaded";
        return SolverStatus::bad_conditions;
    }
    const System& sys = *pr.system;
    if (pr.phase_entered.size() != sys.phases.size() || pr.constituent_entered.size() != sys.constituents.size()) {
        message = "entered flags do not match the system's phases and constituents";
        return SolverStatus::bad_conditions;
    }
    for (const Feed& s : pr.streams) {
        if (s.amount.size() > sys.constituents.size()) {
            message = "stream " + s.name + ": more amounts than the system has constituents";
            return SolverStatus::bad_conditions;
        }
        for (std::size_t g = 0; g < s.amount.size(); ++g)
            if (!std::isfinite(s.amount[g]) || s.amount[g] < 0.0) {
                message = "stream " + s.name + ": amount of " + sys.constituents[g].name + " is " +
                          std::to_string(s.amount[g]) + ", not a finite non-negative number";
                return SolverStatus::bad_conditions;
            }
    }
    if (!(std::isfinite(c.P) && c.P > 0.0)) {
        message = "pressure " + std::to_string(c.P) + " Pa is not a positive number";
        return SolverStatus::bad_conditions;
    }
    if (!(std::isfinite(c.T_low) && std::isfinite(c.T_high) && c.T_low > 0.0 && c.T_low < c.T_high)) {
        message = "temperature limits " + std::to_string(c.T_low) + " K, " + std::to_string(c.T_high) +
                  " K are not an interval of positive temperatures";
        return SolverStatus::bad_conditions;
    }
    if (!std::isfinite(c.T)) {
        message = "temperature is not a number";
        return SolverStatus::bad_conditions;
    }
    if (c.target.kind == TargetKind::none && (c.T < c.T_low || c.T > c.T_high)) {
        message = "temperature " + std::to_string(c.T) + " K outside the limits [" + std::to_string(c.T_low) + ", " +
                  std::to_string(c.T_high) + "] K";
        return SolverStatus::temperature_outside;
    }
    if ((c.target.kind == TargetKind::formation || c.target.kind == TargetKind::precipitation) &&
        (c.target.phase < 0 || c.target.phase >= sys.phase_count())) {
        message = "target phase " + std::to_string(c.target.phase + 1) + " out of range 1.." +
                  std::to_string(sys.phase_count());
        return SolverStatus::bad_conditions;
    }
    if (c.target.kind == TargetKind::enthalpy && !std::isfinite(c.target.value)) {
        message = "enthalpy condition is not a number";
        return SolverStatus::bad_conditions;
    }
    return SolverStatus::ok;
}

}  // namespace

Solver::Solver(SolverOptions options) : options_(options), ws_(std::make_unique<detail::Workspace>()) {
    ws_->opt = options_;
}
Solver::~Solver() = default;
Solver::Solver(Solver&&) noexcept = default;
Solver& Solver::operator=(Solver&&) noexcept = default;

void Solver::forget() {
    ws_->have_solution = false;
    ws_->feeds_models = nullptr;
    detail::forget_stability(*ws_);
}

void Solver::reset() {
    ws_ = std::make_unique<detail::Workspace>();
    ws_->opt = options_;
}

EquilibriumResult Solver::equilibrate(const EquilibriumProblem& problem, const Conditions& conditions) {
    EquilibriumResult r;
    equilibrate(problem, conditions, r);
    return r;
}

void Solver::equilibrate(const EquilibriumProblem& problem, const Conditions& cond, EquilibriumResult& out) {
    detail::Workspace& ws = *ws_;
    out.message.clear();
    const int iterations0 = ws.iterations, calculations0 = ws.calculations;
    SolverStatus st = check(problem, cond, out.message);
    try {
        if (st == SolverStatus::ok) {
            problem.elements(ws.b_in);
            st = detail::prepare(ws, problem, ws.b_in, out.message);
        }
        if (st == SolverStatus::ok) {
            const double H_in = detail::held_feeds_enthalpy(ws, problem);
            if (cond.target.kind == TargetKind::none) {
                detail::set_conditions(ws, cond.T, cond.P);
                st = detail::solve_tp(ws, options_.warm_start, out.message);
                if (st == SolverStatus::ok) {
                    out.H_in = H_in;
                    detail::fill_result(ws, out);
                }
            } else {
                st = detail::temperature_target(ws, cond, H_in, out, out.message);
            }
        }
    } catch (const std::exception& e) {
        // A phase model that cannot be evaluated where the calculation
        // took it (a quasichemical distribution not found under extreme
        // parameters): the calculation fails with the model's reason, and
        // the half-done state is not remembered for the next one.
        st = SolverStatus::no_convergence;
        out.message = e.what();
        forget();
    }
    out.status = st;
    out.iterations = ws.iterations - iterations0;
    out.calculations = ws.calculations - calculations0;
    if (st != SolverStatus::ok && out.message.empty()) out.message = std::string(status_name(st));
}

}  // namespace eqcore
