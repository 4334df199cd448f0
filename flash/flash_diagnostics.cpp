// Equilibrium with the engine's listing, copied into the host report.
#include "flash_diagnostics.hpp"

#include <string>

#include "eqcore_calls.hpp"
#include "report.hpp"
#include "unitio.hpp"

namespace eqlink::flash {

namespace {

void trace_phase_statuses(FlashState& s) {
    ftn::Chars<24> status;
    const ftn::Int gas = 1;
    PPSTUB_ECGPS(&gas, status.c, &s.NOERR, status.size());
    if (tracing()) trace({"     Status of gas                     " + std::string(status.full())});
    const ftn::Int nph = phase_count();
    for (ftn::Int p = 2; p <= nph; ++p) {
        PPSTUB_ECGPS(&p, status.c, &s.NOERR, status.size());
        if (tracing())
            trace({"     Status of " + std::string(phase_name(p)) + std::string(status.full())});
    }
}

// The listing file, line by line between its BEGIN and END lines, each
// line after six blanks and without its trailing blanks.
void copy_listing_to_report() {
    report_record("");
    report_record("      === BEGIN EQCORE DIAGNOSTICS ===");
    if (unitio::open(kListUnit, kListFile, unitio::Access::read)) {
        std::string line;
        while (unitio::read_record(kListUnit, 200, line) == unitio::ReadStatus::ok)
            report_record("      " + std::string(ftn::trim_right(line)));
    }
    report_record("");
    report_record("      === END OF EQCORE DIAGNOSTICS ===");
    unitio::close(kListUnit);
}

}  // namespace

void equilibrate_with_diagnostics(FlashState& s) {
    trace_phase_statuses(s);
    ftn::Int noerr = 0;
    ftn::Chars<11> file;
    file.assign(kListFile);
    PPSTUB_ECOPEN(file.c, &kListUnit, &noerr, file.size());
    PPSTUB_ECSIO("LIST ", &kListUnit, &noerr, 5);
    PPSTUB_ECSHOW(&noerr);
    const ftn::Int none = 0;
    PPSTUB_ECEQL(s.OPTCE.c, &none, &none, s.TPVALS.data(), &s.NOERR, s.OPTCE.size());
    ftn::Int close_status = 0;
    PPSTUB_ECCLOS(&kListUnit, &close_status);
    copy_listing_to_report();
}

}  // namespace eqlink::flash
