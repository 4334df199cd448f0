// Conditions of a calculation: the equilibrium temperature and pressure, the
// enthalpy condition of a temperature search, and a phase target.
#pragma once

namespace eqcore {

enum class ConditionKind {
    temperature,  // "T": K
    pressure,     // "P": Pa
    enthalpy,     // "H": heat of the calculation, J
    target,       // "A": phase target; value >= 0 formation, < 0 precipitation
};

struct Condition {
    ConditionKind kind = ConditionKind::temperature;
    double value = 0.0;
    int phase = -1;        // target phase (0-based), -1 when not a target
    int constituent = -1;  // target constituent within the phase, -1 for the phase
};

}  // namespace eqcore
