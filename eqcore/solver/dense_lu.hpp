// Dense LU factorisation with partial pivoting on caller-owned storage.
//
// The solver's linear systems are small (elements + present phases, or the
// constituents of one mixture phase) and solved many times per equilibrium,
// so they work in place on preallocated buffers: nothing here allocates.
#pragma once

#include <cstddef>
#include <span>

namespace eqcore::detail {

// Factorises the n x n row-major matrix `a` in place (L unit lower, U upper,
// U's diagonal stored as its reciprocals so that solving multiplies) with
// row interchanges recorded in `piv` (size n). Returns false when a
// pivot is smaller than `rel_tol` times the largest entry of its column
// before elimination: the matrix is singular to working precision.
bool lu_factor(std::span<double> a, std::size_t n, std::span<std::size_t> piv, double rel_tol = 1e-13);

// Solves A x = rhs in place with a factorisation from lu_factor.
void lu_solve(std::span<const double> lu, std::size_t n, std::span<const std::size_t> piv,
              std::span<double> rhs);

// Symmetric equilibration of the symmetric n x n row-major matrix `a` (a
// positive semidefinite block bordered by rows with a zero diagonal), in
// place: a <- S a S with S = diag(s) so that every diagonal entry of the
// block and the largest entry of every border row become 1. A system
// a x = r is then solved as (S a S) y = S r, x = S y. Rows that are all
// zero keep 1.
void equilibrate(std::span<double> a, std::size_t n, std::span<double> s);

// Cholesky factorisation A = L L' of a symmetric n x n row-major matrix, in
// place (L in the lower triangle). Only the lower triangle is read or
// written: callers may leave anything above the diagonal. False when A is
// not positive definite (a pivot below `min_pivot`).
// cholesky_failed_row gives the row whose pivot fell below `min_pivot` (n
// when A is positive definite); the rows above it then hold their factor,
// and that row its entries left of the diagonal.
std::size_t cholesky_failed_row(std::span<double> a, std::size_t n, double min_pivot);
inline bool cholesky_factor(std::span<double> a, std::size_t n, double min_pivot = 1e-12) {
    return cholesky_failed_row(a, n, min_pivot) == n;
}

// Solves A x = rhs in place with a factorisation from cholesky_factor
// (reads its lower triangle only).
void cholesky_solve(std::span<const double> l, std::size_t n, std::span<double> rhs);
// The same for `cols` right-hand sides one after another in b (column j at
// b + j n), each solved exactly as cholesky_solve would solve it alone.
void cholesky_solve_columns(std::span<const double> l, std::size_t n, std::span<double> b, std::size_t cols);

// Householder QR of the m x k row-major matrix `g` (k <= m), in place: the
// reflection vectors go to the columns of g (from the diagonal down), their
// factors to `tau` (size k); R is not kept. Q = H_0 ... H_(k-1); its last
// m - k columns span the vectors orthogonal to g's columns.
void householder_qr(std::span<double> g, std::size_t m, std::size_t k, std::span<double> tau);

// x <- Q' x and x <- Q x (x of size m) with a factorisation from
// householder_qr.
void apply_qt(std::span<const double> g, std::size_t m, std::size_t k, std::span<const double> tau, double* x,
              std::size_t stride = 1);
void apply_q(std::span<const double> g, std::size_t m, std::size_t k, std::span<const double> tau, double* x,
             std::size_t stride = 1);

}  // namespace eqcore::detail
