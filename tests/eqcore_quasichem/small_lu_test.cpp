// The small in-place LU: solutions against the residual of the original
// system on matrices that need row exchanges (zero and tiny leading
// pivots, a KKT layout with a zero block, rows of very different scales),
// refactoring at another size, and a singular matrix giving a non-finite
// solution rather than a finite wrong one.
#include <random>

#include <gtest/gtest.h>

#include "thermo/small_lu.hpp"

namespace eqcore {
namespace {

// max |A x - b| / (|A| |x| + |b|), entry by entry.
double relative_residual(const Eigen::MatrixXd& A, const Eigen::VectorXd& x, const Eigen::VectorXd& b) {
    double worst = 0.0;
    for (Eigen::Index i = 0; i < A.rows(); ++i) {
        const double r = A.row(i).dot(x) - b(i);
        const double scale = A.row(i).cwiseAbs().dot(x.cwiseAbs()) + std::abs(b(i));
        worst = std::max(worst, std::abs(r) / scale);
    }
    return worst;
}

TEST(SmallLU, SolvesSystemsThatNeedPivotingAtAnySize) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> U(-1.0, 1.0);
    SmallLU lu;
    for (int n : {1, 3, 14, 20, 7}) {
        for (int trial = 0; trial < 4; ++trial) {
            Eigen::MatrixXd A(n, n);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) A(i, j) = U(rng);
            if (n > 1) {
                A(0, 0) = trial == 0 ? 0.0 : 1e-14 * A(0, 0);  // no usable leading pivot
                if (trial == 2) A.row(n - 1) *= 1e9;           // rows of very different scales
            }
            if (trial == 3 && n > 4) {  // KKT layout: a zero block in the corner
                A.bottomRightCorner(2, 2).setZero();
            }
            Eigen::VectorXd b(n), x;
            for (int i = 0; i < n; ++i) b(i) = U(rng);
            lu.compute(A);
            lu.solve(b, x);
            EXPECT_LT(relative_residual(A, x, b), 1e-13) << "n=" << n << " trial " << trial;
            const Eigen::VectorXd y = A.partialPivLu().solve(b);
            EXPECT_LT((x - y).cwiseAbs().maxCoeff(), 1e-9 * (1.0 + y.cwiseAbs().maxCoeff())) << n;
        }
    }
}

TEST(SmallLU, SingularMatrixGivesNoFiniteSolution) {
    Eigen::MatrixXd A(3, 3);
    A << 1, 2, 3, 2, 4, 6, 0, 1, 1;
    Eigen::VectorXd b(3), x;
    b << 1, 1, 1;
    SmallLU lu;
    lu.compute(A);
    lu.solve(b, x);
    EXPECT_FALSE(x.allFinite());
}

}  // namespace
}  // namespace eqcore
