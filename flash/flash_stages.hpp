// The flash's stages, in the order EQLINK_CAFLSH runs them. Each returns
// whether the flash goes on; a stage that stops has reported why and set KER.
#pragma once

#include "flash_state.hpp"

namespace eqlink::flash {

// Start-up, conditions of the call, feed enthalpy, checks of the
// requested flash, and the engine reset.
Stage flash_entry(const FlashCall& c, FlashState& s);
// Chemistry detection and the entering of what the chemistry needs.
Stage activate_chemistry(const FlashCall& c, FlashState& s);
// Packing of every substream; with chemistry, the feed streams of the engine.
Stage pack_feed(const FlashCall& c, FlashState& s);
// The temperature whose product enthalpy meets feed plus duty.
Stage search_temperature(const FlashCall& c, FlashState& s);
// The engine's equilibrium of the feed; the products replace the flows.
Stage equilibrate(const FlashCall& c, FlashState& s);
// Phase split, phase properties, duty and the stream vector written back.
Stage flash_results(const FlashCall& c, FlashState& s);

}  // namespace eqlink::flash
