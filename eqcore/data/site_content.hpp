// The element content of the constituents of a sublattice phase's sites.
//
// A compound-energy phase's composition is linear in its site fractions:
// an end member holds sum_s a_s (content of its constituent on s). The
// content of a site constituent comes from its name when the name is an
// element symbol (any case; one atom) or `Va` (a vacancy, none); any other
// constituent (a charged or molecular name) gets what an end member leaves
// for it when it is that end member's only constituent of unknown content.
// Every end member's stoichiometry row must then equal its site sum.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "data/system.hpp"

namespace eqcore {

// True for the name of a vacancy (`Va`, any case).
bool is_vacancy_name(const std::string& name);

// Rows (concatenated constituents x elements, row-major) of phase `ph`
// whose end members are `members`. Returns "" on success, else what is
// wrong (naming the end member or constituent).
std::string site_content(const std::vector<Element>& elements, const Phase& ph, std::span<const Constituent> members,
                         std::vector<double>& rows);

}  // namespace eqcore
