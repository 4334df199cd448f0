#include "solver/free_basis.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace eqcore::detail {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Material the major rows cannot hold, relative to the largest element
// amount, above which the held directions carry it (the element balances'
// tolerance).
constexpr double kCarriedMaterial = 1e-12;
// Weight (square root of the amount, relative to the material) from which a
// mixture's row is a major one: the weighted rows' measure of a trace.
constexpr double kMajorWeight = 1e-3;
// Material along a direction, relative to the amounts of the elements it
// combines, below which it is a small excess of major elements.
constexpr double kSmallExcess = 1e-3;
// The same weight of a row taken from the constituent's share of its phase
// alone (the square root of its fraction): from it on the phase's own
// composition depends on a direction, whatever the phase's amount.
constexpr double kOwnShare = 1e-3;

// sqrt(a^2 + b^2) without overflow or underflow of the squares.
double norm2(double a, double b) {
    const double m = std::max(std::abs(a), std::abs(b));
    if (m > 1e-150 && m < 1e150) return std::sqrt(a * a + b * b);
    return std::hypot(a, b);
}

// Folds the row x (size E, destroyed) into the upper triangle R (E x E,
// row-major) with Givens rotations: afterwards R'R has grown by x x'.
// Zeros of x (most of a stoichiometry row) cost nothing.
void fold(double* R, double* x, int E) {
    for (int i = 0; i < E; ++i) {
        if (x[i] == 0.0) continue;
        double* ri = R + sz(i) * sz(E);
        const double r = norm2(ri[i], x[i]);
        const double c = ri[i] / r, s = x[i] / r;
        ri[i] = r;
        x[i] = 0.0;
        for (int j = i + 1; j < E; ++j) {
            const double u = ri[j], v = x[j];
            ri[j] = c * u + s * v;
            x[j] = c * v - s * u;
        }
    }
}

// True when the triangle R (E x E, row-major) has every singular value
// above twice rel times the largest, by bounds alone: the smallest is at
// least 1 / |R^-1|_F, the largest at most |R|_F. The factor 2 keeps the
// verdict clear of the rounding of an SVD, so it is the SVD's own.
bool full_rank(const double* R, int E, double rel) {
    double big = 0.0;
    for (int i = 0; i < E * E; ++i) big += R[i] * R[i];
    // The columns of R^-1 by back substitution, their squares summed.
    double inv = 0.0;
    double col[kFreeBasisCap];
    for (int k = 0; k < E; ++k) {
        for (int i = k; i >= 0; --i) {
            double v = i == k ? 1.0 : 0.0;
            for (int j = i + 1; j <= k; ++j) v -= R[i * E + j] * col[j];
            if (R[i * E + i] == 0.0) return false;
            col[i] = v / R[i * E + i];
            inv += col[i] * col[i];
        }
    }
    if (!std::isfinite(big) || !std::isfinite(inv)) return false;
    return 1.0 > 2.0 * rel * std::sqrt(big * inv);
}

// Right singular vectors of the triangle R beyond its rank (singular values
// at or below rel times the largest): the null space of the rows folded in.
template <class Mat>
Mat null_of(const Mat& R, double rel, int& dim) {
    Eigen::JacobiSVD<Mat> svd(R, Eigen::ComputeFullV);
    const auto& sv = svd.singularValues();
    const double top = sv.size() > 0 ? sv(0) : 0.0;
    int rank = 0;
    for (Eigen::Index i = 0; i < sv.size(); ++i) rank += sv(i) > rel * top ? 1 : 0;
    dim = static_cast<int>(R.cols()) - rank;
    return svd.matrixV().rightCols(dim);
}

