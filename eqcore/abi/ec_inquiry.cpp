// Entry points that inquire about the loaded system by number or name and
// set the status of phases and constituents. Numbers count from 1.
#include "abi/entry.hpp"
#include "abi/words.hpp"
#include "eqcore/eqcore.h"

using namespace eqcore;
using namespace eqcore::abi;

namespace {

int phase_arg(const Session& s, const eqcore_int* phase) { return s.phase_from_number(ref(phase, "phase")); }

}  // namespace

extern "C" {

void PPSTUB_ECNPH(eqcore_int* count, eqcore_int* noerr) {
    entry(noerr, [&] { ref(count, "count") = session().system().phase_count(); });
}

void PPSTUB_ECNPC(const eqcore_int* phase, eqcore_int* count, eqcore_int* noerr) {
    entry(noerr, [&] {
        const Session& s = session();
        const int p = phase_arg(s, phase);
        ref(count, "count") = s.system().phases[static_cast<std::size_t>(p)].count;
    });
}

void PPSTUB_ECPNM(const eqcore_int* phase, char* name, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] {
        const Session& s = session();
        const int p = phase_arg(s, phase);
        put(name, name_len, s.system().phases[static_cast<std::size_t>(p)].name, "name");
    });
}

void PPSTUB_ECCNM(const eqcore_int* phase, const eqcore_int* constituent, char* name, eqcore_int* noerr,
                  eqcore_len name_len) {
    entry(noerr, [&] {
        const Session& s = session();
        const int p = phase_arg(s, phase);
        const int c = s.constituent_from_number(p, ref(constituent, "constituent"));
        put(name, name_len, s.system().constituent(p, c).name, "name");
    });
}

void PPSTUB_ECPIX(const char* name, eqcore_int* phase, eqcore_int* noerr, eqcore_len name_len) {
    entry(noerr, [&] {
        const int p = session().phase_index(text(name, name_len, "name"));
        ref(phase, "phase") = p + 1;
    });
}

void PPSTUB_ECMODL(const eqcore_int* phase, char* model, eqcore_int* noerr, eqcore_len model_len) {
    entry(noerr, [&] {
        const Session& s = session();
        const int p = phase_arg(s, phase);
        put(model, model_len, s.system().phases[static_cast<std::size_t>(p)].model_code, "model");
    });
}

void PPSTUB_ECGPS(const eqcore_int* phase, char* status, eqcore_int* noerr, eqcore_len status_len) {
    entry(noerr, [&] {
        const Session& s = session();
        put(status, status_len, status_word(s.phase_status(phase_arg(s, phase))), "status");
    });
}

void PPSTUB_ECSPS(const eqcore_int* phase, const char* status, eqcore_int* noerr, eqcore_len status_len) {
    entry(noerr, [&] {
        Session& s = session();
        const int p = phase_arg(s, phase);
        s.set_phase_status(p, entered_word(text(status, status_len, "status")));
    });
}

void PPSTUB_ECSCS(const eqcore_int* phase, const eqcore_int* constituent, const char* status, eqcore_int* noerr,
                  eqcore_len status_len) {
    entry(noerr, [&] {
        Session& s = session();
        const int p = phase_arg(s, phase);
        const int c = s.constituent_from_number(p, ref(constituent, "constituent"));
        s.set_constituent_status(p, c, entered_word(text(status, status_len, "status")));
    });
}

}  // extern "C"
