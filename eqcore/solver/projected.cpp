// A phase's block restricted to the directions its linear constraints leave
// free: with the constraint columns G (m x k, scaled like the block) and
// their QR, G = Q R, the free directions are Z = Q(:, k:m), and
// Z (Z' C Z)^-1 Z' takes the place of C^-1. Used for the site ratios of a
// phase with sublattices in Newton, and for the fixed sublattice amounts of
// its tangent-plane search.
#include <algorithm>
#include <cmath>

#include "solver/dense_lu.hpp"
#include "solver/shift_sequence.hpp"
#include "solver/workspace.hpp"

namespace eqcore::detail {
namespace {
std::size_t sz(int v) { return static_cast<std::size_t>(v); }
}  // namespace

namespace {

// The block's smallest pivot in the factorisation below (the shifts tried
// in turn: shift_sequence.hpp).
constexpr double kMinPivot = 1e-10;

// Two unknowns and one constraint column (a sublattice of two constituents
// in a tangent-plane search): the general path below written out for
// m = 2, k = 1, with the same operations in the same order (the same
// numbers to the last bit) but none of the loops. The reflector v (in
// ws.cons) and tau are the QR's; of Q'CQ only the free entry (1, 1) is
// formed: from column 0 its entry 1, from column 1 its entry 1, then row 1.
// ws.Cz holds the one-by-one Cholesky factor.
double factor_pair(Workspace& ws, std::span<const double> C, bool exact) {
    double* v = ws.cons.data();
    double norm2 = 0.0;
    norm2 += v[0] * v[0];
    norm2 += v[1] * v[1];
    const double x0 = v[0];
    const double norm = std::sqrt(norm2);
    double tau = 0.0;
    if (norm != 0.0) {
        const double alpha = x0 >= 0.0 ? -norm : norm;
        v[0] = x0 - alpha;
        tau = 2.0 / (norm2 - x0 * x0 + v[0] * v[0]);
    }
    ws.cons_tau[0] = tau;
    const auto reflected = [&](double a0, double a1) {  // entry 1 of (I - tau v v') a
        double t = 0.0;
        t += v[0] * a0;
        t += v[1] * a1;
        t *= tau;
        return a1 - t * v[1];
    };
    const double c10 = reflected(C[0], C[2]), c11 = reflected(C[1], C[3]);
    const double q = reflected(c10, c11);
    if (exact && q < -kMinPivot) {
        ws.Cz[0] = q;  // one by one: its own LU factor
        ws.projected_lu = true;
        return 0.0;
    }
    for (double shift = 0.0;; shift = next_shift(shift, kNoBound)) {
        const double d = q + shift;
        if (d > kMinPivot) {
            ws.Cz[0] = std::sqrt(d);
            return shift;
        }
        if (shift > 1e8) {
            ws.Cz[0] = d;  // as the general path leaves a failed factor
            return shift;
        }
    }
}

// solve_projected for factor_pair: t <- Q' t, its free entry through the
// factor twice, the other 0, then t <- Q t.
void solve_pair(const Workspace& ws, double* t) {
    const double* v = ws.cons.data();
    const double tau = ws.cons_tau[0];
    const auto reflect = [&](double* a) {
        double s = 0.0;
        s += v[0] * a[0];
        s += v[1] * a[1];
        s *= tau;
        a[0] -= s * v[0];
        a[1] -= s * v[1];
    };
    reflect(t);
    if (ws.projected_lu) {
        t[1] = t[1] / ws.Cz[0];
    } else {
        t[1] = t[1] / ws.Cz[0];
        t[1] = t[1] / ws.Cz[0];
    }
    t[0] = 0.0;
    reflect(t);
}

// x <- (I - tau v v') x for the single reflector v of one constraint
// column (one sublattice in a tangent-plane search), v read contiguously:
// the general path's operations in the same order.
void reflect_one(const double* v, double tau, int m, double* x, int stride) {
    double s = 0.0;
    for (int i = 0; i < m; ++i) s += v[i] * x[i * stride];
    s *= tau;
    for (int i = 0; i < m; ++i) x[i * stride] -= s * v[i];
}

// reflect_one on row i of a row-major m x m block (stride 1), writing only
// its entries 1 to i: those of the lower triangle of the free block that
// a single constraint column leaves (the same numbers there).
void reflect_lower(const double* v, double tau, int m, int i, double* row) {
    double s = 0.0;
    for (int j = 0; j < m; ++j) s += v[j] * row[j];
    s *= tau;
    for (int j = 1; j <= i; ++j) row[j] -= s * v[j];
}

// The free block (rows and columns k.. of C, its lower triangle as the
// transform above leaves it) in full, LU-factorised in ws.Cz; false where
// singular.
bool factor_free_block_lu(Workspace& ws, std::span<const double> C, int m, int k) {
    const int f = m - k;
    double* Z = ws.Cz.data();
    for (int i = 0; i < f; ++i)
        for (int j = 0; j <= i; ++j) Z[i * f + j] = Z[j * f + i] = C[sz((i + k) * m + k + j)] + 0.0;
    if (!lu_factor(std::span<double>(Z, sz(f * f)), sz(f), std::span<std::size_t>(ws.cpiv.data(), sz(f)), kMinPivot))
        return false;
    ws.projected_lu = true;
    return true;
}

}  // namespace

double factor_projected(Workspace& ws, int m, int k, std::span<double> C, bool exact) {
    ws.projected_lu = false;
    if (m == 2 && k == 1) return factor_pair(ws, C, exact);
    const std::span<double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    householder_qr(G, sz(m), sz(k), tau);
    // C <- Q' C Q: the free block is its last m - k rows and columns, so the
    // row transform skips the first k rows (never read after). Of the free
    // block only the lower triangle is read (by the factorisation below).
    if (k == 1) {
        for (int j = 0; j < m; ++j) reflect_one(G.data(), tau[0], m, C.data() + j, m);
        for (int i = 1; i < m; ++i) reflect_lower(G.data(), tau[0], m, i, C.data() + i * m);
    } else {
        for (int j = 0; j < m; ++j) apply_qt(G, sz(m), sz(k), tau, C.data() + j, sz(m));
        for (int i = k; i < m; ++i) apply_qt(G, sz(m), sz(k), tau, C.data() + i * m, 1);
    }
    // Inside a spinodal the block is not positive definite: shifted by a
    // multiple of I until it is (no shift at a stable state: exact Newton).
    const int f = m - k;
    const std::span<double> Cz(ws.Cz.data(), sz(f * f));
    double least = kNoBound;  // bound on the block's least eigenvalue from the failed attempts
    for (double shift = 0.0;; shift = next_shift(shift, least)) {
        for (int i = 0; i < f; ++i) {
            const double* Ci = C.data() + sz((i + k) * m + k);
            double* Zi = Cz.data() + sz(i * f);
            for (int j = 0; j < i; ++j) Zi[j] = Ci[j] + 0.0;
            Zi[i] = Ci[i] + shift;
        }
        const std::size_t failed = cholesky_failed_row(Cz, sz(f), kMinPivot);
        if (failed == sz(f) || shift > 1e8) return shift;
        // Near the solution the assemblage as a whole may be stable where
        // this block is not (a phase written once held inside its spinodal
        // by the balance): the block as it is gives Newton's own step,
        // which converges quadratically there (a shifted one only linearly).
        if (shift == 0.0 && exact && factor_free_block_lu(ws, C, m, k)) return 0.0;
        least = std::min(least, least_eigenvalue_bound(Cz, sz(f), failed, C.data() + sz(k * m + k), sz(m), 0.0, shift));
    }
}

void solve_projected(Workspace& ws, int m, int k, double* t) {
    if (m == 2 && k == 1) return solve_pair(ws, t);
    const int f = m - k;
    const std::span<const double> G(ws.cons.data(), sz(m * k)), tau(ws.cons_tau.data(), sz(k));
    if (k == 1) {
        reflect_one(G.data(), tau[0], m, t, 1);
    } else {
        apply_qt(G, sz(m), sz(k), tau, t);
    }
    if (ws.projected_lu) {
        lu_solve(std::span<const double>(ws.Cz.data(), sz(f * f)), sz(f),
                 std::span<const std::size_t>(ws.cpiv.data(), sz(f)), std::span<double>(t + k, sz(f)));
    } else {
        cholesky_solve(std::span<const double>(ws.Cz.data(), sz(f * f)), sz(f), std::span<double>(t + k, sz(f)));
    }
    std::fill(t, t + k, 0.0);
    if (k == 1) {
        reflect_one(G.data(), tau[0], m, t, 1);
    } else {
        apply_q(G, sz(m), sz(k), tau, t);
    }
}

}  // namespace eqcore::detail