// Of the h trace-held directions (rows exact .. exact + h of N, orthonormal),
// those along which the feed carries no material that the major rows (the
// triangle rm: stoichiometric phases and constituents at amounts of their
// own) cannot hold; the rest (at most one direction: that material's
// projection onto them) is left out where a phase present at a trace amount
// holds it with its main constituents (the triangle rs: the mixtures' rows
// weighted by their shares of their phases). Such material is no rounding
// of the majors that traces may settle at fixed phase amounts: the present
// phases must hold it (a compound fed exactly with a small excess of other
// elements, held by a mixture present at the excess's small amount, whose
// amount moves with that balance; the per-element measure of the weighted
// rows takes that excess for the majors' rounding). Newton then keeps the
// direction, resolving the phase at its own scale. Where only constituents
// at traces within their phases depend on it (an oxide melt's ratio of
// metal to oxygen, fixed by its vacancies, with the trace elements of a
// compound beside it), it stays with the traces. The kept directions,
// orthonormal, become rows exact .. exact + h' of N; returns h'.
template <class Mat>
int keep_uncarried(Mat& N, int exact, int h, const std::vector<double>& rm,
                   const std::vector<double>& rs, const std::vector<double>& b) {
    using RowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
    const int E = static_cast<int>(N.cols());
    double bmax = 0.0;
    for (double v : b) bmax = std::max(bmax, std::abs(v));
    // The feed less its projection onto the major rows' span.
    Mat left(E, 1);
    for (int j = 0; j < E; ++j) left(j, 0) = b[sz(j)];
    Eigen::JacobiSVD<Mat> svd(Mat(Eigen::Map<const RowMajor>(rm.data(), E, E)),
                              Eigen::ComputeFullV);
    const auto& sv = svd.singularValues();
    const double top = sv.size() > 0 ? sv(0) : 0.0;
    for (Eigen::Index k = 0; k < sv.size(); ++k)
        if (sv(k) > 1e-10 * top)
            left -= svd.matrixV().col(k) * (svd.matrixV().col(k).transpose() * left);
    const Mat c = N.middleRows(exact, h) * left;
    const double carried = c.norm();
    if (!(carried > kCarriedMaterial * bmax)) return h;
    // The direction u along which it is carried (unit length).
    const Mat u = N.middleRows(exact, h).transpose() * (c / carried);
    // Only a small excess beside the amounts of the elements the direction
    // u combines, as the weighted rows measure them (u' diag(b) u): an
    // element fed as a trace of its own, whose direction carries all of its
    // amount, is measured at its own scale already and stays with the
    // traces that balance it.
    double along = 0.0;
    for (int j = 0; j < E; ++j) along += u(j, 0) * u(j, 0) * std::abs(b[sz(j)]);
    if (!(carried < kSmallExcess * along)) return h;
    // How far the phases' main constituents depend on u: |Rs u|, Rs' Rs
    // being the sum of the share-weighted rows' squares.
    const Mat own = Mat(Eigen::Map<const RowMajor>(rs.data(), E, E)) * u;
    if (!(own.norm() >= kOwnShare)) return h;
    // A Householder reflection takes the carried direction to the first
    // row; the other h - 1 rows span its orthogonal complement.
    Mat v = c / carried;
    v(0, 0) -= 1.0;
    const double vv = v.squaredNorm();
    Mat rows = N.middleRows(exact, h);
    if (vv > 0.0) rows -= (2.0 / vv) * v * (v.transpose() * rows);
    N.middleRows(exact, h - 1) = rows.bottomRows(h - 1);
    return h - 1;
}

