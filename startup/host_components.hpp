// Host component names and IDs, read from the host's plex.
#pragma once

#include "fortran.hpp"

namespace eqlink {

// Number of host components (DMS_NCOMP word 1).
ftn::Int host_component_count();
// The 32-character mapping name of host component i (1-based).
ftn::Chars<32> host_component_name(ftn::Int i);
// The 8-character ID of host component i.
ftn::Chars<8> host_component_id(ftn::Int i);

// Word w (1-based) of DMS_PLEX, and DMS_LOCATI(record).
const ftn::Word& plex_word(ftn::Int w);
ftn::Int locate(ftn::Int record);

}  // namespace eqlink
