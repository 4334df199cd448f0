// The phase listing of the mapping and the check that phase 1 is a gas.
#include <algorithm>
#include <array>
#include <string>

#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "mapdat.hpp"
#include "names.hpp"

namespace eqlink::mapdat {
namespace {

// Listing lines go to the report unit and, one by one, to the terminal,
// whatever the trace switch says.
void listing(const std::string& line) {
    report_record(line);
    terminal({line});
}

constexpr std::array<std::string_view, 5> kGasModels{"IDMX", "RGAS", "IDVT", "IDBS", "IDVD"};

}  // namespace

ftn::Int list_phases(Mapping& m) {
    ftn::Int nph = 0;
    PPSTUB_ECNPH(&nph, &m.status);
    if (m.status != 0) return engine_failure(m, "PPSTUB_ECNPH");
    if (nph > kMaxPhases) {
        report(m.id, {1, 105, m.level},
               {kSix + "DATA FILE has" + fmt90::I(nph, 6) + " phases, more than the" +
                    fmt90::I(kMaxPhases, 5) + " the interface can hold.",
                kSix + "EQCORE/Elvar interface terminates."});
        return kTooMany;
    }
    EQLINK_ELVCA.NPH = std::max<ftn::Int>(nph, 0);

    const std::string count_line =
        kSix + "DATA FILE has" + fmt90::I(EQLINK_ELVCA.NPH, 5) + " phases";
    report(m.id, {4, 25, m.level}, {count_line});
    terminal({count_line});

    for (ftn::Int k = 1; k <= EQLINK_ELVCA.NPH; ++k) {
        phname(k) = ec_pnm(m, k);
        if (m.status != 0) return engine_failure(m, "PPSTUB_ECPNM");
        const ftn::Chars<4> model = ec_modl(m, k);
        listing(kSix + "DATA FILE Phase" + fmt90::I(k, 5) + " is " + std::string(phname(k).full()) +
                " using model " + std::string(model.full()));
        const ftn::Int ncon = ec_npc(m, k);
        if (m.status != 0) return engine_failure(m, "PPSTUB_ECNPC");
        if (names::upper(model.full()) == "PURE" && ncon == 1) continue;
        listing(kSix + "It contains:");
        for (ftn::Int j = 1; j <= ncon; ++j)
            listing(std::string(30, ' ') + fmt90::I(j, 3) + "  " +
                    std::string(ec_cnm(m, k, j).full()));
        listing("");
    }
    listing("");
    return 0;
}

void check_gas_phase(Mapping& m) {
    ec_npc(m, 1);
    const std::string model = names::upper(ec_modl(m, 1).full());
    if (std::find(kGasModels.begin(), kGasModels.end(), model) != kGasModels.end()) return;
    report(m.id, {1, 357, m.level},
           {kSix + "THE ELVAR/EQCORE INTERFACE REQUIRES A GAS PHASE IN THE",
            kSix + "DATA FILE.  PLEASE CREATE A NEW DATA FILE WITH A GAS PHASE."});
}

}  // namespace eqlink::mapdat
