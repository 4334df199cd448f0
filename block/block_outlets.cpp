// Outlet distribution: the phases present at equilibrium, in increasing
// phase index, each into an outlet of its own; when there are more phases
// than outlets, the rest mixed into the last outlet.
#include <string>

#include "block_outlets.hpp"
#include "block_stages.hpp"
#include "eqcore_calls.hpp"
#include "fortran_format.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kStageResults = 7;
constexpr ftn::Int kStepStatus = 48;
constexpr ftn::Int kStepAmount = 49;
constexpr ftn::Int kMsgNoComponents = 14;

// Every outlet: component flows and total flow 0, every further word of the
// substream the host's missing value. Outlets that receive no phase stay so.
void initialise_outlets(const BlockCall& c, const BlockState& s) {
    for (ftn::Int o = 1; o <= c.NOUTLT; ++o) {
        for (ftn::Int j = 1; j <= c.NSUB; ++j) {
            const ftn::Int p = c.subpos(j);
            const ftn::Int last = j < c.NSUB ? c.subpos(j + 1) - 1 : s.NSVAR;
            const ftn::Int type = c.subtyp(j);
            const ftn::Int zeros = type == kMixed || type == kCisolid ? s.NC + 1
                                   : type == kNonconventional       ? s.NNC + 1
                                                                    : 0;
            for (ftn::Int w = p; w <= last; ++w) c.outlet(o, w) = w < p + zeros ? 0.0 : s.RMISS;
        }
    }
}

}  // namespace

ftn::Real phase_result(BlockState& s, std::string_view option, ftn::Int q, ftn::Int con) {
    ftn::Real value = 0.0;
    PPSTUB_ECRES(option.data(), &q, &con, &value, &s.NOERR, option.size());
    return value;
}

ftn::Int constituent_count(BlockState& s, ftn::Int q) {
    ftn::Int n = 0;
    PPSTUB_ECNPC(&q, &n, &s.NOERR);
    return s.NOERR == 0 ? n : 0;
}

void no_solid_substream(const BlockState& s) {
    message(s, 1, s.NOERR,
            {message_line("THE ELVAR/EQCORE INTERFACE PREDICTS "),
             message_line("THE FORMATION OF SOLIDS - HOWEVER THE OUTLET "),
             message_line("STREAM(S) DO NOT HAVE A CISOLID SUBSTREAM")});
}

void phase_without_components(const BlockState& s, ftn::Int q) {
    message(s, 1, kMsgNoComponents,
            {message_line("EQCORE calculations indicate that data-file phase" + fmt90::I(q, 4) + " is present "),
             message_line("at equilibrium.  None of the Elvar components in this phase"),
             message_line("have any flow.  Please check the component mapping summary."),
             message_line("Block calculations are terminated.")});
}

Stage find_phases_present(BlockState& s) {
    s.NPRES = 0;
    const ftn::Int nph = phase_count();
    for (ftn::Int q = 1; q <= nph; ++q) {
        ftn::Chars<kPhaseNameLength> status;
        status.assign("");
        PPSTUB_ECGPS(&q, status.c, &s.NOERR, status.size());
        if (s.NOERR != 0) s.ISTEP = kStepStatus;
        if (status.full().substr(0, 2) != "EN") continue;
        const ftn::Real amount = phase_result(s, "A ", q, 0);
        if (s.NOERR != 0) s.ISTEP = kStepAmount;
        if (amount > 0.0) s.IPRES[static_cast<std::size_t>(s.NPRES++)] = q;
    }
    if (tracing())
        trace({"", "EQULIBRIUM CALC. COMPLETE - " + fmt90::I(s.NPRES, 3) + " PHASES PRESENT"});
    if (s.NOERR != 0) {
        eqcore_failure(s, s.ISTEP, kStageResults);
        return Stage::stop;
    }
    return Stage::proceed;
}

Stage distribute_phases(const BlockCall& c, BlockState& s) {
    initialise_outlets(c, s);
    if (s.NPRES == 0) return Stage::proceed;
    const bool mixed = c.NOUTLT < s.NPRES;
    const ftn::Int alone = mixed ? c.NOUTLT - 1 : s.NPRES;
    for (ftn::Int i = 1; i <= alone; ++i)
        if (place_single_phase(c, s, s.IPRES[static_cast<std::size_t>(i - 1)], i) == Stage::stop)
            return Stage::stop;
    return mixed ? place_mixed_phases(c, s) : Stage::proceed;
}

}  // namespace eqlink::block
