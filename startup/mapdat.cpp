// MAPDAT: builds the component map between host components and EQCORE phases
// and constituents, once per start-up, after the data file has been read.
#include "mapdat.hpp"

#include <string>

#include "dictionary.hpp"
#include "fortran_format.hpp"
#include "host_components.hpp"
#include "host_services.hpp"
#include "startup.hpp"

namespace eqlink {

void MAPDAT(const ftn::Int& NA, ftn::Int& IERR) {
    using namespace mapdat;
    Mapping m;
    m.level = DMS_GLOBAL[17].i();
    m.ncomp = host_component_count();

    trace({"", "In data mapping."});

    if (m.ncomp > NA) {
        IERR = kTooMany;
        report(m.id, {0, 2, m.level},
               {kSix + "Number of simulation components exceeds EQCORE restrictions.",
                kSix + "EQCORE/Elvar interface terminates."});
        return;
    }
    if (m.ncomp > kMaxComponents) {
        IERR = kTooMany;
        report(m.id, {1, 104, m.level},
               {kSix + "Number of simulation components" + fmt90::I(m.ncomp, 6) +
                    " exceeds the capacity of" + fmt90::I(kMaxComponents, 5) + ".",
                kSix + "EQCORE/Elvar interface terminates."});
        return;
    }

    if (!load_dictionary(m.id, m.level)) {
        IERR = kNoDictionary;
        return;
    }

    for (ftn::Int r = 1; r <= kMaxMap; ++r) map_record(r) = MapRecord{};
    EQLINK_ELVCA.NMAP = 0;

    ftn::Int failure = list_phases(m);
    if (failure == 0) {
        check_gas_phase(m);
        failure = gas_pass(m);
    }
    if (failure == 0 && EQLINK_ELVCA.NPH >= 2) failure = phase_pass(m);
    if (failure != 0) {
        IERR = failure;
        return;
    }
    print_summary(m);
}

}  // namespace eqlink
