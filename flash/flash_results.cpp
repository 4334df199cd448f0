// The results of the flash: the final vapour-liquid split and its checks,
// the phase properties at the flash temperature and pressure, the duty, and
// the stream vector written back.
#include <string>

#include "eqcore_calls.hpp"
#include "flash_messages.hpp"
#include "flash_split.hpp"
#include "flash_stages.hpp"
#include "flash_stream_vector.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "phase_property.hpp"

namespace eqlink::flash {

namespace {

void remove_streams(FlashState& s) {
    PPSTUB_ECSTDL(" ", &s.NOERR, 1);
}

Stage final_split(const FlashCall& c, FlashState& s) {
    const SplitResult r = split_mixed(
        s,
        [&](ftn::Int k, const MapEntry&) {
            *c.KER = -1;
            msg::unmapped_component(msg::kSplitUnmapped, k);
        },
        [&](ftn::Int, const MapEntry& e) {
            msg::report(1, msg::kSolidConstituentInMixed,
                        {"      EQCORE CONSTITUENT" + fmt90::I(e.constituent, 4) +
                             " IN EQCORE PHASE" + fmt90::I(e.phase, 4) + " IS A SOLID CONSTITUENT.",
                         "      IT MUST BE PUT IN THE CISOLID SUBSTREAM.",
                         "      CALCULATIONS PROCEED, BUT A MASS IMBALANCE IS LIKELY."});
        });
    if (r == SplitResult::unmapped) {
        remove_streams(s);
        return Stage::stop;
    }
    set_vcalc(s, vapour_fraction(s));
    return Stage::proceed;
}

// Number of liquid phases of the engine that hold material.
Stage count_liquid_phases(const FlashCall& c, FlashState& s) {
    ftn::Int NLIQ = 0;
    const ftn::Int nph = phase_count();
    for (ftn::Int p = 1; p <= nph; ++p) {
        for (std::size_t j = 0; j < static_cast<std::size_t>(s.mixed.n); ++j) {
            const ftn::Int k = s.mixed.idx[j];
            const MapEntry e = find_map(k);
            if (e.record == 0) {
                *c.KER = -1;
                msg::unmapped_component(msg::kLiquidCountUnmapped, k);
                return Stage::stop;
            }
            if (e.kind != 2 || e.phase != p) continue;
            const ftn::Int whole = 0;
            ftn::Real amount = 0.0;
            PPSTUB_ECRES("A ", &p, &whole, &amount, &s.NOERR, 2);
            if (amount > 0.0) {
                ++NLIQ;
                break;
            }
        }
    }
    if (NLIQ > 1)
        msg::report(4, msg::kLiquidPhases,
                    {"      THIS FLASH CALL PRODUCES" + fmt90::I(NLIQ, 3) + " LIQUID PHASES",
                     "      TO SEPARATE THE LIQUID PHASES INTO DIFFERENT",
                     "      STREAMS USE AN EQCORE USER2 BLOCK"});
    return Stage::proceed;
}

void check_single_phase(const FlashCall& c, const FlashState& s) {
    if (*c.NPKODE != 1) return;
    if (c.KPHASE == 1 && s.SUML > 0.0)
        msg::report(
            3, msg::kVapourFlashWithLiquid,
            {"      THIS FLASH CALL IS SPECIFIED WITH NPHASE=1, PHASE=V",
             "      BUT LIQUID SPECIES ARE PREDICTED", "      NPHASE=1, PHASE=V WILL BE IGNORED"});
    if (c.KPHASE == 2 && s.SUMV > 0.0)
        msg::report(
            3, msg::kLiquidFlashWithVapour,
            {"      THIS FLASH CALL IS SPECIFIED WITH NPHASE=1, PHASE=L",
             "      BUT VAPOR SPECIES ARE PREDICTED", "      NPHASE=1, PHASE=L WILL BE IGNORED"});
}

void solid_properties(FlashState& s) {
    const ftn::Real missing = rmiss();
    if (s.solid.n != 0) {
        const ftn::Real* x = s.solid.x.data();
        const ftn::Int* idx = s.solid.idx.data();
        s.HS = phase_property(PhaseProperty::solid_enthalpy, s.T, s.P, x, s.solid.n, idx);
        s.SS = phase_property(PhaseProperty::solid_entropy, s.T, s.P, x, s.solid.n, idx);
        s.VS = phase_property(PhaseProperty::solid_volume, s.T, s.P, x, s.solid.n, idx);
        s.MWS = PPUTL_AVEMW(&s.solid.n, idx, x);
        if (tracing())
            trace({" SOLID SUBSTREAM:  ENTHALPY  " + fmt90::F(s.HS, 15, 3),
                   std::string(19, ' ') + "ENTROPY   " + fmt90::F(s.SS, 15, 5),
                   std::string(19, ' ') + "VOLUME    " + fmt90::F(s.VS, 15, 5),
                   std::string(19, ' ') + "Mol Wt.   " + fmt90::F(s.MWS, 15, 5)});
    } else {
        s.HS = s.SS = s.VS = s.MWS = missing;
    }
    stwork(63).set_r(s.HS);
    remove_streams(s);
}

// Enthalpy, entropy, volume and molecular weight of one fluid phase, into
// the stream work area's words (missing when the phase has no material).
void fluid_properties(FlashState& s, bool present, const ftn::Real* x, PhaseProperty h,
                      PhaseProperty e, PhaseProperty v, ftn::Real& H, ftn::Real& S, ftn::Real& V,
                      ftn::Real& MW, ftn::Int first_word) {
    const ftn::Real missing = rmiss();
    H = S = V = MW = missing;
    if (present) {
        const ftn::Int* idx = s.mixed.idx.data();
        H = phase_property(h, s.T, s.P, x, s.mixed.n, idx);
        S = phase_property(e, s.T, s.P, x, s.mixed.n, idx);
        V = phase_property(v, s.T, s.P, x, s.mixed.n, idx);
        MW = PPUTL_AVEMW(&s.mixed.n, idx, x);
    }
    stwork(first_word).set_r(H);
    stwork(first_word + 4).set_r(S);
    stwork(first_word + 8).set_r(V);
    stwork(first_word + 12).set_r(MW);
}

void mixed_properties(FlashState& s) {
    const bool mixed = s.mixed.n != 0;
    fluid_properties(s, mixed && s.SUMV > 0.0, s.YVAP.data(), PhaseProperty::vapour_enthalpy,
                     PhaseProperty::vapour_entropy, PhaseProperty::vapour_volume, s.HV, s.SV, s.VV,
                     s.MWV, 47);
    if (mixed) remove_streams(s);
    fluid_properties(s, mixed && s.SUML > 0.0, s.XLIQ.data(), PhaseProperty::liquid_enthalpy,
                     PhaseProperty::liquid_entropy, PhaseProperty::liquid_volume, s.HL, s.SL, s.VL,
                     s.MWL, 48);
    if (mixed) remove_streams(s);
}

void trace_mixed_properties(const FlashState& s) {
    auto pair = [](ftn::Real a, ftn::Real b, int d) {
        return fmt90::F(a, 15, d) + " " + fmt90::F(b, 15, d) + " ";
    };
    if (tracing())
        trace({" MIXED SUBSTREAM    GAS        LIQUID", " volumes    " + pair(s.VV, s.VL, 5),
               " enthalpies " + pair(s.HV, s.HL, 3), " entropies  " + pair(s.SV, s.SL, 5),
               " Mol Wt.    " + pair(s.MWV, s.MWL, 5)});
}

}  // namespace

Stage flash_results(const FlashCall& c, FlashState& s) {
    if (final_split(c, s) == Stage::stop) return Stage::stop;
    if (c.KPHASE == 3 && s.mixed.flow > DMS_RGLOB[4].r()) {
        *c.KER = -1;
        msg::report(1, msg::kSolidFlashWithFluid,
                    {"      THIS FLASH CALL IS SPECIFIED WITH NPHASE=1, PHASE=S",
                     "      BUT VAPOR/LIQUID SPECIES ARE PREDICTED",
                     "      THE CISOLID SUBSTREAM SHOULD BE USED FOR SOLIDS",
                     "      INTERFACE FLASH CALCULATIONS TERMINATED"});
        remove_streams(s);
        return Stage::stop;
    }
    if (count_liquid_phases(c, s) == Stage::stop) return Stage::stop;
    check_single_phase(c, s);
    if (tracing()) trace({"Stream flashed.   vcalc = " + fmt90::F(s.VCALC, 10, 5)});
    normalise_phases(s);
    std::string tp(1, ' ');
    tp.append(fmt90::F(s.T, 15, 2)).append(1, ' ').append(fmt90::F(s.P, 15, 2)).append(1, ' ');
    if (tracing()) trace({tp});

    solid_properties(s);
    mixed_properties(s);

    // The temperature the flash computed at: for a TP flash entered without
    // one, the substituted temperature, so that no computed stream is
    // handed back without it.
    if (c.KODE == 2) stwkwk(19).set_r(s.T);
    stwkwk(23).set_r(1.0);
    trace_mixed_properties(s);

    // Phases without material have missing properties; their zero amounts
    // keep them out of the sums.
    auto term = [](ftn::Real amount, ftn::Real value) {
        return amount > 0.0 ? amount * value : 0.0;
    };
    const ftn::Real QCALC =
        term(s.solid.flow, s.HS) - s.HIN + (term(s.SUMV, s.HV) + term(s.SUML, s.HL)) * s.mixed.flow;
    stwkwk(22).set_r(QCALC);
    if (tracing()) trace({(fmt90::ListRecord() << " DUTY STWKWK_QCALC =" << QCALC).str()});

    write_stream_vector(c, s);
    if (tracing()) dump_stream_vector(c, s);
    remove_streams(s);
    *c.KER = 0;
    return Stage::proceed;
}

}  // namespace eqlink::flash
