// Null spaces of the stoichiometry rows of the present constituents, the
// directions along which the element potentials are free.
//
// The rows arrive one at a time and are folded into the triangular factor of
// a QR decomposition (Givens rotations), unweighted and weighted side by
// side: an E x E triangle has the singular values and right singular vectors
// of all the rows, so the SVDs that follow work on E x E matrices of fixed
// capacity. The triangles live in caller-owned storage: after the first use
// nothing here allocates (for E up to kFreeBasisCap).
#pragma once

#include <vector>

namespace eqcore::detail {

inline constexpr int kFreeBasisCap = 16;  // largest E solved without heap allocation

class FreeBasis {
public:
    // Starts a new set of rows with E columns; `b` (size E, positive) are the
    // element amounts each weighted column is measured against.
    void start(int E, const double* b);
    // Adds one row `a` (size E). Its weighted copy is weight * a / sqrt(b),
    // rescaled to unit length when `unit` (a stoichiometric phase fixes its
    // direction whatever its amount). Rows with a value that is not finite
    // mark the set as broken: finish then reports no directions.
    void add(const double* a, double weight, bool unit);
    // The directions: the `exact` ones no row depends on (singular values
    // of the rows at or below 1e-10 of the largest), then those only the
    // weighted rows leave free (below 1e-3 of the largest, at least `exact`
    // of them), orthogonal to the exact ones, in echelon form with pivots on
    // the scarcest elements first. Writes them row by row to `null` (held x
    // E, each of unit length; size at least E * E) and returns held.
    int finish(double* null, int& exact);

private:
    int E_ = 0;
    bool broken_ = false;
    std::vector<double> b_, scale_, rx_, ra_, rw_;  // rx_: the row being folded in
};

}  // namespace eqcore::detail
