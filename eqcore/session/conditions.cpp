// Conditions of the session: at most one of each kind, numbered from 1 in
// the order they were first set.
#include <cmath>

#include "session/session.hpp"
#include "session/text.hpp"

namespace eqcore {
using text::number;

int Session::set_condition(const Condition& c) {
    switch (c.kind) {
        case ConditionKind::temperature:
            if (!(c.value > 0.0) || !std::isfinite(c.value))
                throw Failure(Error::invalid_value, "temperature " + number(c.value) + " K (must be above 0 K)");
            break;
        case ConditionKind::pressure:
            if (!(c.value > 0.0) || !std::isfinite(c.value))
                throw Failure(Error::invalid_value, "pressure " + number(c.value) + " Pa (must be above 0)");
            break;
        case ConditionKind::enthalpy:
            if (!std::isfinite(c.value)) throw Failure(Error::invalid_value, "enthalpy condition " + number(c.value));
            break;
        case ConditionKind::target:
            if (c.constituent >= 0)
                check_constituent(c.phase, c.constituent);
            else
                check_phase(c.phase);
            if (!std::isfinite(c.value)) throw Failure(Error::invalid_value, "target value " + number(c.value));
            break;
    }
    Condition stored = c;
    if (c.kind != ConditionKind::target) stored.phase = stored.constituent = -1;
    invalidate_result();
    for (std::size_t i = 0; i < conditions_.size(); ++i) {
        if (conditions_[i].kind == c.kind) {
            conditions_[i] = stored;
            return static_cast<int>(i) + 1;
        }
    }
    conditions_.push_back(stored);
    return static_cast<int>(conditions_.size());
}

void Session::remove_condition(int which) {
    if (which < 1 || which > static_cast<int>(conditions_.size()))
        throw Failure(Error::condition_out_of_range, "condition " + std::to_string(which) + " (" +
                                                         std::to_string(conditions_.size()) + " conditions are set)");
    conditions_.erase(conditions_.begin() + (which - 1));
    invalidate_result();
}

void Session::remove_all_conditions() {
    conditions_.clear();
    invalidate_result();
}

const Condition* Session::find_condition(ConditionKind kind) const {
    for (const Condition& c : conditions_)
        if (c.kind == kind) return &c;
    return nullptr;
}

double Session::temperature() const {
    const Condition* c = find_condition(ConditionKind::temperature);
    return c ? c->value : kDefaultT;
}

double Session::pressure() const {
    const Condition* c = find_condition(ConditionKind::pressure);
    return c ? c->value : kDefaultP;
}

}  // namespace eqcore
