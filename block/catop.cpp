// EQLINK_CATOP: the equilibrium block, stage after stage. Each stage may end
// the block; whatever it got as far as writing stays written. Once the feed
// has begun, every end of the block removes the engine streams, so that no
// stream of this calculation takes part in a later one.
#include "catop.hpp"

#include "block_stages.hpp"

namespace eqlink::block {

namespace {

Stage run(const BlockCall& c, BlockState& s) {
    if (block_entry(c, s) == Stage::stop) return Stage::stop;
    if (select_products(s) == Stage::stop) return Stage::stop;
    s.feeding = true;
    if (feed_inlets(c, s) == Stage::stop) return Stage::stop;
    if (equilibrate(c, s) == Stage::stop) return Stage::stop;
    if (find_phases_present(s) == Stage::stop) return Stage::stop;
    return distribute_phases(c, s);
}

}  // namespace

}  // namespace eqlink::block

extern "C" void EQLINK_CATOP(const ftn::Int* NINLET, const ftn::Real* SINLET, const ftn::Int* NHTIN,
                             const ftn::Real* HTIN, const ftn::Int* NOUTLT, ftn::Real* SOUTLT,
                             const ftn::Int* NHTOUT, ftn::Real* HTOUT, const void*, const void*,
                             const void*, const void*, const ftn::Int* LSTRM, const ftn::Int* NSUB,
                             const ftn::Int* SUBPOS, const ftn::Int* SUBTYP, const ftn::Int* NIPAR,
                             const ftn::Int* IPAR, const ftn::Int* NRPAR, ftn::Real* RPAR,
                             const void*, const void*, const ftn::Int* OPTSET, const void*,
                             const void*, const void*, const void*, const void*, const void*,
                             const void*, const ftn::Int* STRDSC) {
    using namespace eqlink::block;
    const BlockCall c{*NINLET, SINLET, *NHTIN, HTIN,  *NOUTLT, SOUTLT, *NHTOUT, HTOUT, *LSTRM,
                      *NSUB,   SUBPOS, SUBTYP, *NIPAR, IPAR,   *NRPAR, RPAR,    OPTSET, STRDSC};
    BlockState& s = state();
    s.feeding = false;
    try {
        run(c, s);
    } catch (...) {
        // Nothing may cross the host boundary; the block ends as it stands.
    }
    if (s.feeding) remove_streams(s);
}
