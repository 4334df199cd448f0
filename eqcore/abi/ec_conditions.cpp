// Entry points for the conditions of a calculation. Values arrive in the
// units in force: T in the temperature unit, P in the pressure unit, the
// enthalpy condition in the energy unit; a target's value counts only by
// its sign.
#include "abi/entry.hpp"
#include "abi/words.hpp"
#include "eqcore/eqcore.h"

using namespace eqcore;
using namespace eqcore::abi;

namespace {

// A condition from its name, target phase and constituent numbers (used by
// "A" only; constituent 0 = the phase) and its value in the units in force.
Condition condition_from(const Session& s, std::string_view name, eqcore_int phase, eqcore_int constituent,
                         double value) {
    Condition c;
    c.kind = condition_word(name);
    switch (c.kind) {
        case ConditionKind::temperature: c.value = s.units().temperature_to_si(value); break;
        case ConditionKind::pressure: c.value = s.units().pressure_to_si(value); break;
        case ConditionKind::enthalpy: c.value = s.units().energy_to_si(value); break;
        case ConditionKind::target:
            c.value = value;
            c.phase = s.phase_from_number(phase);
            if (constituent != 0) c.constituent = s.constituent_from_number(c.phase, constituent);
            break;
    }
    return c;
}

}  // namespace

extern "C" {

void PPSTUB_ECRMC(const eqcore_int* number, eqcore_int* noerr) {
    entry(noerr, [&] {
        Session& s = session();
        const eqcore_int n = ref(number, "number");
        if (n == -1 || n == -2) {
            s.remove_all_conditions();
        } else if (n >= 1 && n <= static_cast<eqcore_int>(s.conditions().size())) {
            s.remove_condition(static_cast<int>(n));
        } else {
            throw Failure(Error::condition_out_of_range, "condition " + std::to_string(n) + " (" +
                                                             std::to_string(s.conditions().size()) +
                                                             " are set; -1 or -2 removes all)");
        }
    });
}

void PPSTUB_ECSETC(const char* name, const eqcore_int* phase, const eqcore_int* constituent, const eqcore_real* value,
                   eqcore_int* number, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] {
        Session& s = session();
        const Condition c = condition_from(s, text(name, name_len, "name"), ref(phase, "phase"),
                                           ref(constituent, "constituent"), ref(value, "value"));
        eqcore_int& out = ref(number, "number");
        out = s.set_condition(c);
    });
}

void PPSTUB_ECSCND(const char* name, const eqcore_int* index, const eqcore_real* value, eqcore_int* noerr,
                   eqcore_len name_len) {
    entry(noerr, [&] {
        Session& s = session();
        s.set_condition(condition_from(s, text(name, name_len, "name"), ref(index, "index"), 0, ref(value, "value")));
    });
}

}  // extern "C"
