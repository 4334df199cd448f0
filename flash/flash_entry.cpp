// The flash entry: start-up, the call's conditions, the feed enthalpy, the
// checks of the requested flash and the reset of the engine.
#include <string>

#include "eqcore_calls.hpp"
#include "flash_messages.hpp"
#include "flash_stages.hpp"
#include "fortran_format.hpp"
#include "host_services.hpp"
#include "startup.hpp"

namespace eqlink::flash {

namespace {

// The temperature of the flash: the work area's, else the first
// substream's, else 500 K.
ftn::Real flash_temperature(const FlashCall& c) {
    const ftn::Real missing = rmiss();
    ftn::Real T = stwkwk(19).r();
    if (T == missing && c.NSUBS >= 1) T = c.subs(1, 1);
    if (T == missing) T = 500.0;
    return T;
}

// The enthalpy flow of the feed (W), every substream counted.
ftn::Real feed_enthalpy(const FlashCall& c) {
    if (tracing()) trace({" i         Hmass            MW            Fmol        H*F*MW"});
    ftn::Real hin = 0.0;
    for (ftn::Int i = 1; i <= c.NSUBS; ++i) {
        const ftn::Real h = c.subs(i, 3), m = c.subs(i, 8), f = c.subs(i, 0);
        hin += h * m * f;
        if (tracing())
            trace({fmt90::I(i, 2) + fmt90::E(h, 15, 6) + fmt90::E(m, 15, 6) + fmt90::E(f, 15, 6) +
                   fmt90::E(h * f * m, 15, 6)});
    }
    return hin;
}

// KODE and free water. Stops the flash when either is not a flash this
// option set computes.
Stage check_specification(const FlashCall& c) {
    if (c.KODE != 1 && c.KODE != 2) {
        if (tracing())
            trace({" KODE = " + fmt90::I(c.KODE, 2) + " This flash is not PQ(1) or TP(2)"});
        msg::report(1, msg::kBadKode,
                    {"      THIS FLASH CALL IS SPECIFIED WITH KODE = " + fmt90::I(c.KODE, 2),
                     "      THE EQCORE OPTION SET MUST USE KODE=1(PQ) OR KODE=2(PT)",
                     "      INTERFACE CALCULATIONS HALTED"});
        return Stage::stop;
    }
    if (*c.NPKODE > 10) {
        if (tracing())
            trace({" NPKODE = " + fmt90::I(*c.NPKODE, 2) + " THIS FLASH IS FREE-WATER=YES"});
        // The phase count is corrected only when the host takes the warning.
        if (!host_agrees(routine_id(), {3, msg::kFreeWater, c.KDIAG})) return Stage::stop;
        print_message({"      THIS FLASH IS SPECIFIED WITH NPKODE = " + fmt90::I(*c.NPKODE, 2),
                       "      THE SPECIFICATION FOR FREE-WATER=YES WILL BE IGNORED",
                       "      FREE-WATER IS NOT IMPLEMENTED FOR THE EQCORE OPTION SET"});
        *c.NPKODE -= 10;
        return Stage::stop;
    }
    return Stage::proceed;
}

// Every phase eliminated, every condition and every stream removed: what an
// earlier calculation left (also one that stopped early) takes no part.
Stage reset_engine(const FlashCall& c, FlashState& s) {
    const ftn::Int nph = phase_count();
    for (ftn::Int i = 1; i <= nph; ++i) {
        PPSTUB_ECSPS(&i, "ELIMINATED", &s.NOERR, 10);
        if (s.NOERR != 0) {
            msg::engine_failure(s.NOERR, 0, false);
            *c.KER = -1;  // nothing was flashed
            return Stage::stop;
        }
    }
    const ftn::Int all = -2;
    PPSTUB_ECRMC(&all, &s.NOERR);
    PPSTUB_ECSTDL(" ", &s.NOERR, 1);
    return Stage::proceed;
}

}  // namespace

Stage flash_entry(const FlashCall& c, FlashState& s) {
    ftn::Int ierr = 0, noerr = 0;
    CASTRT(ierr, noerr);
    if (ierr != 0) {
        *c.KER = -1;
        return Stage::stop;
    }
    *c.KER = 0;
    s.NCOMP = DMS_NCOMP[0].i();
    // The start-up refuses more host components than the map holds; a count
    // beyond the work arrays is never packed.
    if (s.NCOMP < 0 || s.NCOMP > eqlink::kMaxComponents) {
        *c.KER = -1;
        return Stage::stop;
    }
    s.KDIAG = c.KDIAG;
    s.KPDIAG = c.KPDIAG;
    s.step = 0;
    s.LCHEM = false;
    s.T = flash_temperature(c);
    s.P = stwkwk(20).r();
    s.DUTY = stwkwk(27).r();

    // One list-directed record, on two lines of the terminal's width. A
    // one-substream stream has no second start word to show: 0 stands there.
    if (tracing())
        trace({(fmt90::ListRecord() << " ncc=" << s.NCOMP << "   nph=" << c.NSUBS).str(),
               (fmt90::ListRecord() << "    lpb(1)=" << (c.NSUBS >= 1 ? c.lpb(1) : 0)
                                    << "   lpb(2)=" << (c.NSUBS >= 2 ? c.lpb(2) : 0))
                   .str()});
    s.HIN = feed_enthalpy(c);
    if (tracing())
        trace({"", "Starting CAFLSH",
               "T, P, HIN, DUTY  " + fmt90::F(s.T, 10, 2) + "  " + fmt90::F(s.P, 10, 1) + "  " +
                   fmt90::F(s.HIN, 18, 4) + fmt90::F(s.DUTY, 18, 4)});

    s.mixed.n = s.solid.n = s.nonconv.n = 0;
    s.mixed.flow = s.solid.flow = s.nonconv.flow = 0.0;

    if (check_specification(c) == Stage::stop) return Stage::stop;
    return reset_engine(c, s);
}

}  // namespace eqlink::flash
