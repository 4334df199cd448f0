// The session's equilibrium calculation: its state handed to the solver,
// the solver's outcome turned into the session's errors, the result kept
// until the next change.
#include <string>

#include "check/checked_equilibrate.hpp"
#include "session/session.hpp"
#include "session/text.hpp"

namespace eqcore {

Error error_of(SolverStatus s) {
    switch (s) {
        case SolverStatus::ok: return Error::none;
        case SolverStatus::no_material: return Error::no_material;
        case SolverStatus::element_not_carried: return Error::element_not_carried;
        case SolverStatus::temperature_outside: return Error::temperature_outside_limits;
        case SolverStatus::bad_conditions: return Error::invalid_value;
        case SolverStatus::no_convergence: return Error::no_convergence;
        case SolverStatus::target_not_met: return Error::target_not_met;
        case SolverStatus::precipitation_on_pure: return Error::precipitation_on_stoichiometric;
    }
    return Error::internal;
}

const EquilibriumResult& Session::equilibrate(bool temperature_unknown, int phase, double estimate_K) {
    const System& sys = system();
    result_current_ = false;
    // The problem: entered phases and constituents, the streams as they enter.
    problem_.system = &sys;
    problem_.models = &models_;
    problem_.phase_entered.assign(sys.phases.size(), 0);
    problem_.constituent_entered.assign(sys.constituents.size(), 0);
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        problem_.phase_entered[static_cast<std::size_t>(p)] = phase_active(p) ? 1 : 0;
        for (int k = 0; k < ph.count; ++k) {
            const auto g = static_cast<std::size_t>(ph.first + k);  // within the system by construction
            problem_.constituent_entered[g] = constituent_entered_[g] ? 1 : 0;
        }
    }
    problem_.element_amount.assign(sys.elements.size(), 0.0);
    problem_.streams.resize(streams_.size());
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        Feed& f = problem_.streams[i];
        f.name = streams_[i].name;
        f.T = streams_[i].T;
        f.P = streams_[i].P;
        f.amount = streams_[i].n;
    }
    // The conditions.
    Conditions c;
    c.P = pressure();
    c.T_low = tlow_;
    c.T_high = thigh_;
    c.T = temperature();
    if (temperature_unknown) {
        c.T = estimate_K;
        if (phase < 0) {
            const Condition* h = find_condition(ConditionKind::enthalpy);
            if (!h) throw Failure(Error::missing_condition, "temperature search: no enthalpy condition \"H\" is set");
            c.target.kind = TargetKind::enthalpy;
            c.target.value = h->value;
        } else {
            check_phase(phase);
            const Condition* a = find_condition(ConditionKind::target);
            if (!a)
                throw Failure(Error::missing_condition, "temperature search on phase " +
                                                            sys.phases[static_cast<std::size_t>(phase)].name +
                                                            ": no target condition \"A\" is set");
            c.target.kind = a->value >= 0.0 ? TargetKind::formation : TargetKind::precipitation;
            c.target.phase = phase;
            c.target.value = a->value;
        }
    }
    if (streams_.empty()) throw Failure(Error::no_material, "no stream is defined: there is no material to equilibrate");
    if (checked_)
        equilibrate_checked(solver_, problem_, c, result_);
    else
        solver_.equilibrate(problem_, c, result_);
    if (!result_.succeeded()) throw Failure(error_of(result_.status), result_.message);
    result_current_ = true;
    return result_;
}

const EquilibriumResult& Session::result() const {
    if (!result_current_)
        throw Failure(Error::no_current_result,
                      "no current result: the last calculation failed, or statuses, conditions or streams changed since");
    return result_;
}

}  // namespace eqcore
