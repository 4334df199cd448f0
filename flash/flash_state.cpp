// The flash's working state and its access to host words and the map.
#include "flash_state.hpp"

#include "eqlink_blocks.hpp"
#include "host_services.hpp"
#include "map_lookup.hpp"

namespace eqlink::flash {

ftn::Real& FlashCall::subs(ftn::Int i, ftn::Int pos) const {
    return strvec(lpb(i) + state().NCOMP + pos);
}

FlashState& state() {
    static FlashState s;
    return s;
}

const RoutineId& routine_id() {
    static const RoutineId id("CAFLSH");
    return id;
}

ftn::Word& stwkwk(ftn::Int n) { return DMS_STWKWK[n - 1]; }
ftn::Word& stwork(ftn::Int n) { return SHS_STWORK[n - 1]; }
ftn::Word& plex(ftn::Int n) { return DMS_PLEX[n - 1]; }
ftn::Real rmiss() { return DMS_RGLOB[0].r(); }
ftn::Int host_level() { return DMS_GLOBAL[17].i(); }

void set_vcalc(FlashState& s, ftn::Real v) {
    s.VCALC = v;
    stwkwk(21).set_r(v);
}

MapEntry find_map(ftn::Int component) {
    MapEntry e;
    e.record = FNDMAP(component, e.phase, e.constituent);
    if (e.record != 0) e.kind = eqlink::map_record(e.record).kind;
    return e;
}

ftn::Int map_count() { return EQLINK_ELVCA.NMAP; }

MapEntry map_record(ftn::Int record) {
    const MapRecord& m = eqlink::map_record(record);
    return {record, m.phase, m.constituent, m.kind};
}

ftn::Int map_component(ftn::Int record) { return eqlink::map_record(record).component; }

ftn::Real mwfac(ftn::Int component) { return eqlink::mwfac(component); }

ftn::Int phase_count() { return EQLINK_ELVCA.NPH; }

std::string_view phase_name(ftn::Int phase) { return phname(phase).full(); }

namespace {

// Element k of a work array: word (work-area base + location + k - 1).
void put_reals(ftn::Int base_word, ftn::Int location_word, const ftn::Real* v, ftn::Int n) {
    const ftn::Int at = stwkwk(base_word).i() + stwork(location_word).i();
    for (ftn::Int k = 0; k < n; ++k) plex(at + k).set_r(v[k]);
}
void put_ints(ftn::Int location_word, const ftn::Int* v, ftn::Int n) {
    const ftn::Int at = stwkwk(2).i() + stwork(location_word).i();
    for (ftn::Int k = 0; k < n; ++k) plex(at + k).set_i(v[k]);
}

}  // namespace

void publish_work_arrays(const FlashState& s) {
    put_reals(1, 15, s.mixed.x.data(), s.mixed.n);
    put_reals(1, 16, s.XLIQ.data(), s.mixed.n);
    put_reals(1, 19, s.YVAP.data(), s.mixed.n);
    put_reals(1, 20, s.solid.x.data(), s.solid.n);
    put_reals(1, 21, s.nonconv.x.data(), s.nonconv.n);
    put_ints(26, s.mixed.idx.data(), s.mixed.n);
    put_ints(27, s.solid.idx.data(), s.solid.n);
    put_ints(28, s.nonconv.idx.data(), s.nonconv.n);
}

}  // namespace eqlink::flash
