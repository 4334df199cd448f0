// The phases beyond the last outlet but one, mixed into the last outlet:
// each phase's enthalpy, entropy and volume shared among its components by
// their flows, summed by phase kind; vapour and liquid make the mixed
// substream, solids the conventional-solid substream.
#include <array>
#include <string>

#include "block_outlets.hpp"
#include "block_stages.hpp"
#include "fortran_format.hpp"
#include "map_lookup.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgUnmappedConstituent = 13;
constexpr ftn::Int kMsgNoSolidVolume = 27;

// Sums of one phase kind.
struct KindSums {
    ftn::Real flow = 0, mass = 0, enthalpy = 0, entropy = 0, volume = 0;
};

void unmapped_constituent(const BlockState& s, ftn::Int con, ftn::Int q, ftn::Real amount) {
    message(s, 2, kMsgUnmappedConstituent,
            {message_line("EQCORE calculations indicate that data-file constituent" + fmt90::I(con, 4)),
             message_line("in data-file phase" + fmt90::I(q, 4) + " is present at equilibrium (" +
                          fmt90::ES(amount, 10, 4) + ")."),
             message_line("There is no corresponding component in the Elvar component list."),
             message_line("Please check the component mapping summary.")});
}

// Phase q's components added to the outlet and to the sums of their kind
// (index 1 vapour, 2 liquid, 3 solid). Stops when none of them has flow.
Stage add_phase(const BlockCall& c, BlockState& s, ftn::Int q, std::array<KindSums, 4>& sums,
                ftn::Real& temperature) {
    const ftn::Int o = c.NOUTLT;
    const ftn::Int n = constituent_count(s, q);
    temperature = phase_result(s, "T ", q, 0);
    const ftn::Real Hq = phase_result(s, "H ", q, 0);
    const ftn::Real Sq = phase_result(s, "S ", q, 0);
    const ftn::Real Vq = phase_result(s, "V ", q, 0);

    ftn::Real Nq = 0.0;
    for (ftn::Int con = 1; con <= n; ++con) {
        const ftn::Real amount = phase_result(s, "A ", q, con);
        ftn::Int k = 0;
        if (FNDCMP(q, con, k) != 0)
            Nq += host_flow(amount, k);
        else if (amount > 0.0)
            unmapped_constituent(s, con, q, amount);
    }
    if (Nq == 0.0) {
        phase_without_components(s, q);
        return Stage::stop;
    }
    const ftn::Real hq = Hq / Nq, sq = Sq / Nq, vq = Vq / Nq;
    for (ftn::Int con = 1; con <= n; ++con) {
        ftn::Int k = 0;
        const ftn::Int r = FNDCMP(q, con, k);
        if (r == 0) continue;
        const ftn::Int t = map_record(r).kind;
        if (t < 1 || t > 3) continue;
        const ftn::Real flow = host_flow(phase_result(s, "A ", q, con), k);
        KindSums& sum = sums[static_cast<std::size_t>(t)];
        sum.flow += flow;
        sum.mass += flow * molecular_weight(s, k);
        sum.enthalpy += hq * flow;
        // Counted from the elements in their standard state, as the flash
        // and the property routines state entropies.
        sum.entropy += sq * flow - element_entropy(k, flow);
        sum.volume += vq * flow;
        // Solids without a conventional-solid substream stay out of the
        // stream vector; the solid check below says so.
        if (t == 3 && !c.has_cisolid()) continue;
        c.outlet(o, c.subpos(t == 3 ? 2 : 1) + k - 1) = flow;
    }
    return Stage::proceed;
}

}  // namespace

Stage place_mixed_phases(const BlockCall& c, BlockState& s) {
    const ftn::Int o = c.NOUTLT;
    std::array<KindSums, 4> sums{};
    ftn::Real temperature = 0.0;
    for (ftn::Int i = c.NOUTLT; i <= s.NPRES; ++i)
        if (add_phase(c, s, s.IPRES[static_cast<std::size_t>(i - 1)], sums, temperature) == Stage::stop)
            return Stage::stop;

    const KindSums& vap = sums[1];
    const KindSums& liq = sums[2];
    const KindSums& sol = sums[3];
    const ftn::Real T2 = vap.flow + liq.flow;
    if (T2 > 0.0) {
        const ftn::Real mass = vap.mass + liq.mass;
        const ftn::Real volume = vap.volume + liq.volume;
        const ftn::Int base = c.subpos(1) + s.NC;
        c.outlet(o, base + kTotalFlow) = T2;
        c.outlet(o, base + kTemperature) = temperature;
        c.outlet(o, base + kPressure) = s.PBLK;
        c.outlet(o, base + kEnthalpy) = (vap.enthalpy + liq.enthalpy) / mass;
        c.outlet(o, base + kVapourFraction) = vap.flow / T2;
        c.outlet(o, base + kLiquidFraction) = liq.flow / T2;
        c.outlet(o, base + kEntropy) = (vap.entropy + liq.entropy) / mass;
        c.outlet(o, base + kDensity) = volume == 0.0 ? s.RMISS : mass / volume;
        c.outlet(o, base + kMolecularWeight) = mass / T2;
    }
    if (sol.flow > 0.0) {
        if (c.has_cisolid()) {
            const ftn::Int base = c.subpos(2) + s.NC;
            c.outlet(o, base + kTotalFlow) = sol.flow;
            c.outlet(o, base + kTemperature) = temperature;
            c.outlet(o, base + kPressure) = s.PBLK;
            c.outlet(o, base + kEnthalpy) = sol.enthalpy / sol.mass;
            c.outlet(o, base + kVapourFraction) = 0.0;
            c.outlet(o, base + kLiquidFraction) = 0.0;
            c.outlet(o, base + kEntropy) = sol.entropy / sol.mass;
            if (sol.volume > 0.0) {
                c.outlet(o, base + kDensity) = sol.mass / sol.volume;
            } else {
                c.outlet(o, base + kDensity) = s.RMISS;
                message(s, 2, kMsgNoSolidVolume,
                        {message_line("THE SOLID MOLAR VOLUME FROM THIS FLASH CALCULATION IS ZERO"),
                         message_line("PLEASE EXPORT A NEW DATA FILE FROM THE DATABASE WITH "),
                         message_line("\"INCLUDE MOLAR VOLUME\" CHECKED ON THE EXPORT FORM")});
            }
            c.outlet(o, base + kMolecularWeight) = sol.mass / sol.flow;
        } else {
            no_solid_substream(s);
        }
    }
    if (s.LEVEL >= 8) check_mass_balance(c, s);
    if (tracing()) trace_mixed_outlet(c, s);
    return Stage::proceed;
}

}  // namespace eqlink::block
