// The property monitor: selects one of the thirty property routines by the
// property code, hands it the request, and afterwards removes every engine
// stream, whatever the routine's outcome.
#include "mdmon8.hpp"

#include <array>
#include <string>
#include <string_view>

#include "chemical_potential.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "messages.hpp"
#include "mixture_properties.hpp"
#include "property_common.hpp"
#include "pure_properties.hpp"
#include "report.hpp"

namespace eqlink {
namespace {

// One row per property code 401..430: the routine and the argument list of
// its family.
struct MonitorRow {
    std::string_view name;
    MixtureRoutine mixture;  // codes 401..415
    PureRoutine pure;        // codes 416..430
};

constexpr ftn::Int kFirstCode = 401;
constexpr std::array<MonitorRow, 30> kRoutines{{
    {"CAHMXV", CAHMXV, nullptr}, {"CASMXV", CASMXV, nullptr}, {"CAGMXV", CAGMXV, nullptr},
    {"CAVMXV", CAVMXV, nullptr}, {"CAAMXV", CAAMXV, nullptr},
    {"CAHMXL", CAHMXL, nullptr}, {"CASMXL", CASMXL, nullptr}, {"CAGMXL", CAGMXL, nullptr},
    {"CAVMXL", CAVMXL, nullptr}, {"CAAMXL", CAAMXL, nullptr},
    {"CAHMXS", CAHMXS, nullptr}, {"CASMXS", CASMXS, nullptr}, {"CAGMXS", CAGMXS, nullptr},
    {"CAVMXS", CAVMXS, nullptr}, {"CAAMXS", CAAMXS, nullptr},
    {"CAHV", nullptr, CAHV},     {"CASV", nullptr, CASV},     {"CAGV", nullptr, CAGV},
    {"CAVV", nullptr, CAVV},     {"CAPHIV", nullptr, CAPHIV},
    {"CAHL", nullptr, CAHL},     {"CASL", nullptr, CASL},     {"CAGL", nullptr, CAGL},
    {"CAVL", nullptr, CAVL},     {"CAPHIL", nullptr, CAPHIL},
    {"CAHS", nullptr, CAHS},     {"CASS", nullptr, CASS},     {"CAGS", nullptr, CAGS},
    {"CAVS", nullptr, CAVS},     {"CAPHIS", nullptr, CAPHIS},
}};

// Module-level storage: the declared lengths of the pure routines' output
// and derivative blocks, and the derivative block itself, which receives
// the derivatives the routines write and is not returned to the host.
ftn::Int prop_length = 0;
ftn::Int dprop_length = 0;
std::array<ftn::Real, 4 * kMaxListComponents> dprop{};

constexpr ftn::Int kBadListNumber = 30;

// A list longer than the host's component count (or a component count
// beyond the monitor's capacity) would make the routines write past the
// host's result array and the derivative block: refuse it.
bool list_fits(ftn::Int nlist, ftn::Int ncomp, ftn::Int msglev) {
    if (ncomp >= 0 && ncomp <= kMaxListComponents && nlist >= 0 && nlist <= ncomp) return true;
    report(RoutineId("MDMON8"), MessageKey{1, kBadListNumber, msglev, 1},
           {message_line("Property request for a list of" + fmt90::I(nlist, 6) + " components with" +
                         fmt90::I(ncomp, 6) + " components"),
            message_line("in the simulation; no property is computed.")});
    return false;
}

}  // namespace
}  // namespace eqlink

extern "C" void EQLINK_MDMON8(const ftn::Int* KPROP, const ftn::Int* ICLIST, const ftn::Real* TEMP,
                              const ftn::Real* PRES, void* /*arg5*/, const ftn::Real* XMOL,
                              void* /*arg7*/, const ftn::Int* IREQ, void* /*arg9*/, void* /*arg10*/,
                              void* /*arg11*/, ftn::Real* PROP) {
    using namespace eqlink;
    const ftn::Int ncomp = props::ncomp();
    prop_length = 3 * ncomp;
    dprop_length = 4 * ncomp;

    const ftn::Int index = *KPROP - kFirstCode;
    const MonitorRow& row =
        kRoutines[index >= 0 && index < ftn::Int{kRoutines.size()} ? static_cast<std::size_t>(index) : 0];
    const ftn::Int nlist = ZMTH_PPSCLR[2].i();
    const ftn::Int msglev = ZMTH_PPSCLR[4].i();

    if (tracing())
        trace({"EQLINK_MDMON8: property code" + fmt90::I(*KPROP, 6) + " -> " +
               std::string(row.name)});
    if (list_fits(nlist, ncomp, msglev)) {
        if (row.mixture != nullptr)
            row.mixture(*TEMP, *PRES, XMOL, nlist, ICLIST, msglev, IREQ, PROP, dprop.data());
        else
            row.pure(*TEMP, *PRES, XMOL, nlist, ICLIST, msglev, IREQ, prop_length, dprop_length, PROP,
                     dprop.data());
    }
    props::remove_all_streams();
}
