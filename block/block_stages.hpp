// The block's stages, in the order EQLINK_CATOP runs them. Each returns
// whether the block goes on; a stage that stops has reported why.
#pragma once

#include "block_state.hpp"

namespace eqlink::block {

// Start-up, option set, parameters and the conditions set in the engine
// before anything else: pressure, and temperature or duty.
Stage block_entry(const BlockCall& c, BlockState& s);
// Counts and substream table that let the block stay inside the caller's
// arrays: at least one outlet, four real parameters, and every substream
// within its stream vector.
Stage check_stream_layout(const BlockCall& c, BlockState& s);
// Phase and constituent statuses from the product list; the target of a
// type 3 or 4 calculation.
Stage select_products(BlockState& s);
// Every inlet substream with flow as an engine stream of its own.
Stage feed_inlets(const BlockCall& c, BlockState& s);
// The equilibrium with the engine's listing, the heat duty and the outlet
// heat stream.
Stage equilibrate(const BlockCall& c, BlockState& s);
// The phases present, in increasing phase index.
Stage find_phases_present(BlockState& s);
// The outlets cleared, then filled with the phases present.
Stage distribute_phases(const BlockCall& c, BlockState& s);

// Diagnostics.
// The engine's listing file copied into the host report between lines that
// name the block.
void copy_listing();
// Component and molecular-weight sums of every inlet and outlet substream
// with flow, on the report unit.
void check_mass_balance(const BlockCall& c, const BlockState& s);
// The substreams of the mixed outlet on the terminal.
void trace_mixed_outlet(const BlockCall& c, const BlockState& s);

}  // namespace eqlink::block
