// The least Gibbs energy over the assemblages in which an ionic liquid,
// written once, appears at one composition beside stoichiometric phases,
// found by search over the liquid's site fractions alone: every site
// fraction on a grid, then a pattern search from the best points of the
// grid, then one over the solids' amounts and the liquid's record amounts
// that hold the rest. For each composition the amounts of the liquid and
// of the solids are a small linear programme, solved by trying every
// basis. Independent
// of the solver; the liquid's remainder is taken from the dense-jet
// evaluation. For systems whose phases besides the liquid are all
// stoichiometric.
#pragma once

#include <vector>

#include "data/system.hpp"

namespace eqcore::testing {

// The minimum (J) for element amounts b at T (K) and P (Pa); `grid` steps
// per site fraction. Throws std::invalid_argument where a phase other than
// `liquid` is not stoichiometric.
double ionic_one_instance_minimum(const System& sys, int liquid, const std::vector<double>& b, double T, double P,
                                  int grid);

// The liquid's energy per formula unit at its site fractions (cations,
// then the second sublattice, as a result reports them), J; for the same
// systems.
double ionic_liquid_energy(const System& sys, int liquid, double T, double P, const std::vector<double>& site_fraction);

}  // namespace eqcore::testing
