// Entry points that set the engine up: initialisation, version, sizes,
// units, I/O units, temperature limits, and the text of the last error.
#include "abi/entry.hpp"
#include "abi/words.hpp"
#include "data/limits.hpp"
#include "eqcore/eqcore.h"
#include "session/version.hpp"

using namespace eqcore;
using namespace eqcore::abi;

// The public header states the version callers compile against; it is the
// version ECVERS reports.
static_assert(EQCORE_VERSION_MAJOR == kVersionMajor && EQCORE_VERSION_MINOR == kVersionMinor);
static_assert(EQCORE_VERSION == kVersion);

extern "C" {

void PPSTUB_ECINI(eqcore_int* noerr) {
    entry(noerr, [] { session().reset(); });
}

void PPSTUB_ECVERS(eqcore_int* version, eqcore_int* noerr) {
    entry(noerr, [&] { ref(version, "version") = kVersion; });
}

void PPSTUB_ECSIZE(eqcore_int* sizes, eqcore_int* noerr) {
    entry(noerr, [&] {
        ref(sizes, "sizes");
        for (std::size_t i = 0; i < limits::kSizes.size(); ++i) sizes[i] = limits::kSizes[i];
    });
}

void PPSTUB_ECUNIT(const char* quantity, const char* unit, eqcore_int* noerr, eqcore_len quantity_len,
                   eqcore_len unit_len) {
    entry(noerr, [&] {
        session().units().set(text(quantity, quantity_len, "quantity"), text(unit, unit_len, "unit"));
    });
}

void PPSTUB_ECSIO(const char* which, const eqcore_int* unit, eqcore_int* noerr, eqcore_len which_len) {
    entry(noerr, [&] { session().set_io_unit(io_kind_word(text(which, which_len, "which")), ref(unit, "unit")); });
}

void PPSTUB_ECLIM(const char* name, const eqcore_real* value, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] {
        Session& s = session();
        const double kelvin = s.units().temperature_to_si(ref(value, "value"));
        if (limit_word(text(name, name_len, "name")) == Limit::tlow)
            s.set_tlow(kelvin);
        else
            s.set_thigh(kelvin);
    });
}

void PPSTUB_ECCHK(const eqcore_int* on, eqcore_int* noerr) {
    entry(noerr, [&] {
        const eqcore_int v = ref(on, "on");
        if (v != 0 && v != 1) throw Failure(Error::invalid_value, "checked mode: " + std::to_string(v) + " is not 0 or 1");
        session().set_checked(v == 1);
    });
}

void PPSTUB_ECERR(char* lines, eqcore_int* noerr, eqcore_len line_len) {
    entry(noerr, [&] {
        const LastError& e = session().last_error();
        for (std::size_t i = 0; i < e.lines.size(); ++i) {
            const std::string_view line = e.code == Error::none ? std::string_view{} : e.lines[i];
            put(lines == nullptr ? nullptr : lines + i * line_len, line_len, line, "lines");
        }
    });
}

}  // extern "C"
