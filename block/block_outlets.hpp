// The two ways a phase present reaches an outlet stream: alone, or mixed
// with the phases that follow it into the last outlet.
#pragma once

#include <string_view>

#include "block_state.hpp"

namespace eqlink::block {

// Phase q alone into outlet o.
Stage place_single_phase(const BlockCall& c, BlockState& s, ftn::Int q, ftn::Int o);
// Phases IPRES(NOUTLT) to IPRES(NPRES) into outlet NOUTLT, then the mass
// balance and the outlet summary.
Stage place_mixed_phases(const BlockCall& c, BlockState& s);

// ECRES for phase q, constituent con (0: the phase).
ftn::Real phase_result(BlockState& s, std::string_view option, ftn::Int q, ftn::Int con);
ftn::Int constituent_count(BlockState& s, ftn::Int q);

// Solid components found but no conventional-solid substream to put them
// in; the block goes on without them.
void no_solid_substream(const BlockState& s);
// A phase present whose components have no flow in the host's terms.
void phase_without_components(const BlockState& s, ftn::Int q);

}  // namespace eqlink::block
