// A present mixture that the data file writes once (no copy NAME#k takes
// part) is one homogeneous phase: it may sit inside its own miscibility gap,
// but the result is wrong when an assemblage of the system's phases, each at
// most once, with that phase at another composition has a lower G.
//
// The phase's tangent-plane distance is minimised over its own compositions
// (the check's search: grid, corners, centre, random points, the
// compositions of present phases with the same constituents). Each
// composition found below the plane starts a proof, independent of the
// solver: a linear programme min sum l_k G_k over columns of fixed
// composition, subject to the element balance: the result's other present
// phases, the absent mixtures at their compositions of least distance,
// every stoichiometric phase, and this phase at the new composition only
// (its present composition excluded). Its duals price new columns, each
// mixture's tangent distance descending locally from the compositions the
// programme uses and the phase's from its new composition, used or not
// (column generation). After each programme the columns of
// every phase are merged into one instance at their summed amounts and
// that assemblage is evaluated exactly by the phases' models: a G below the
// result's proves the result wrong. Where it does not, the phase is also
// kept at one composition only, moved towards its local minimum at each
// programme's duals while the merged G falls (the generated columns may
// split it across its gap, which the merged instance loses); and then
// kept as one instance at free amounts beside the other phases at their
// fixed compositions, its G minimised by a search on values alone
// (one_instance.hpp) from balanced starts with the phase at the new
// composition: at a feed that some compounds make up exactly the
// programmes' duals are not unique and mislead both of the others. Where
// the balance forbids the replacement (no such assemblage exists) nothing
// is claimed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "solver/result.hpp"
#include "thermo/models.hpp"

namespace eqcore {

struct OwnBasinsInput {
    const System* sys = nullptr;
    const PhaseModels* models = nullptr;
    const EquilibriumResult* r = nullptr;
    std::vector<double> b;         // element amounts of the material, mol (by system element)
    std::vector<char> use;         // per system constituent: may hold material
    std::vector<char> takes_part;  // per phase: entered, not dormant, with a usable constituent
    // Per phase: an absent mixture's composition of least distance (empty
    // when not known).
    std::vector<std::vector<double>> absent_x;
};

struct OwnBasinsFinding {
    double least_distance = 0.0;  // least tangent distance / RT of the phase over its compositions
    double lower_by = 0.0;        // J: how much lower the best assemblage found is (0: none found)
    std::string assemblage;       // its phases, when lower_by > 0
};

// True when phase p is a mixture that may have a miscibility gap (not an
// ideal substitutional mixture nor the gas) and no other phase that takes
// part is a copy of it (same name before '#', same constituent count).
bool written_once_nonideal(const OwnBasinsInput& in, int p);

// The search above for present phase p. `starts`: compositions to search
// from besides the check's own; `tol_df`: distance / RT below which a
// composition counts as below the plane; `tol_G`: J by which an assemblage
// must be lower to count.
OwnBasinsFinding own_basins(const OwnBasinsInput& in, int p, const std::vector<std::vector<double>>& starts,
                            int random_starts, std::uint64_t seed, double tol_df, double tol_G);

}  // namespace eqcore
