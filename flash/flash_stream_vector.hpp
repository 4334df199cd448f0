// The flashed state written into the host's stream vector, and its listing
// on the host report when tracing is on.
#pragma once

#include "flash_state.hpp"

namespace eqlink::flash {

// Total flow, T, P, mass enthalpy, phase fractions, mass entropy, density
// and molecular weight of every mixed and conventional-solid substream.
void write_stream_vector(const FlashCall& c, FlashState& s);
// The substreams word by word, side by side, on the report unit.
void dump_stream_vector(const FlashCall& c, const FlashState& s);

}  // namespace eqlink::flash
