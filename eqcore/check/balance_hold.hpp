// An absent mixture written once (one homogeneous phase) below the reported
// plane is still rightly absent when the balance holds it out: where the
// present phases leave the element potentials free along some directions
// (a feed the present compounds make up exactly), one instance of the phase
// cannot reach both sides of the feed at once.
//
// For a fixed composition x of the phase, the rest of the problem (its
// amount and the other phases' amounts) is convex, so leaving it out is
// optimal at x exactly when some element potentials mu with every present
// constituent on the plane and every other absent phase on or above it give
// it a distance D(x; mu) >= 0. That mu is found as the duals of a small
// linear programme: the present constituents as columns of free sign at
// their model potentials, every absent stoichiometric phase, the other
// absent mixtures at compositions of least distance (more added where the
// duals put one below the plane: a cutting plane), and the phase at x. Each
// mu the programme gives is then verified directly. The phase is held out
// when every point of a grid over its composition (and the given points)
// has such potentials.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "check/own_basins.hpp"

namespace eqcore {

struct BalanceHoldFinding {
    bool held = false;
    std::vector<double> uncovered;  // a composition of the phase no potentials hold out (when not held)
    double distance = 0.0;          // its least distance / RT over the potentials tried
};

// The test above for absent mixture p (`in` as for own_basins); `present`:
// every usable constituent of a present phase (system index) with its
// potential by its phase's model at the reported amounts, J/mol; `points`:
// compositions (by constituent of the phase) tested besides the grid;
// `tol_df`: distance / RT that counts as on the plane; `tol_mu`: |mu_i -
// a_i.mu| / RT allowed for present constituents.
BalanceHoldFinding balance_holds(const OwnBasinsInput& in, int p,
                                 const std::vector<std::pair<std::size_t, double>>& present,
                                 const std::vector<std::vector<double>>& points, double tol_df, double tol_mu);

}  // namespace eqcore
