// Polynomial excess with Kohler extrapolation.
//
// Binary term with exponents (p, q): (x_i + x_j)^2 L xi_i^p xi_j^q with
// xi_i = x_i / (x_i + x_j), i.e. L x_i^p x_j^q (x_i + x_j)^(2-p-q), which is
// L x_i^p x_j^q in a binary phase. Ternary term with exponents (p, q, r):
// (x_i + x_j + x_k)^3 L xi_i^p xi_j^q xi_k^r with xi = x / (x_i + x_j + x_k),
// i.e. L x_i^p x_j^q x_k^r in a ternary phase; both keep their value when
// another constituent is added at fixed ratios of the others.
//
// Groups: when i and j belong to different groups, every other constituent
// of i's group joins i and of j's group joins j (Toop-like); with
// xi_1, xi_2 the summed fractions of the two sets the binary term is
// L x_i x_j xi_1^(p-1) xi_2^(q-1) / (xi_1 + xi_2)^(p+q-2). Ternary terms
// ignore the groups. An interpolation override of the file for the ternary
// (i, j, k) takes precedence: k then joins neither i nor j (Kohler-type).
//
// Weights: with weights w != 1 every term is written in the equivalent
// fractions y_i = w_i x_i / W, W = sum w_l x_l, and multiplied by W.
#pragma once

#include <span>

#include "data/system.hpp"
#include "thermo/excess.hpp"
#include "thermo/parameter.hpp"

namespace eqcore {

void qkto_excess(const Phase& phase, double T, std::span<const double> x, ExcessSums& sums);
// The terms function a model of `phase` evaluates: where every weight is 1
// the equivalent fractions are the fractions themselves, and qkto_excess
// would only pass them through, so the terms are taken directly (the same
// numbers); qkto_excess otherwise. Chosen once, where the model is made.
ExcessTerms qkto_terms_for(const Phase& phase);
// Bounds on the second derivatives of one interaction's term (see
// InteractionCurvature, thermo/excess.hpp); false with weights.
bool qkto_curvature(const Phase& phase, const Interaction& in, double T, std::span<double> B);
// Bounds on the third derivatives of one interaction's term (see
// InteractionThird, thermo/excess.hpp) where `least` is given; false
// without it, with weights, and for a binary term with a negative power of
// a sum unless `least` keeps that sum away from 0.
bool qkto_third(const Phase& phase, const Interaction& in, double T, std::span<const double> least,
                std::span<double> B);

}  // namespace eqcore
