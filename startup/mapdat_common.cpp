// Helpers shared by the stages of the component mapping.
#include <string>

#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "mapdat.hpp"

namespace eqlink::mapdat {

ftn::Int ec_npc(Mapping& m, ftn::Int phase) {
    ftn::Int count = 0;
    PPSTUB_ECNPC(&phase, &count, &m.status);
    return m.status == 0 ? count : 0;
}

ftn::Chars<24> ec_pnm(Mapping& m, ftn::Int phase) {
    ftn::Chars<24> name;
    name.assign("");
    PPSTUB_ECPNM(&phase, name.c, &m.status, name.size());
    return name;
}

ftn::Chars<4> ec_modl(Mapping& m, ftn::Int phase) {
    ftn::Chars<4> model;
    model.assign("");
    PPSTUB_ECMODL(&phase, model.c, &m.status, model.size());
    return model;
}

ftn::Chars<32> ec_cnm(Mapping& m, ftn::Int phase, ftn::Int constituent) {
    ftn::Chars<32> name;
    name.assign("");
    PPSTUB_ECCNM(&phase, &constituent, name.c, &m.status, name.size());
    return name;
}

ftn::Int engine_failure(Mapping& m, std::string_view routine) {
    report(m.id, {1, m.status, m.level},
           {kSix + "Unknown EQCORE error when calling " + fmt90::A(routine, 12),
            kSix + "EQCORE/Elvar interface terminates with codes " + fmt90::I(kEngineFailed, 1) +
                " and " + fmt90::I(m.status, 3)});
    return kEngineFailed;
}

bool append_record(Mapping& m, ftn::Int component, ftn::Int constituent, ftn::Int phase,
                   ftn::Int kind) {
    if (EQLINK_ELVCA.NMAP >= kMaxMap) {
        report(m.id, {1, 106, m.level},
               {kSix + "The component map is full: it holds at most" + fmt90::I(kMaxMap, 5) +
                    " records.",
                kSix + "EQCORE/Elvar interface terminates."});
        return false;
    }
    ++EQLINK_ELVCA.NMAP;
    map_record(EQLINK_ELVCA.NMAP) = MapRecord{component, constituent, phase, kind, 0};
    return true;
}

void drop_last_record() {
    map_record(EQLINK_ELVCA.NMAP) = MapRecord{};
    --EQLINK_ELVCA.NMAP;
}

bool is_mapped(ftn::Int component) {
    for (ftn::Int r = 1; r <= EQLINK_ELVCA.NMAP; ++r)
        if (map_record(r).component == component) return true;
    return false;
}

void trace_record(ftn::Int r) {
    const MapRecord& rec = map_record(r);
    trace({"          Comp. index" + fmt90::I(r, 4) + "    MWFAC=" +
               fmt90::F(mwfac(rec.component), 5, 3) + "    EL index #" + fmt90::I(rec.component, 3),
           "          CA constituent " + fmt90::I(rec.constituent, 4) + "      CA phase " +
               fmt90::I(rec.phase, 4) + "      state " + fmt90::I(rec.kind, 4)});
}

void debug(std::string_view text) {
    if (tracing()) report_record(kSix + std::string(text));
}

}  // namespace eqlink::mapdat
