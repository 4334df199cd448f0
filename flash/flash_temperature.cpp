// The temperature search of the pressure-duty flash: the temperature at
// which the products, every component in the phase of its engine
// constituent, carry the feed enthalpy plus the duty. The host's root finder
// proposes the temperatures; the mixture property routines give the phase
// enthalpies.
#include <string>

#include "flash_messages.hpp"
#include "flash_split.hpp"
#include "flash_stages.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "phase_property.hpp"

namespace eqlink::flash {

namespace {

// Evaluations after which the search gives up, should the host's finder
// never stop by itself.
constexpr int kMaxEvaluations = 1000;

// The provisional split: every component of the mixed substream in the
// phase of its constituent; solids only draw a warning without chemistry.
Stage provisional_split(const FlashCall& c, FlashState& s) {
    if (!(s.mixed.flow > 0.0)) {
        set_vcalc(s, rmiss());
        return Stage::proceed;
    }
    set_vcalc(s, rmiss());
    const SplitResult r = split_mixed(
        s,
        [&](ftn::Int k, const MapEntry&) {
            *c.KER = -1;
            msg::unmapped_component(msg::kSearchMixedUnmapped, k);
        },
        [&](ftn::Int, const MapEntry&) {
            if (!s.LCHEM)
                msg::report(1, msg::kSolidInMixed,
                            {"      THERE ARE CISOLID SUBSTREAM SPECIES IN THE",
                             "      MIXED SUBSTREAM AND CHEMISTRY IS NOT USED",
                             "      RESULTS ARE LIKELY TO BE INCORRECT"});
        });
    if (r == SplitResult::unmapped) return Stage::stop;
    set_vcalc(s, vapour_fraction(s));
    normalise_phases(s);
    return Stage::proceed;
}

// Every component of the solid substream must be mapped; fluids there only
// draw a warning without chemistry.
Stage check_solid_substream(const FlashCall& c, FlashState& s) {
    if (!(s.solid.flow > 0.0)) return Stage::proceed;
    for (ftn::Int j = 0; j < s.solid.n; ++j) {
        const ftn::Int k = s.solid.idx[static_cast<std::size_t>(j)];
        const MapEntry e = find_map(k);
        if (e.record == 0) {
            *c.KER = -1;
            msg::unmapped_component(msg::kSearchSolidUnmapped, k);
            return Stage::stop;
        }
        if (e.kind != 3 && !s.LCHEM)
            msg::report(1, msg::kMixedInSolid,
                        {"      THERE ARE MIXED SUBSTREAM SPECIES IN THE",
                         "      CISOLID SUBSTREAM AND CHEMISTRY IS NOT USED",
                         "      RESULTS ARE LIKELY TO BE INCORRECT"});
    }
    return Stage::proceed;
}

// The enthalpy balance at X (W): products minus feed plus duty. A phase
// without material adds nothing and is not evaluated.
ftn::Real enthalpy_balance(FlashState& s, ftn::Real X) {
    ftn::Real fv = 0.0, fl = 0.0, fs = 0.0;
    if (s.SUMV > 0.0) {
        const ftn::Real hv = phase_property(PhaseProperty::vapour_enthalpy, X, s.P, s.YVAP.data(),
                                            s.mixed.n, s.mixed.idx.data());
        stwork(47).set_r(hv);
        fv = s.SUMV * hv * s.mixed.flow;
    }
    if (s.SUML > 0.0) {
        const ftn::Real hl = phase_property(PhaseProperty::liquid_enthalpy, X, s.P, s.XLIQ.data(),
                                            s.mixed.n, s.mixed.idx.data());
        stwork(48).set_r(hl);
        fl = s.SUML * hl * s.mixed.flow;
    }
    if (s.solid.flow > 0.0) {
        const ftn::Real hs = phase_property(PhaseProperty::solid_enthalpy, X, s.P, s.solid.x.data(),
                                            s.solid.n, s.solid.idx.data());
        stwork(63).set_r(hs);
        fs = hs * s.solid.flow;
    }
    const ftn::Real target = s.HIN + s.DUTY;
    const ftn::Real F = fv + fl + fs - target;
    if (tracing())
        trace({"    T= " + fmt90::F(X, 8, 2) + "    " + fmt90::E(fv, 12, 4) + "    " +
                   fmt90::E(fl, 12, 4) + "    " + fmt90::E(fs, 12, 4) + "    " +
                   fmt90::E(-target, 12, 4),
               "    H= " + fmt90::E(F, 12, 4)});
    if (tracing())
        trace({"         HV=" + fmt90::E(stwork(47).r(), 14, 6) +
               "    HL=" + fmt90::E(stwork(48).r(), 14, 6) +
               "    HS=" + fmt90::E(stwork(63).r(), 14, 6) + " J/kmol"});
    if (tracing())
        trace({"         FV=" + fmt90::E(s.SUMV * s.mixed.flow, 14, 6) +
               "    FL=" + fmt90::E(s.SUML * s.mixed.flow, 14, 6) +
               "    FS=" + fmt90::E(s.solid.flow, 14, 6) + " kmol/s"});
    return F;
}

}  // namespace

Stage search_temperature(const FlashCall& c, FlashState& s) {
    s.RFWORK[0] = DMS_RGLOB[13].r();
    s.RFWORK[1] = DMS_RGLOB[12].r();
    s.RFWORK[2] = 10.0;
    s.RFWORK[4] = c.TOL * (s.HIN + s.DUTY) / 10.0;
    s.RFWORK[5] = 0.0;
    ftn::Real X = 1000.0;
    ftn::Int IFLAG = 0;
    s.SUMV = s.SUML = 0.0;

    if (provisional_split(c, s) == Stage::stop) return Stage::stop;
    if (check_solid_substream(c, s) == Stage::stop) return Stage::stop;
    if (s.SUMV > 0.0 && s.SUML > 0.0 && !s.LCHEM)
        msg::report(
            2, msg::kVapourAndLiquid,
            {"      THE MIXED SUBSTREAM HAS BOTH VAPOR AND LIQUID",
             "      SPECIES AND CHEMISTRY IS NOT USED",
             "      VAPOR LIQUID EQUILIBRIUM IS NOT RECOMPUTED", "      RESULTS MAY BE INCORRECT"});

    for (int evaluation = 1;; ++evaluation) {
        const ftn::Real F = enthalpy_balance(s, X);
        ZMTH_ROOT1N(&IFLAG, &X, &F, s.RFWORK.data(), c.RFCTL);
        if (IFLAG <= 0) break;
        if (evaluation == kMaxEvaluations) {
            IFLAG = -1;
            break;
        }
        s.RFWORK[2] = 500.0;
    }
    if (IFLAG < 0) {
        msg::report_at_host_level(
            1, msg::kNoTemperature,
            {"      CANNOT FIND A TEMPERATURE THAT SATISFIES THE ENTHALPY BALANCE",
             "      ERROR CODE FROM ZMTH_ROOT1N = " + fmt90::I(IFLAG, 2),
             "      BLOCK CALCULATIONS TERMINATED",
             "      IT MAY BE HELPFUL TO USE A USER2 INSTEAD"});
        // No temperature meets the balance: the stream vector still holds the
        // feed, so the host must not take it as the flashed stream.
        *c.KER = -1;
        return Stage::stop;
    }
    s.T = X;
    stwkwk(19).set_r(X);
    return Stage::proceed;
}

}  // namespace eqlink::flash
