// The start-up's trace prints of the engine's sizes and of the header of a
// transparent data file.
#pragma once

#include <array>

#include "fortran.hpp"

namespace eqlink {

// "From ECSIZE: NA = ..." over three lines, when tracing.
void trace_sizes(const std::array<ftn::Int, 11>& sizes);
// Asks EQCORE for the header of the transparent file just read (its status
// is not examined) and traces it.
void trace_transparent_header();

}  // namespace eqlink
