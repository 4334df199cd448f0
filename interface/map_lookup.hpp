// Lookups between host components and EQCORE constituents on the component
// map of EQLINK_ELVCA. Both only read the map; 0 means "not found".
#pragma once

#include "fortran.hpp"

namespace eqlink {

// The map record of host component `component`, with its EQCORE phase and
// constituent numbers; 0 with phase and constituent 0 when it has none.
ftn::Int FNDMAP(ftn::Int component, ftn::Int& phase, ftn::Int& constituent);

// The first map record of EQCORE phase `phase`, constituent `constituent`,
// with its host component number; 0 with component 0 when none matches.
ftn::Int FNDCMP(ftn::Int phase, ftn::Int constituent, ftn::Int& component);

}  // namespace eqlink
