// Proof that what was the basin of a present copy's composition holds no
// deeper minimum after the state moved.
//
// At the reference state an absent candidate's distance D_ref had a local
// minimum x_k at a present copy's composition (D_ref(x_k) ~ 0) and every
// other minimum above delta; now D_ref - delta <= D <= D_ref + rise
// everywhere (reference_shift, reference_rise). So D >= 0 outside the
// component S of {D_ref < delta} around x_k, but a gap opening beside the
// copy can make a new minimum inside S, as deep as delta.
//
// Let the descent from x_k end at x* with D(x*) = d and gradient g (along
// the directions that keep the sum of the fractions). If D is
// lambda-convex on K, the part of the ball of radius rho around x* within
// the composition simplex, then at distance r from x* in K
//     D >= d - |g| r + lambda r^2 / 2.
// Where that reaches delta + rise on the sphere r = rho, D_ref >= delta
// there: S, which holds x_k (inside the ball), cannot leave K, and on K
// D >= d - |g|^2 / (2 lambda). The curvature: the ideal part sum y ln y
// gives u' diag(1/y) u >= 2 |u|^2 for every u of sum 0 ((sum |u|)^2 <=
// sum u^2 / y by Cauchy-Schwarz, sum |u| >= sqrt(2) |u| when the u sum to
// 0) and >= |u|^2 / max y; the remainder's is at least minus the model's
// excess_curvature_bound. Where the model also bounds the change of that
// curvature (excess_third_bound), lambda on K is at least the least
// eigenvalue of the exact Hessian at x* (the ideal part taken at x* + rho)
// less that bound times rho: the larger of the two is used.
#pragma once

#include "solver/workspace.hpp"

namespace eqcore::detail {

// Candidate ci (one mixing group of one site): the bound of its
// remainder's curvature at the current temperature, +inf where it has none
// or another shape (with the bound of the curvature's change, kept in its
// TangentMemory).
double own_basin_curvature(Workspace& ws, int ci);

// Whether every composition within `reach` of x (the candidate's
// fractions; one group) lies in the basin of one minimum x_m near x: D
// lambda-convex on a ball of radius rho around x (from the bound M over the
// simplex with the ideal part's least curvature on the ball, or from the
// exact Hessian at x with the bound of its change), with the gradient g at
// x small enough that 2 |g| <= lambda (rho - reach). Then x_m lies within
// |g| / lambda of x, and along the steepest descent from any such z the
// distance to x_m does not grow (convexity: grad D(z).(z - x_m) >= D(z) -
// D(x_m) >= 0), so it stays in the ball and ends at x_m.
bool ball_in_basin(Workspace& ws, int ci, const double* x, double reach);

// A ball around x (the candidate's fractions; one group), a minimum a
// descent ended at with distance d, that holds only the basin of that
// minimum for every descent that enters it low enough. D lambda-convex on
// the ball of radius rho (from the exact Hessian at x with the bound of its
// change, or from the bound over the simplex), with gradient g at x, gives
//     D >= wall = d - |g| rho + lambda rho^2 / 2
// on its sphere within the simplex. A descent at a point y inside the ball
// with D(y) < wall then stays in the part of {D <= D(y)} that holds y, which
// cannot reach the sphere: it lies in the ball, where D is strictly convex
// and its only minimiser is within |g| / lambda of x, the minimum found.
// False where no such ball is proven (no bound of the curvature's change,
// or no positive curvature at x).
bool basin_ball(Workspace& ws, int ci, const double* x, double d, double& rho, double& wall);

// Whether the curvature can be proven positive at x (the candidate's
// fractions) at all (a cheap test before a descent whose proof would fail
// anyway): from the bound M over the simplex, or from the exact Hessian
// at x where the curvature's change is bounded, over a ball large enough
// for the distance to rise by `need` (a lower bound on what the proof asks).
bool own_basin_convex(Workspace& ws, int ci, double M, const double* x, double need);

// Whether the descent from x_k (the remembered minimum, the candidate's slot
// order) that ended at x_end with distance d proves D >= lower on a set
// that holds S, for the given delta (= -shift), rise and curvature bound M.
bool own_basin_proven(Workspace& ws, int ci, const double* x_k, const double* x_end, double d, double delta,
                      double rise, double M, double& lower);

}  // namespace eqcore::detail
