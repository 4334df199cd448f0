#include "map_lookup.hpp"

#include <algorithm>

#include "eqlink_blocks.hpp"

namespace eqlink {
namespace {

// Records 1..NMAP, kept within the array whatever NMAP holds.
ftn::Int records_in_use() { return std::clamp<ftn::Int>(EQLINK_ELVCA.NMAP, 0, kMaxMap); }

}  // namespace

ftn::Int FNDMAP(ftn::Int component, ftn::Int& phase, ftn::Int& constituent) {
    const ftn::Int n = records_in_use();
    // A map built in host component order without gaps has component k in
    // record k: one comparison in the usual case.
    // Component numbers start at 1; nothing is recorded for any other.
    ftn::Int found = 0;
    if (component < 1) {
        found = 0;
    } else if (component <= n && map_record(component).component == component) {
        found = component;
    } else {
        for (ftn::Int i = 1; i <= n; ++i) {
            if (map_record(i).component == component) {
                found = i;
                break;
            }
        }
    }
    if (found == 0) {
        phase = 0;
        constituent = 0;
        return 0;
    }
    phase = map_record(found).phase;
    constituent = map_record(found).constituent;
    return found;
}

ftn::Int FNDCMP(ftn::Int phase, ftn::Int constituent, ftn::Int& component) {
    const ftn::Int n = records_in_use();
    for (ftn::Int i = 1; i <= n; ++i) {
        const MapRecord& r = map_record(i);
        if (r.phase == phase && r.constituent == constituent) {
            component = r.component;
            return i;
        }
    }
    component = 0;
    return 0;
}

}  // namespace eqlink
