// The split of the packed mixed substream into vapour and liquid by the
// phase kind of each component's engine constituent: used for the
// provisional split of the temperature search and for the final split.
#pragma once

#include <functional>

#include "flash_state.hpp"

namespace eqlink::flash {

enum class SplitResult { done, unmapped };

// Sets YVAP, XLIQ (unnormalised), SUMV and SUML from XM. A solid
// constituent goes to neither phase and is passed to `on_solid`; an unmapped
// component is passed to `on_unmapped` and ends the split.
SplitResult split_mixed(FlashState& s,
                        const std::function<void(ftn::Int, const MapEntry&)>& on_unmapped,
                        const std::function<void(ftn::Int, const MapEntry&)>& on_solid);

// SUMV / (SUMV + SUML), or the missing value when there is neither.
ftn::Real vapour_fraction(const FlashState& s);

// YVAP and XLIQ divided by their sums, where these are positive.
void normalise_phases(FlashState& s);

}  // namespace eqlink::flash
