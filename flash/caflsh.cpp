// EQLINK_CAFLSH: the flash of a host stream, stage after stage. Each stage
// may end the flash; whatever it got as far as writing stays written.
#include "caflsh.hpp"

#include "flash_stages.hpp"

namespace eqlink::flash {

namespace {

void run(const FlashCall& c, FlashState& s) {
    if (flash_entry(c, s) == Stage::stop) return;
    if (activate_chemistry(c, s) == Stage::stop) return;
    if (pack_feed(c, s) == Stage::stop) return;
    if (c.KODE == 1 && search_temperature(c, s) == Stage::stop) return;
    if (s.LCHEM) {
        if (equilibrate(c, s) == Stage::stop) return;
    } else {
        set_vcalc(s, 0.0);
    }
    flash_results(c, s);
}

}  // namespace

}  // namespace eqlink::flash

extern "C" void EQLINK_CAFLSH(ftn::Real* STRVEC, const ftn::Int* NSUBS, const ftn::Int* LPB,
                              const ftn::Int* ITYPE, const ftn::Int* IDS, const ftn::Int* KODE,
                              ftn::Int* NPKODE, const ftn::Int* KPHASE, const ftn::Int* RFCTL,
                              const ftn::Real* TOL, const ftn::Int* KDIAG, const ftn::Int* KPDIAG,
                              const void* /*unused13*/, const void* /*unused14*/,
                              const void* /*unused15*/, ftn::Int* KER) {
    using namespace eqlink::flash;
    const FlashCall c{STRVEC, *NSUBS, LPB,   ITYPE,  IDS,    *KODE,   NPKODE,
                      *KPHASE, RFCTL, *TOL,  *KDIAG, *KPDIAG, KER};
    FlashState& s = state();
    s.mixed.n = s.solid.n = s.nonconv.n = 0;
    try {
        run(c, s);
        publish_work_arrays(s);
    } catch (...) {
        // Nothing may cross the host boundary; the flash has failed.
        *KER = -1;
    }
}
