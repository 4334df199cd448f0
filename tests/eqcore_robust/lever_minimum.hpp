// A brute-force minimum of the Gibbs energy of a material of two or three
// elements, independent of the solver and of the acceptance check, for
// phases of any model the grid sampler covers (phase_grid.hpp).
//
// Every phase is sampled on a grid of its internal fractions, each point as
// (x, g): its composition per mole of atoms and its G per mole of atoms. A
// linear programme over the points finds the lowest combination holding
// the feed. A phase written once is one homogeneous phase, so a programme
// whose optimum uses one phase at two points is not an answer: it branches,
// holding that phase at each of its points in turn, until every phase of
// the optimum appears once. Those assemblages (one point per phase, as many
// phases as elements, some possibly at zero amount) are refined by a
// pattern search over all their fractions at once, the amounts solved from
// the balance at every step and moves that would make one negative
// refused. Every value it reports is the G of a real, exactly balanced
// assemblage in which each phase appears once, hence an upper bound of the
// true minimum: a solver's G above it is a wrong answer. A phase alone at
// the feed is reached as the limit of the others' amounts going to zero,
// so there the bound lies slightly above the minimum.
#pragma once

#include <string>
#include <vector>

#include "data/system.hpp"

namespace eqcore::robust {

struct LeverMinimum {
    double G = 0.0;          // J
    std::string assemblage;  // the phases, their amounts (mol of atoms) and compositions
    bool found = false;      // false: no assemblage of distinct phases holds the feed on the grid
};

// For element amounts `b` (two or three of them > 0) at T (K) and P (Pa);
// `points` bounds the grid size of each phase. Throws std::invalid_argument
// for another number of elements or a phase the sampler cannot sample.
LeverMinimum lever_grid_minimum(const System& sys, const std::vector<double>& b, double T, double P,
                                int points = 20000);

}  // namespace eqcore::robust
