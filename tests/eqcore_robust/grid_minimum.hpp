// A brute-force minimum of the Gibbs energy of a material of two elements,
// independent of the solver and of the acceptance check, for phases of any
// model whose internal state is a product of simplices: a substitutional
// mixture or the gas (its constituents' fractions) and a sublattice phase
// (the site fractions of every sublattice, complete in its end members).
//
// Every phase is sampled on a grid of its internal fractions, each point as
// (x, g): its fraction of the second element and its G per mole of atoms.
// The answer is the least G over the assemblages in which each phase
// appears once (a phase written once is one homogeneous phase): one phase
// at the feed's composition, or two different phases on either side of it
// by the lever rule (in a binary two always suffice). The best assemblages
// found on the grid are refined by a pattern search over the fractions
// (pairs: each phase towards the common tangent, again and again; a single
// phase: along moves that keep its composition). Every value it reports is
// the G of a real assemblage that holds the feed, hence an upper bound of
// the true minimum: a solver's G above it is a wrong answer.
#pragma once

#include <string>
#include <vector>

#include "data/system.hpp"

namespace eqcore::robust {

struct GridMinimum {
    double G = 0.0;          // J
    std::string assemblage;  // the phases and their fractions of the second element
};

// For element amounts `b` (exactly two of them > 0) at T (K) and P (Pa);
// `points` bounds the grid size of each phase. Throws std::invalid_argument
// for a material that is not binary or a phase of a model it cannot sample
// (quasichemical, ionic liquid, an incomplete sublattice phase).
GridMinimum binary_grid_minimum(const System& sys, const std::vector<double>& b, double T, double P,
                                int points = 60000);

}  // namespace eqcore::robust
