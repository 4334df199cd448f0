// One phase alone into an outlet: each constituent with a map record
// becomes its host component's flow, in the mixed substream or, for solids,
// the conventional-solid one; the substream of the last such component gets
// the totals and the phase's properties per mass, the entropy counted from
// the elements in their standard state.
#include <string>

#include "block_outlets.hpp"
#include "fortran_format.hpp"
#include "map_lookup.hpp"
#include "messages.hpp"

namespace eqlink::block {

namespace {

constexpr ftn::Int kMsgNoVolume = 12;
// Density given to a phase without volume, kg/m3.
constexpr ftn::Real kDensityWithoutVolume = 2000.0;

std::string exponent(ftn::Real v) { return fmt90::E(v, 14, 7); }

}  // namespace

Stage place_single_phase(const BlockCall& c, BlockState& s, ftn::Int q, ftn::Int o) {
    const ftn::Real T = phase_result(s, "T ", q, 0);
    s.PBLK = phase_result(s, "P ", q, 0);
    const ftn::Int n = constituent_count(s, q);

    ftn::Real V = 0.0, L = 0.0, S = 0.0, M = 0.0;
    ftn::Real Sref = 0.0;       // element entropies of the components written
    ftn::Real mapped = 0.0;     // flow of every constituent with a map record
    ftn::Int start = 0;         // first word of the substream written last
    bool solid_left_out = false;
    for (ftn::Int con = 1; con <= n; ++con) {
        ftn::Int k = 0;
        const ftn::Int r = FNDCMP(q, con, k);
        if (r == 0) continue;
        const ftn::Int t = map_record(r).kind;
        const ftn::Real flow = host_flow(phase_result(s, "A ", q, con), k);
        mapped += flow;
        if (t > 2 && !c.has_cisolid()) {
            // No conventional-solid substream to hold it: left out.
            solid_left_out = true;
            continue;
        }
        start = c.subpos(t > 2 ? 2 : 1);
        M += flow * molecular_weight(s, k);
        Sref += element_entropy(k, flow);
        c.outlet(o, start + k - 1) = flow;
        if (t == 1) V += flow;
        if (t == 2) L += flow;
        if (t == 3) S += flow;
        if (tracing())
            trace({" Phase" + fmt90::I(q, 3) + " constituent" + fmt90::I(con, 3) + " substrm " +
                   fmt90::I(t, 1) + " amount = " + fmt90::F(flow, 19, 5) + "  mol/s"});
    }
    // Nothing of the phase can be stated in host components.
    if (mapped == 0.0) {
        phase_without_components(s, q);
        return Stage::stop;
    }
    if (solid_left_out) no_solid_substream(s);

    const ftn::Real H = phase_result(s, "H ", q, 0);
    const ftn::Real Sx = phase_result(s, "S ", q, 0);
    const ftn::Real Vol = phase_result(s, "V ", q, 0);
    if (int{V > 0.0} + int{L > 0.0} + int{S > 0.0} > 1)
        message(s, 1, s.NOERR,
                {message_line("THE CONSTITUENTS IN PHASE " + fmt90::I(q, 3)),
                 message_line("ARE OF MULTIPLE PHASE TYPES - V/L/S"),
                 message_line("MOLAR FLOW RATES OF EACH PHASE TYPE ARE:"),
                 message_line("V=" + exponent(V) + "    L=" + exponent(L) + "    S=" + exponent(S))});
    if (start == 0) return Stage::proceed;  // only solids, and nowhere to put them

    const ftn::Real Tot = V + L + S;
    const ftn::Int base = start + s.NC;
    auto word = [&](ftn::Int w) -> ftn::Real& { return c.outlet(o, base + w); };
    word(kTotalFlow) = Tot;
    word(kTemperature) = T;
    word(kPressure) = s.PBLK;
    word(kEnthalpy) = H / M;
    // Counted from the elements in their standard state, as the flash and
    // the property routines state entropies, so that streams from both mix.
    word(kEntropy) = (Sx - Sref) / M;
    if (Vol == 0.0) {
        word(kDensity) = kDensityWithoutVolume;
        message(s, 3, kMsgNoVolume,
                {message_line("EQCORE PHASE " + fmt90::I(q, 3) + " HAS NO VOLUME.  IT IS ASSIGNED A DENSITY"),
                 message_line("OF 2000 KG/M3 TO PREVENT FLOATING POINT ERRORS.")});
    } else {
        word(kDensity) = M / Vol;
    }
    word(kMolecularWeight) = M / Tot;
    // The last rule that applies wins.
    auto fractions = [&](ftn::Real vapour, ftn::Real liquid) {
        word(kVapourFraction) = vapour;
        word(kLiquidFraction) = liquid;
    };
    if (V > 0.0) fractions(1.0, 0.0);
    if (L > 0.0) fractions(0.0, 1.0);
    if (S > 0.0) fractions(0.0, 0.0);
    if (tracing()) trace_substream_words(&word(kTotalFlow), kSubstreamTail);
    return Stage::proceed;
}

}  // namespace eqlink::block
