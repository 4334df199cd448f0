// The block's working state, its messages and its access to host words.
#include "block_state.hpp"

#include <algorithm>

#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "host_components.hpp"
#include "host_services.hpp"
#include "messages.hpp"
#include "startup.hpp"

namespace eqlink::block {

BlockState& state() {
    static BlockState s;
    return s;
}

const RoutineId& routine_id() {
    static const RoutineId id("CATOP");
    return id;
}

bool message(const BlockState& s, ftn::Int severity, ftn::Int number,
             std::initializer_list<std::string_view> lines) {
    return report(routine_id(), {severity, number, s.LEVEL}, lines);
}

void eqcore_failure(const BlockState& s, ftn::Int number, ftn::Int stage) {
    message(s, 1, number,
            {message_line("EQCORE error " + fmt90::I(s.NOERR, 4) + " in step " + fmt90::I(stage, 1) +
                          " of equilibrium calculations."),
             message_line(kEqcoreInterfaceTerminates)});
}

void remove_streams(BlockState& s) {
    PPSTUB_ECSTDL(" ", &s.NOERR, 1);
}

const ftn::Word& plex(ftn::Int w) { return plex_word(w); }

ftn::Real molecular_weight(const BlockState& s, ftn::Int k) { return plex(s.MWLOC + k).r(); }

std::string component_id(const BlockState& s, ftn::Int k) {
    std::string id;
    id.append(plex(s.IDLOC + 2 * k - 1).chars().substr(0, 4));
    id.append(plex(s.IDLOC + 2 * k).chars().substr(0, 4));
    return id;
}

std::string block_id() {
    std::string id;
    id.append(DMS_GLOBAL[26].chars().substr(0, 4));  // word 27
    id.append(DMS_GLOBAL[27].chars().substr(0, 4));  // word 28
    return id;
}

ftn::Int phase_count() { return std::clamp<ftn::Int>(EQLINK_ELVCA.NPH, 0, kMaxPhases); }

ftn::Real host_flow(ftn::Real amount, ftn::Int k) { return 0.001 * amount / mwfac(k); }

ftn::Real element_entropy(ftn::Int k, ftn::Real flow) { return SELADD(0.0, 1, &k, &flow); }

}  // namespace eqlink::block
