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
    // direction whatever its amount). `share` (a mixture's row) is the
    // square root of the constituent's fraction of its phase (of its
    // sublattice): what weight the row would have were the phase the whole
    // material. Rows with a value that is not finite mark the set as
    // broken: finish then reports no directions.
    void add(const double* a, double weight, bool unit, double share);
    // The directions: the `exact` ones no row depends on (singular values
    // of the rows at or below 1e-10 of the largest), then those only the
    // weighted rows leave free (below 1e-3 of the largest, at least `exact`
    // of them), orthogonal to the exact ones, in echelon form with pivots on
    // the scarcest elements first. A held direction along which the feed
    // carries material that the major rows (stoichiometric phases, rows of
    // weight 1e-3 or more) cannot hold, beyond 1e-12 of the largest element
    // amount, is not free where a phase present at a trace amount depends on
    // it through its main constituents (rows of share 1e-3 or more): that
    // phase must hold it. Writes them row by row to `null` (held x E, each
    // of unit length; size at least E * E) and returns held.
    int finish(double* null, int& exact);

private:
    int E_ = 0;
    bool broken_ = false;
    // rx_: the row being folded in; rm_: the major rows; rs_: the mixtures'
    // rows weighted by their shares
    std::vector<double> b_, scale_, rx_, ra_, rw_, rm_, rs_;
};

}  // namespace eqcore::detail
