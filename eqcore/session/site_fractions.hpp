// The site fractions of one phase of a result, sublattice by sublattice,
// with the names of the constituents on each: what the listing, the JSON
// document and the Python package show of a sublattice phase, an ionic
// liquid and a quasichemical liquid.
#pragma once

#include <string>
#include <vector>

#include "data/system.hpp"
#include "solver/result.hpp"

namespace eqcore {

struct SublatticeFractions {
    // Sites per formula unit: those of the file for a sublattice phase, P or
    // Q of the result for an ionic liquid; NaN where the number of sites
    // follows the composition and is not reported (a quasichemical liquid).
    double sites = 0.0;
    std::vector<std::string> names;  // as written in the file ("Va" for a vacancy)
    std::vector<double> fraction;    // one per name; each sublattice sums to 1
};

// The sublattices of phase `ph` in result `pr`: a sublattice phase's in file
// order, an ionic liquid's cations then its second sublattice (anions, the
// vacancy, neutrals), a quasichemical liquid's cations then its anions (from
// its quadruplet fractions). Empty for a phase without sublattices or a
// result that holds no site fractions for it.
std::vector<SublatticeFractions> phase_site_fractions(const Phase& ph, const PhaseResult& pr);

}  // namespace eqcore
