// Vapour-liquid split of the packed mixed substream.
#include "flash_split.hpp"

namespace eqlink::flash {

SplitResult split_mixed(FlashState& s,
                        const std::function<void(ftn::Int, const MapEntry&)>& on_unmapped,
                        const std::function<void(ftn::Int, const MapEntry&)>& on_solid) {
    s.SUMV = s.SUML = 0.0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(s.mixed.n); ++j) {
        const ftn::Int k = s.mixed.idx[j];
        const MapEntry e = find_map(k);
        if (e.record == 0) {
            on_unmapped(k, e);
            return SplitResult::unmapped;
        }
        const ftn::Real x = s.mixed.x[j];
        s.YVAP[j] = e.kind == 1 ? x : 0.0;
        s.XLIQ[j] = e.kind == 2 ? x : 0.0;
        if (e.kind == 1) s.SUMV += x;
        if (e.kind == 2) s.SUML += x;
        if (e.kind == 3) on_solid(k, e);
    }
    return SplitResult::done;
}

ftn::Real vapour_fraction(const FlashState& s) {
    const ftn::Real sum = s.SUMV + s.SUML;
    return sum > 0.0 ? s.SUMV / sum : rmiss();
}

void normalise_phases(FlashState& s) {
    for (std::size_t j = 0; j < static_cast<std::size_t>(s.mixed.n); ++j) {
        if (s.SUMV > 0.0) s.YVAP[j] /= s.SUMV;
        if (s.SUML > 0.0) s.XLIQ[j] /= s.SUML;
    }
}

}  // namespace eqlink::flash
