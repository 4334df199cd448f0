// The per-component chemical-potential terms. The engine gives chemical
// potentials only after an equilibrium calculation, so each EQCORE phase
// that holds list components of the routine's kind is computed by itself:
// every phase eliminated, that phase's components entered into "THERMO",
// equilibrium at (T, P), and each component's potential read. The fifth
// word of a map record carries the list position of its component during
// one pass and is zero before and after every call.
#include "chemical_potential.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "eqcore_calls.hpp"
#include "eqlink_blocks.hpp"
#include "map_lookup.hpp"
#include "property_common.hpp"
#include "report.hpp"

namespace eqlink {
namespace {

using namespace props;

constexpr std::string_view kThermo = "THERMO";

struct PotentialRow {
    std::string_view name;
    ftn::Int kind;
    bool always_computes;  // ignores the request flags and leaves DPROP alone
};

constexpr PotentialRow kCAAMXV{"CAAMXV", kVapour, true};
constexpr PotentialRow kCAAMXL{"CAAMXL", kLiquid, false};
constexpr PotentialRow kCAAMXS{"CAAMXS", kSolid, false};

constexpr ftn::Int kUnmappedNumber = 20;
constexpr ftn::Int kFlag = 0;

// Working storage: which phases hold components of the kind, in ascending
// order.
std::array<bool, kMaxPhases + 1> phase_flag{};
std::array<ftn::Int, kMaxPhases> pass_list{};

ftn::Int number_of_phases() { return std::clamp<ftn::Int>(EQLINK_ELVCA.NPH, 0, kMaxPhases); }

ftn::Int eliminate_phase(ftn::Int phase) {
    static constexpr std::string_view kEliminated = "ELIMINATED";
    ftn::Int noerr = 0;
    PPSTUB_ECSPS(&phase, kEliminated.data(), &noerr, kEliminated.size());
    return noerr;
}

void set_condition(std::string_view name, ftn::Real value) {
    const ftn::Int zero = 0;
    ftn::Int number = 0;
    ftn::Int noerr = 0;
    PPSTUB_ECSETC(name.data(), &zero, &zero, &value, &number, &noerr, name.size());
}

ftn::Int equilibrium() {
    const ftn::Int zero = 0;
    const ftn::Real values[2] = {0.0, 0.0};
    ftn::Int noerr = 0;
    PPSTUB_ECEQ(" ", &zero, &zero, values, &noerr, 1);
    return noerr;
}

ftn::Int chemical_potential(ftn::Int phase, ftn::Int constituent, ftn::Real& mu) {
    ftn::Int noerr = 0;
    ftn::Real value = 0.0;
    PPSTUB_ECRES("MU", &phase, &constituent, &value, &noerr, 2);
    if (noerr == 0) mu = value;
    return noerr;
}

void clear_marks() {
    const ftn::Int n = std::clamp<ftn::Int>(EQLINK_ELVCA.NMAP, 0, kMaxMap);
    for (ftn::Int k = 1; k <= n; ++k) map_record(k).scratch = 0;
}

void fill_derivative_block(const Request& rq) {
    const ftn::Int nc = rq.NCOMP;
    for (ftn::Int i = 1; i <= rq.NLIST; ++i) {
        if (rq.IREQ(3) == 1) rq.DPROP(i) = 0.0;
        if (rq.IREQ(4) != 0) {
            rq.DPROP(nc + i) = 0.0;
            if (rq.IREQ(4) == 2) rq.DPROP(3 * nc + i) = 0.0;
        }
    }
}

// Step 4: flags the phases of the list components of the kind and gives the
// others 1.0E10. False after reporting an unmapped component.
bool flag_phases(const PotentialRow& row, const Request& rq) {
    phase_flag.fill(false);
    for (ftn::Int i = 1; i <= rq.NLIST; ++i) {
        ftn::Int phase = 0;
        ftn::Int constituent = 0;
        const ftn::Int record = FNDMAP(rq.ICLIST(i), phase, constituent);
        if (record == 0) {
            report_unmapped(RoutineId(row.name), kUnmappedNumber, rq.MSGLEV, kFlag,
                            UnmappedText::elvar_component);
            return false;
        }
        if (map_record(record).kind == row.kind && phase >= 1 && phase <= kMaxPhases) {
            phase_flag[static_cast<std::size_t>(phase)] = true;
        } else {
            rq.PROP(i) = kNoTerm;
        }
    }
    return true;
}

ftn::Int collect_passes() {
    ftn::Int n = 0;
    for (ftn::Int p = 1; p <= kMaxPhases; ++p)
        if (phase_flag[static_cast<std::size_t>(p)]) pass_list[static_cast<std::size_t>(n++)] = p;
    return n;
}

// One pass: the phase by itself in equilibrium at (T, P), then the terms of
// its components. An amount the engine refuses, a failed equilibrium or a
// potential that cannot be read is reported instead of storing a stale
// value; the marks are cleared either way.
bool compute_phase(const PotentialRow& row, const Request& rq, ftn::Int pass_phase) {
    const ftn::Int nph = number_of_phases();
    for (ftn::Int p = 1; p <= nph; ++p) eliminate_phase(p);
    // No stream of an earlier calculation may add its material to this one.
    remove_all_streams();
    const ftn::Real tp[2] = {rq.TEMP, rq.PRES};
    define_stream(kThermo, tp);

    ftn::Int noerr = 0;
    for (ftn::Int i = 1; i <= rq.NLIST && noerr == 0; ++i) {
        ftn::Int phase = 0;
        ftn::Int constituent = 0;
        const ftn::Int record = FNDMAP(rq.ICLIST(i), phase, constituent);
        if (record == 0 || phase != pass_phase) continue;
        enter_constituent(phase, constituent);
        noerr = add_amount(kThermo, phase, constituent, kMolPerKmol * rq.XMOL(i));
        map_record(record).scratch = i;
    }
    if (noerr == 0) {
        set_condition("T", rq.TEMP);
        set_condition("P", rq.PRES);
        noerr = equilibrium();
    }

    // mu is J/mol; the host's term is per kmol in its element reference,
    // mu_host = 1000 mu + T Sref, divided by R T with R in J/(kmol K).
    const ftn::Real c = 1.0 / (rq.TEMP * gas_constant());
    const ftn::Int nmap = std::clamp<ftn::Int>(EQLINK_ELVCA.NMAP, 0, kMaxMap);
    for (ftn::Int k = 1; k <= nmap && noerr == 0; ++k) {
        MapRecord& rec = map_record(k);
        if (rec.scratch == 0) continue;
        ftn::Real mu = 0.0;
        noerr = chemical_potential(rec.phase, rec.constituent, mu);
        if (noerr != 0) break;
        const ftn::Real value = kMolPerKmol * mu + rq.TEMP * element_entropy(rec.component);
        rq.PROP(rec.scratch) = value * c;
        rec.scratch = 0;
    }
    clear_marks();
    remove_all_streams();
    if (noerr != 0) {
        report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, kFlag, 6);
        return false;
    }
    return true;
}

void potential_terms(const PotentialRow& row, const Request& rq) {
    if (!row.always_computes) {
        fill_derivative_block(rq);
        if (rq.IREQ(1) == 0 && rq.IREQ(2) == 0) return;
    }
    if (!engine_started()) return;

    const ftn::Int nph = number_of_phases();
    for (ftn::Int p = 1; p <= nph; ++p) {
        const ftn::Int noerr = eliminate_phase(p);
        if (noerr != 0) {
            report_engine_error(RoutineId(row.name), noerr, rq.MSGLEV, kFlag, 1);
            return;
        }
    }
    if (!flag_phases(row, rq)) return;
    const ftn::Int passes = collect_passes();
    clear_marks();
    for (ftn::Int n = 0; n < passes; ++n)
        if (!compute_phase(row, rq, pass_list[static_cast<std::size_t>(n)])) return;
}

void run(const PotentialRow& row, ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
         const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP,
         ftn::Real* DPROP) {
    // The argument list gives no length of PROP and DPROP.
    potential_terms(row, make_request(TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, {PROP}, {DPROP}));
}

}  // namespace

void CAAMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAAMXV, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAAMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAAMXL, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}
void CAAMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP) {
    run(kCAAMXS, TEMP, PRES, XMOL, NLIST, ICLIST, MSGLEV, IREQ, PROP, DPROP);
}

}  // namespace eqlink
