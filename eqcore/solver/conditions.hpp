// The conditions of one calculation: temperature and pressure, or a
// temperature target (T then only the estimate to search from), and the
// temperature limits every calculation and search keeps to.
#pragma once

#include "data/system.hpp"

namespace eqcore {

enum class TargetKind {
    none,           // fixed T and P
    enthalpy,       // H(equilibrium) - H(streams as they enter) = value, J
    formation,      // phase `phase` just about to form: zero driving force, zero amount
    precipitation,  // `phase` the only phase and the next most stable one at unit activity
};

struct Target {
    TargetKind kind = TargetKind::none;
    double value = 0.0;    // the enthalpy condition, J (enthalpy only)
    int phase = -1;        // 0-based system phase (formation / precipitation)
    int constituent = -1;  // 0-based, meaningful only for a stoichiometric phase
};

struct Conditions {
    double T = 1000.0;     // K; with a target, the estimate the search starts from
    double P = kPstd;      // Pa
    double T_low = 200.0;  // K
    double T_high = 6000.0;
    Target target;
};

}  // namespace eqcore
