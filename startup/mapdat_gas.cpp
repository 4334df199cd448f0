// The gas pass of the mapping: every host component named with a gas state
// (a "G" after its colon) gets a record in phase 1 when a gas constituent
// matches its name; otherwise it is left to the other passes.
#include <string>

#include "fortran_format.hpp"
#include "host_components.hpp"
#include "mapdat.hpp"
#include "names.hpp"

namespace eqlink::mapdat {
namespace {

constexpr ftn::Int kGasPhase = 1;
constexpr ftn::Int kVapour = 1;

// A dollar name not in the table of known components: the mapping cannot
// tell which species is meant and stops.
void report_unknown_dollar_name(Mapping& m, const ftn::Chars<32>& name) {
    report(m.id, {2, 91, m.level},
           {kSix + "COMPONENT " + std::string(name.full().substr(0, 24)) + "CONTAINS A DOLLAR SIGN",
            kSix + "BUT IS NOT IN THE TABLE OF KNOWN COMPONENTS",
            kSix + "THAT MUST BE CONVERTED TO MIXED CASE", kSix + "COMPONENT MAPPING TERMINATED"});
}

}  // namespace

ftn::Int gas_pass(Mapping& m) {
    debug("Mapping gases");
    const ftn::Int ngas = ec_npc(m, kGasPhase);
    for (ftn::Int i = 1; i <= m.ncomp; ++i) {
        const ftn::Chars<32> name = host_component_name(i);
        const names::GasHostName host = names::gas_host_name(name.full());
        if (!host.gas) continue;
        if (!host.known) {
            report_unknown_dollar_name(m, name);
            return kNotFound;
        }
        debug("EL name = " + std::string(name.full()));
        trace({"    checking " + fmt90::A(host.base, 32) + "     ELindex =" + fmt90::I(i, 4)});
        if (!append_record(m, i, 0, kGasPhase, kVapour)) return kTooMany;
        MapRecord& record = map_record(EQLINK_ELVCA.NMAP);
        mwfac(i) = 1.0;
        debug("Looking among CA gases ");
        for (ftn::Int j = 1; j <= ngas; ++j) {
            const ftn::Chars<32> cname = ec_cnm(m, kGasPhase, j);
            debug("CA name = " + std::string(cname.full()));
            const names::GasConstituent constituent =
                names::gas_constituent(cname.full(), host.dollar);
            debug("CA name = " + constituent.name);
            if (names::gas_match(constituent, host)) {
                record.constituent = j;
                debug("EL component mapped to CA gas constituent " + fmt90::I(j, 3));
                break;
            }
        }
        if (record.constituent == 0) drop_last_record();
    }
    return 0;
}

}  // namespace eqlink::mapdat
