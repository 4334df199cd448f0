// A property request: the host asks the property monitor for one property
// code at T, P and a composition, as the host does for a stream.
#include <array>
#include <limits>

#include "mdmon8.hpp"
#include "run.hpp"
#include "runner.hpp"

namespace eqlink_tool {
namespace {

// The monitor's routines by code 401..430; any other code selects the first.
constexpr std::array<const char*, 30> kRoutines = {
    "CAHMXV", "CASMXV", "CAGMXV", "CAVMXV", "CAAMXV", "CAHMXL", "CASMXL", "CAGMXL", "CAVMXL", "CAAMXL",
    "CAHMXS", "CASMXS", "CAGMXS", "CAVMXS", "CAAMXS", "CAHV",   "CASV",   "CAGV",   "CAVV",   "CAPHIV",
    "CAHL",   "CASL",   "CAGL",   "CAVL",   "CAPHIL", "CAHS",   "CASS",   "CAGS",   "CAVS",   "CAPHIS"};

std::size_t routine_index(long long code) {
    return (code >= 401 && code <= 430) ? static_cast<std::size_t>(code - 401) : 0;
}

// Mixture enthalpy, entropy, Gibbs energy and volume fill PROP(1..3); the
// per-component and pure-component routines fill PROP(1..3 NCOMP).
bool whole_phase(std::size_t index) { return index < 15 && index % 5 != 4; }

}  // namespace

PropertyResult run_property(const RunContext& rc, const PropertyCalc& p) {
    elvar::Run& run = rc.run;
    const auto ncomp = static_cast<std::size_t>(run.ncomp());
    const std::size_t index = routine_index(p.code);

    std::vector<ftn::Int> iclist;
    for (const auto& id : p.components) iclist.push_back(run.component(id));
    std::vector<ftn::Real> x(p.x.begin(), p.x.end());
    // The arrays are never empty, so that an empty request still passes valid addresses.
    if (iclist.empty()) {
        iclist.push_back(0);
        x.push_back(0.0);
    }
    const std::array<ftn::Int, 4> ireq{p.request[0], p.request[1], p.request[2], p.request[3]};
    // Unwritten slots keep a quiet NaN, which prints as missing.
    std::vector<ftn::Real> prop(4 * ncomp + 4, std::numeric_limits<double>::quiet_NaN());
    std::array<ftn::Real, 8> unused{};
    const ftn::Int kprop = p.code;
    const ftn::Real T = p.T, P = p.P;

    run.set_property_request(static_cast<ftn::Int>(p.components.size()), p.level);
    EQLINK_MDMON8(&kprop, iclist.data(), &T, &P, &unused[0], x.data(), &unused[2], ireq.data(), &unused[4],
                  &unused[5], &unused[6], prop.data());

    PropertyResult r;
    r.code = p.code;
    r.routine = kRoutines[index];
    const std::size_t slots = whole_phase(index) ? 3 : 3 * ncomp;
    for (std::size_t i = 0; i < slots; ++i) r.prop.push_back(prop[i] == prop[i] ? Value{prop[i]} : Value{});
    return r;
}

}  // namespace eqlink_tool
