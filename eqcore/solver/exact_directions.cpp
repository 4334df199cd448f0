// Directions of the element potentials that no present constituent depends
// on (the charges of a melt of neutral salts: Li, Mg, F, O in LiF, MgF2,
// Li2O, MgO), held by Newton's border rows from its first iteration.
//
// Along such a direction the Newton matrix is singular, yet the rounding of
// its entries may let the factorisation pass. The step then moves pi along
// the direction by an arbitrary amount (of order 1), which changes no
// amount, but its rounding leaves residuals of order 1e-16 in every row of
// the solved system: in the row of an element the material holds only as a
// trace (1e-8 of the majors) that is a relative error of 1e-8, and that
// element's balance stalls far above its tolerance.
#include <cmath>

#include "solver/free_basis.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {

// A row's part left outside the rows taken so far, relative to its length,
// from which it adds a direction of its own. Stoichiometric rows are either
// dependent to their rounding or clearly independent.
constexpr double kOwnPart = 1e-8;

// Whether the rows of the present stoichiometric phases and of the present
// mixtures of one mixing group already span every element, so that no
// direction is exactly free (the rows of a phase with sublattices lie in
// the span of its constituents' rows, so they cannot add to it). A quick
// answer for the usual case: rows only nearly independent count as
// dependent, and the free basis decides.
bool rows_span_elements(const Workspace& ws) {
    const int E = ws.E;
    if (E > kFreeBasisCap) return false;
    double basis[kFreeBasisCap * kFreeBasisCap];  // orthonormal rows, rank of them
    double v[kFreeBasisCap];
    int rank = 0;
    for (const Candidate& c : ws.cand) {
        if (!c.present || c.groups > 1) continue;
        for (int s = c.first; s < c.first + c.count; ++s) {
            const double* a = ws.arow(s);
            double len2 = 0.0;
            for (int j = 0; j < E; ++j) {
                v[j] = a[j];
                len2 += a[j] * a[j];
            }
            if (len2 == 0.0) continue;
            // Twice, so that the part left is orthogonal to the rounding.
            for (int pass = 0; pass < 2; ++pass)
                for (int q = 0; q < rank; ++q) {
                    const double* u = basis + q * E;
                    double d = 0.0;
                    for (int j = 0; j < E; ++j) d += u[j] * v[j];
                    for (int j = 0; j < E; ++j) v[j] -= d * u[j];
                }
            double left2 = 0.0;
            for (int j = 0; j < E; ++j) left2 += v[j] * v[j];
            if (!(left2 > kOwnPart * kOwnPart * len2)) continue;
            const double inv = 1.0 / std::sqrt(left2);
            for (int j = 0; j < E; ++j) basis[rank * E + j] = v[j] * inv;
            if (++rank == E) return true;
        }
    }
    return false;
}

}  // namespace

int hold_exact_directions(Workspace& ws) {
    if (ws.E == 0 || rows_span_elements(ws)) return 0;
    free_directions(ws);
    ws.null_dim = ws.exact_dim;
    return ws.null_dim;
}

}  // namespace eqcore::detail