template <class Mat>
int finish_with(int E, const std::vector<double>& ra, const std::vector<double>& rw,
                const std::vector<double>& rm, const std::vector<double>& rs,
                const std::vector<double>& scale_in, const std::vector<double>& b, double* null,
                int& exact) {
    using RowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
    // Rows of full rank have no exact directions, and weighted no held
    // ones either (the common cases, settled without an SVD).
    const bool spans = E <= kFreeBasisCap && full_rank(ra.data(), E, 1e-10);
    if (spans && full_rank(rw.data(), E, 1e-3)) {
        exact = 0;
        return 0;
    }
    const Mat Aw = Eigen::Map<const RowMajor>(rw.data(), E, E);
    const auto scale = Eigen::Map<const Eigen::VectorXd>(scale_in.data(), E);
    int held = 0;
    exact = 0;
    const Mat N0 = spans ? Mat(E, 0) : null_of(Mat(Eigen::Map<const RowMajor>(ra.data(), E, E)), 1e-10, exact);
    const Mat Nw = scale.asDiagonal() * null_of(Aw, 1e-3, held);
    held = std::max(held, exact);
    // The trace-held part: the weighted null space less its exact part.
    const Mat T = Nw - N0 * (N0.transpose() * Nw);
    Mat N(held, E);
    if (exact > 0) N.topRows(exact) = N0.transpose();
    if (held > exact) {
        Eigen::JacobiSVD<Mat> svd(T, Eigen::ComputeThinU);
        N.bottomRows(held - exact) = svd.matrixU().leftCols(held - exact).transpose();
        held = exact + keep_uncarried(N, exact, held - exact, rm, rs, b);
        N.conservativeResize(held, E);
    }

    // The basis of the trace-held directions in echelon form, pivots on the
    // scarcest elements first: an element carried by traces alone gets a
    // direction of its own (not mixed with the majors' elements), so that
    // its balance is settled at the scale of its own amount.
    int order[kFreeBasisCap];
    std::vector<int> wide;
    int* ord = order;
    if (E > kFreeBasisCap) {
        wide.resize(sz(E));
        ord = wide.data();
    }
    std::iota(ord, ord + E, 0);
    std::stable_sort(ord, ord + E, [&](int x, int y) { return b[sz(x)] < b[sz(y)]; });
    int q = exact;
    for (int k = 0; k < E && q < held; ++k) {
        const int j = ord[k];
        Eigen::Index best = 0;
        N.col(j).tail(held - q).cwiseAbs().maxCoeff(&best);
        best += q;
        if (std::abs(N(best, j)) < 1e-8) continue;
        N.row(q).swap(N.row(best));
        N.row(q) /= N(q, j);
        for (int o = exact; o < held; ++o)
            if (o != q) N.row(o) -= N(o, j) * N.row(q);
        ++q;
    }
    for (int d = 0; d < held; ++d) {
        N.row(d).normalize();
        for (int j = 0; j < E; ++j) null[sz(d) * sz(E) + sz(j)] = N(d, j);
    }
    return held;
}

}  // namespace

void FreeBasis::start(int E, const double* b) {
    E_ = E;
    broken_ = false;
    b_.assign(b, b + E);
    scale_.resize(sz(E));
    // Each element's column is measured against its own amount: the Newton
    // matrix resolves what the traces of an element at a trace carry (its
    // row is all of their order), not a direction of the majors' elements
    // that only traces constrain (there its pivot sits at their rounding).
    for (int j = 0; j < E; ++j) scale_[sz(j)] = 1.0 / std::sqrt(b[j]);
    ra_.assign(sz(E) * sz(E), 0.0);
    rw_.assign(sz(E) * sz(E), 0.0);
    rm_.assign(sz(E) * sz(E), 0.0);
    rs_.assign(sz(E) * sz(E), 0.0);
    rx_.resize(sz(E));
}

void FreeBasis::add(const double* a, double weight, bool unit, double share) {
    if (broken_) return;
    const int E = E_;
    bool finite = std::isfinite(weight) && std::isfinite(share);
    for (int j = 0; j < E; ++j) finite = finite && std::isfinite(a[j]);
    // Amounts thrown out of range by a diverging step: no directions (and
    // no SVD, which does not end on such input).
    if (!finite) {
        broken_ = true;
        return;
    }
    std::copy(a, a + E, rx_.begin());
    fold(ra_.data(), rx_.data(), E);
    if (unit || weight >= kMajorWeight) {
        std::copy(a, a + E, rx_.begin());
        fold(rm_.data(), rx_.data(), E);
    }
    if (!unit && share > 0.0) {
        for (int j = 0; j < E; ++j) rx_[sz(j)] = share * a[j];
        fold(rs_.data(), rx_.data(), E);
    }
    double len = 0.0;
    for (int j = 0; j < E; ++j) {
        rx_[sz(j)] = weight * a[j] * scale_[sz(j)];
        len = norm2(len, rx_[sz(j)]);
    }
    if (!std::isfinite(len)) {
        broken_ = true;
        return;
    }
    if (unit && len > 0.0)
        for (double& v : rx_) v /= len;
    fold(rw_.data(), rx_.data(), E);
}

int FreeBasis::finish(double* null, int& exact) {
    exact = 0;
    if (broken_) return 0;
    using Capped = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, kFreeBasisCap, kFreeBasisCap>;
    if (E_ <= kFreeBasisCap)
        return finish_with<Capped>(E_, ra_, rw_, rm_, rs_, scale_, b_, null, exact);
    return finish_with<Eigen::MatrixXd>(E_, ra_, rw_, rm_, rs_, scale_, b_, null, exact);
}

}  // namespace eqcore::detail
