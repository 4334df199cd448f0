// The summary of the component map: a message head, then one line per map
// record on the report unit and on the terminal (the terminal lines whatever
// the trace switch says).
#include <string>

#include "fortran_format.hpp"
#include "host_components.hpp"
#include "mapdat.hpp"

namespace eqlink::mapdat {

void print_summary(Mapping& m) {
    report(m.id, {4, 2, m.level},
           {kSix + " COMPONENT MAPPING COMPLETE: ",
            kSix + " Comp ID" + "  " + "Component Name" + std::string(9, ' ') + "EL Ind  " +
                "EQCORE  " + " EQCORE  " + " EQCORE    MWFAC",
            std::string(47, ' ') + "Const # " + " Phase # " + " Ph. Type"});
    terminal({"", " COMPONENT MAPPING COMPLETE: ",
              std::string(" Comp ID") + "  " + "Component Name" + std::string(9, ' ') +
                  "EL Index   " + "EQCORE    " + "EQCORE    " + "EQCORE   MWFAC",
              std::string(44, ' ') + "Const #   " + "Phase #   " + "Ph. Type"});
    for (ftn::Int r = 1; r <= EQLINK_ELVCA.NMAP; ++r) {
        const MapRecord& rec = map_record(r);
        const std::string id(host_component_id(rec.component).full());
        const std::string name(host_component_name(rec.component).full().substr(0, 24));
        const std::string factor = fmt90::F(mwfac(rec.component), 5, 3);
        report_record(std::string(7, ' ') + id + " " + name + fmt90::I(rec.component, 3) +
                      fmt90::I(rec.constituent, 7) + fmt90::I(rec.phase, 10) +
                      fmt90::I(rec.kind, 10) + std::string(5, ' ') + factor);
        terminal({" " + id + " " + name + fmt90::I(rec.component, 4) +
                  fmt90::I(rec.constituent, 10) + fmt90::I(rec.phase, 10) + fmt90::I(rec.kind, 10) +
                  std::string(5, ' ') + factor});
    }
}

}  // namespace eqlink::mapdat
