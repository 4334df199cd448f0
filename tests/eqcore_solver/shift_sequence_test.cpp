// The shifts a failed Cholesky factorisation passes over. Symmetric blocks
// with known eigenvalues (Q diag Q' for a random orthogonal Q): the bound a
// failed attempt yields must lie at or above the least eigenvalue (checked
// against the construction and against an eigen solver), and the loop that
// passes over proven shifts must take the shift of the plain sequence, and
// so the same factor, bit for bit. Hard cases put the least eigenvalue at a
// shift of the sequence to within 1e-12 relative, and give some rows a
// diagonal far above the others.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "solver/dense_lu.hpp"
#include "solver/shift_sequence.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// A random symmetric n x n block with eigenvalues `lambda`, row-major.
std::vector<double> with_eigenvalues(const std::vector<double>& lambda, std::mt19937& rng) {
    const int n = static_cast<int>(lambda.size());
    std::normal_distribution<double> g(0.0, 1.0);
    Eigen::MatrixXd M(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) M(i, j) = g(rng);
    const Eigen::MatrixXd Q = Eigen::HouseholderQR<Eigen::MatrixXd>(M).householderQ();
    Eigen::VectorXd l(n);
    for (int i = 0; i < n; ++i) l(i) = lambda[sz(i)];
    const Eigen::MatrixXd A = Q * l.asDiagonal() * Q.transpose();
    std::vector<double> a(sz(n * n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a[sz(i * n + j)] = 0.5 * (A(i, j) + A(j, i));
    return a;
}

struct Taken {
    double shift = 0.0;
    int attempts = 0;
    std::vector<double> factor;
};

// The first shift of the sequence at which the block (lower triangle of a,
// stride n, plus diag on its diagonal) factorises; with `skip`, passing over
// the shifts the failed attempts prove too small, as the solver does.
Taken first_shift(const std::vector<double>& a, int n, double diag, bool skip, double* least_seen) {
    Taken t;
    std::vector<double> C(sz(n * n));
    double least = detail::kNoBound;
    for (double shift = 0.0;; shift = detail::next_shift(shift, skip ? least : detail::kNoBound)) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) C[sz(i * n + j)] = a[sz(i * n + j)] + (i == j ? diag + shift : 0.0);
        ++t.attempts;
        const std::size_t failed = detail::cholesky_failed_row(C, sz(n), 1e-10);
        if (failed == sz(n) || shift > 1e8) {
            t.shift = shift;
            t.factor = C;
            break;
        }
        const double b = detail::least_eigenvalue_bound(C, sz(n), failed, a.data(), sz(n), diag, shift);
        least = std::min(least, b);
        if (least_seen) *least_seen = std::min(*least_seen, b);
    }
    return t;
}

// Least eigenvalue of the block (lower triangle of a plus diag), by an
// eigen solver.
double least_eigenvalue(const std::vector<double>& a, int n, double diag) {
    Eigen::MatrixXd A(n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) A(i, j) = A(j, i) = a[sz(i * n + j)] + (i == j ? diag : 0.0);
    return Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(A, Eigen::EigenvaluesOnly).eigenvalues()(0);
}

TEST(ShiftSequence, PassesOnlyOverShiftsThatFailAndTakesThePlainSequencesFactor) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double at[] = {0.1, 0.4, 1.6, 6.4, 25.6, 102.4};
    int plain_attempts = 0, skip_attempts = 0, bounds = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = 2 + trial % 13;
        std::vector<double> lambda(sz(n));
        for (double& l : lambda) l = std::exp(std::log(1e-3) + u(rng) * std::log(1e6));  // 1e-3 to 1e3
        // The least eigenvalue: at a shift of the sequence to 1e-12 relative
        // (either side), or anywhere from -50 to -1e-3; a few more negative.
        const double s = at[trial % 6];
        switch (trial % 3) {
            case 0: lambda[0] = -s * (1.0 + (u(rng) < 0.5 ? 1e-12 : -1e-12)); break;
            case 1: lambda[0] = -std::exp(std::log(1e-3) + u(rng) * std::log(5e4)); break;
            default:
                for (int i = 0; i < n / 2; ++i) lambda[sz(i)] = -50.0 * u(rng);
        }
        std::vector<double> a = with_eigenvalues(lambda, rng);
        if (trial % 5 == 4) {  // some rows scaled far up (the eigenvalues move: the solver is the reference)
            for (int i = 0; i < n; i += 3)
                for (int j = 0; j < n; ++j) {
                    a[sz(i * n + j)] *= 1e3;
                    a[sz(j * n + i)] *= 1e3;
                }
        }
        const double diag = trial % 2 == 0 ? 0.0 : 1.0;  // the solver's blocks come as I + T
        if (diag != 0.0)
            for (int i = 0; i < n; ++i) a[sz(i * n + i)] -= diag;
        const double least = least_eigenvalue(a, n, diag);
        double seen = detail::kNoBound;
        const Taken plain = first_shift(a, n, diag, false, nullptr);
        const Taken skip = first_shift(a, n, diag, true, &seen);
        ASSERT_EQ(plain.shift, skip.shift) << "trial " << trial;
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(0, std::memcmp(&plain.factor[sz(i * n)], &skip.factor[sz(i * n)], sizeof(double) * sz(i + 1)))
                << "trial " << trial << " row " << i;
        ASSERT_LE(skip.attempts, plain.attempts) << "trial " << trial;
        // A bound below the least eigenvalue could pass over a shift that works.
        ASSERT_GE(seen, least) << "trial " << trial;
        // The plain sequence's shift is the first above -least (the hard
        // cases sit within rounding of a shift and may go either way).
        if (trial % 3 != 0 && trial % 5 != 4) {
            double first = 0.0;
            while (first + least <= 1e-9 * (1.0 + first)) first = first == 0.0 ? 0.1 : 4.0 * first;
            ASSERT_EQ(first, plain.shift) << "trial " << trial;
        }
        plain_attempts += plain.attempts;
        skip_attempts += skip.attempts;
        bounds += std::isfinite(seen) ? 1 : 0;
    }
    // The bound is not idle: it leaves out a good share of the attempts.
    EXPECT_LT(skip_attempts, plain_attempts * 3 / 4) << skip_attempts << " of " << plain_attempts;
    EXPECT_GT(bounds, 1000);
}

TEST(ShiftSequence, WithoutABoundTheSequenceIsThePlainOne) {
    double s = 0.0;
    const double want[] = {0.1, 0.4, 1.6, 6.4, 25.6};
    for (const double w : want) {
        s = detail::next_shift(s, detail::kNoBound);
        EXPECT_DOUBLE_EQ(w, s);
    }
    // A bound of -1 passes over 0.1 and 0.4 (1.6 - 1 > 0) but not 1.6.
    EXPECT_DOUBLE_EQ(1.6, detail::next_shift(0.0, -1.0));
    // Never past the first shift above 1e8, where the plain sequence stops.
    double last = 0.0;
    while (last <= 1e8) last = detail::next_shift(last, detail::kNoBound);
    EXPECT_EQ(last, detail::next_shift(0.0, -1e300));
}

}  // namespace
}  // namespace eqcore
