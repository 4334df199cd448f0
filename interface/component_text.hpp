// Texts of a host component that EQLINK's messages quote.
#pragma once

#include <string>

#include "fortran.hpp"

namespace eqlink {

// The host component's identifier: its two 4-character words in the host's
// plex, 8 characters. The component number must be one of the host's.
std::string component_identifier(ftn::Int component);

}  // namespace eqlink
