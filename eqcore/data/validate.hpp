// Structural invariants of a System that every model relies on: sizes within
// the limits, phases in order with contiguous constituents, increasing
// temperature ranges, interaction indices within their phase. The .dat
// reader ends with it; the .cst reader depends on it, since a binary file
// may be damaged in ways its checksum cannot tell.
#pragma once

#include <string>

#include "data/system.hpp"

namespace eqcore {

// Throws DataError(file, 0, what) naming the phase or constituent at fault.
void validate(const System& sys, const std::string& file);

}  // namespace eqcore
