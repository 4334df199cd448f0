// Redlich-Kister excess with Muggianu extrapolation.
//
// Binary (i, j) with sets L^(0..m-1): x_i x_j sum_v L^(v) (x_i - x_j)^v.
// Ternary (i, j, k): one set, x_i x_j x_k L^(0); three sets,
// x_i x_j x_k sum_l L^(l) V_l with V_l = x_l + (1 - x_i - x_j - x_k)/3.
// Quaternary (i, j, k, l): one set, x_i x_j x_k x_l L^(0).
#pragma once

#include <span>

#include "data/system.hpp"
#include "thermo/parameter.hpp"

namespace eqcore {

void rkmp_excess(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums);
// Bounds on the second derivatives of one interaction's term (see
// InteractionCurvature, thermo/excess.hpp).
bool rkmp_curvature(const Phase& phase, const Interaction& in, double T, std::span<double> B);
// Bounds on its third derivatives (see InteractionThird, thermo/excess.hpp).
// The bounds hold over the whole simplex: `least` is not needed.
bool rkmp_third(const Phase& phase, const Interaction& in, double T, std::span<const double> least,
                std::span<double> B);

}  // namespace eqcore
