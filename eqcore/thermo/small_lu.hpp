// LU factorisation with partial (row) pivoting of a small dense square
// matrix, kept in place and reused between calls, so that refactoring a
// system of the same size allocates nothing. Meant for systems of a dozen
// or two unknowns (the quasichemical distribution's KKT systems), where a
// general blocked factorisation costs more than the arithmetic itself. A
// singular matrix is not detected here: its solutions come out non-finite,
// which callers test.
#pragma once

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include <Eigen/Dense>

namespace eqcore {

class SmallLU {
public:
    void compute(const Eigen::MatrixXd& a) {
        double* m = matrix(static_cast<std::size_t>(a.rows()));
        for (std::size_t i = 0; i < n_; ++i)
            for (std::size_t j = 0; j < n_; ++j) m[i * n_ + j] = a(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j));
        factor();
    }

    // The n x n matrix to factor, row-major, to be filled by the caller
    // (every entry) before factor(): no copy of a matrix built elsewhere.
    double* matrix(std::size_t n) {
        n_ = n;
        lu_.resize(n_ * n_);
        piv_.resize(n_);
        inv_diag_.resize(n_);
        return lu_.data();
    }

    // Factors the matrix filled in through matrix().
    void factor() {
        for (std::size_t k = 0; k < n_; ++k) {
            std::size_t p = k;
            double largest = std::abs(lu_[k * n_ + k]);
            for (std::size_t i = k + 1; i < n_; ++i) {
                const double a = std::abs(lu_[i * n_ + k]);
                if (a > largest) {
                    largest = a;
                    p = i;
                }
            }
            piv_[k] = p;
            if (p != k)
                for (std::size_t j = 0; j < n_; ++j) std::swap(lu_[k * n_ + j], lu_[p * n_ + j]);
            const double inv_pivot = 1.0 / lu_[k * n_ + k];
            inv_diag_[k] = inv_pivot;
            const double* rk = lu_.data() + k * n_;
            for (std::size_t i = k + 1; i < n_; ++i) {
                double* ri = lu_.data() + i * n_;
                const double l = ri[k] * inv_pivot;
                ri[k] = l;
                if (l == 0.0) continue;
                for (std::size_t j = k + 1; j < n_; ++j) ri[j] -= l * rk[j];
            }
        }
    }

    // x = A^-1 b (x may not alias b).
    void solve(const Eigen::VectorXd& b, Eigen::VectorXd& x) const {
        x = b;
        for (std::size_t k = 0; k < n_; ++k)
            if (piv_[k] != k) std::swap(x(idx(k)), x(idx(piv_[k])));
        for (std::size_t i = 1; i < n_; ++i) {
            double s = x(idx(i));
            for (std::size_t j = 0; j < i; ++j) s -= lu_[i * n_ + j] * x(idx(j));
            x(idx(i)) = s;
        }
        for (std::size_t i = n_; i-- > 0;) {
            double s = x(idx(i));
            for (std::size_t j = i + 1; j < n_; ++j) s -= lu_[i * n_ + j] * x(idx(j));
            x(idx(i)) = s * inv_diag_[i];
        }
    }

private:
    static Eigen::Index idx(std::size_t i) { return static_cast<Eigen::Index>(i); }
    std::size_t n_ = 0;
    std::vector<double> lu_;  // row-major: L below the diagonal (unit), U on and above
    std::vector<std::size_t> piv_;
    std::vector<double> inv_diag_;  // 1 / U's diagonal, for the back substitution
};

}  // namespace eqcore
