// The internal states of a phase restricted to a few elements, for the
// brute-force minima: a substitutional mixture or the gas by its
// constituents' fractions, a sublattice phase by the site fractions of
// every sublattice (complete in its end members). Each block (a sublattice,
// or the whole phase) is a simplex over its usable constituents; a state is
// the flat vector of every block's fractions.
#pragma once

#include <vector>

#include "data/system.hpp"

namespace eqcore::robust {

struct SampledPhase {
    int phase = 0;
    bool product = false;                  // a sublattice phase: amounts are products of site fractions
    std::vector<std::vector<int>> usable;  // per block: positions usable (within the sublattice / phase)
    std::vector<int> offset;               // per block: where its fractions start in the flat vector
    int size = 0;                          // flat length
};

// The phases that can hold material of `elements` alone (constituents with
// any other element left out). Throws std::invalid_argument for a phase of
// a model it cannot sample (quasichemical, ionic liquid) or a sublattice
// phase that lacks end members of the usable constituents.
std::vector<SampledPhase> sampled_phases(const System& sys, const std::vector<int>& elements);

// Amounts of the phase's constituents at flat fractions y.
std::vector<double> sampled_amounts(const System& sys, const SampledPhase& s, const std::vector<double>& y);

// Every flat state of the product of the blocks' simplex grids, at the
// largest resolution whose count stays within `points`; no fraction is
// below `floor` (none exactly zero).
std::vector<std::vector<double>> sampled_grid(const SampledPhase& s, int points, double floor = 1e-9);

// Every vertex of the product of simplices (one constituent per block).
std::vector<std::vector<double>> sampled_vertices(const SampledPhase& s);

// Of states in order of preference, the first `count` whose fractions
// differ from every one taken before by `apart` or more in some fraction
// (the best points of distinct basins: a coarse grid may rank a deep
// narrow basin below others); their positions.
std::vector<std::size_t> distinct_states(const std::vector<const std::vector<double>*>& ys, std::size_t count,
                                         double apart);

}  // namespace eqcore::robust
