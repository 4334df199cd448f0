// The result of a direct engine calculation as a listing: conditions, the
// phases present with their constituents (largest first), the phases that
// were considered but are absent with their driving force, and the system's
// H, S, G, Cp and the heat of the calculation.
#pragma once

#include <ostream>

#include "data/system.hpp"
#include "solver/result.hpp"

namespace eqlink_tool {

void print_equilibrium(std::ostream& out, const eqcore::System& sys, const eqcore::EquilibriumResult& r);

}  // namespace eqlink_tool
