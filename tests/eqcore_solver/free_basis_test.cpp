// The free directions of the element potentials found from the folded
// triangles against a second method: the SVD of the full (tall) row
// matrices. Ranks and spanned subspaces must agree on random rows, on rows
// that are exact combinations of others, and on rows weighted as traces;
// a held direction along which the feed carries material that a phase at a
// trace amount holds with its main constituents is not free.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "solver/free_basis.hpp"

namespace eqcore {
namespace {

using detail::FreeBasis;

struct Rows {
    int E = 0;
    std::vector<std::vector<double>> a;
    std::vector<double> weight;
    std::vector<char> unit;
    std::vector<double> share;  // square root of the constituent's fraction of its phase
    std::vector<double> b;
};

struct Basis {
    int exact = 0, held = 0;
    Eigen::MatrixXd N;  // held x E
    double amplify = 1.0;  // how far taking a direction out turns the others with their rounding
    bool borderline = false;  // the feed's material within a factor 10 of a threshold: either verdict stands
};

template <class Mat>
Mat null_by_svd(const Mat& M, double rel, int& dim) {
    Eigen::JacobiSVD<Mat> svd(M, Eigen::ComputeFullV);
    const auto& sv = svd.singularValues();
    const auto top = sv.size() > 0 ? sv(0) : 0.0;
    int rank = 0;
    for (Eigen::Index i = 0; i < sv.size(); ++i) rank += sv(i) > rel * top ? 1 : 0;
    dim = static_cast<int>(M.cols()) - rank;
    return svd.matrixV().rightCols(dim);
}

// The reference: all rows in one matrix, unweighted and weighted, each
// decomposed as it is, in double (as the solver did before the rows were
// folded) or in long double (the subspaces to 1e-19, against which both are
// measured).
template <class T>
Basis reference(const Rows& r) {
    using Mat = Eigen::Matrix<T, Eigen::Dynamic, Eigen::Dynamic>;
    const int E = r.E, m = std::max<int>(static_cast<int>(r.a.size()), 1);
    Mat A = Mat::Zero(m, E), Aw = Mat::Zero(m, E);
    Eigen::Matrix<T, Eigen::Dynamic, 1> scale(E);
    for (int j = 0; j < E; ++j) scale(j) = T(1) / std::sqrt(T(r.b[static_cast<std::size_t>(j)]));
    for (std::size_t i = 0; i < r.a.size(); ++i) {
        for (int j = 0; j < E; ++j) {
            A(static_cast<Eigen::Index>(i), j) = r.a[i][static_cast<std::size_t>(j)];
            Aw(static_cast<Eigen::Index>(i), j) = T(r.weight[i]) * T(r.a[i][static_cast<std::size_t>(j)]) * scale(j);
        }
        if (r.unit[i] && Aw.row(static_cast<Eigen::Index>(i)).norm() > 0.0) Aw.row(static_cast<Eigen::Index>(i)).normalize();
    }
    Basis out;
    const Mat N0 = null_by_svd(A, 1e-10, out.exact);
    const Mat Nw = scale.asDiagonal() * null_by_svd(Aw, 1e-3, out.held);
    out.held = std::max(out.held, out.exact);
    const Mat Tr = Nw - N0 * (N0.transpose() * Nw);
    Mat N(out.held, E);
    if (out.exact > 0) N.topRows(out.exact) = N0.transpose();
    if (out.held > out.exact) {
        Eigen::JacobiSVD<Mat> svd(Tr, Eigen::ComputeThinU);
        N.bottomRows(out.held - out.exact) = svd.matrixU().leftCols(out.held - out.exact).transpose();
        // The feed's material that the major rows (unit ones, weight 1e-3
        // or more) cannot hold, where the held directions carry more than
        // 1e-12 of its largest element amount of it, that is a small
        // excess (below 1e-3) beside the amounts of the elements its
        // direction u combines (u' diag(b) u), and where the rows weighted
        // by their shares reach 1e-3 along u (|S u|), leaves them: the rows
        // with that projection taken out, their row space by an SVD.
        const int h = out.held - out.exact;
        const Mat H = N.bottomRows(h);
        Mat M = Mat::Zero(m, E);
        for (std::size_t i = 0; i < r.a.size(); ++i)
            if (r.unit[i] || r.weight[i] >= 1e-3)
                for (int j = 0; j < E; ++j) M(static_cast<Eigen::Index>(i), j) = r.a[i][static_cast<std::size_t>(j)];
        Eigen::Matrix<T, Eigen::Dynamic, 1> bv(E);
        for (int j = 0; j < E; ++j) bv(j) = T(r.b[static_cast<std::size_t>(j)]);
        int free_of_majors = 0;
        const Mat F = null_by_svd(M, 1e-10, free_of_majors);  // the complement of their span
        const Eigen::Matrix<T, Eigen::Dynamic, 1> left = F * (F.transpose() * bv);
        const Eigen::Matrix<T, Eigen::Dynamic, 1> c = H * left;
        const T low = T(1e-12) * bv.cwiseAbs().maxCoeff();
        const bool carried = c.norm() > low;
        const Eigen::Matrix<T, Eigen::Dynamic, 1> u = H.transpose() * (c / (carried ? c.norm() : T(1)));
        const T high = carried ? T(1e-3) * u.cwiseAbs2().dot(bv.cwiseAbs()) : T(0);
        T own = 0;
        for (std::size_t i = 0; i < r.a.size(); ++i) {
            if (r.unit[i]) continue;
            T along_u = 0;
            for (int j = 0; j < E; ++j) along_u += T(r.a[i][static_cast<std::size_t>(j)]) * u(j);
            own += T(r.share[i]) * T(r.share[i]) * along_u * along_u;
        }
        own = std::sqrt(own);
        const bool small = carried && c.norm() < high;
        out.borderline = (c.norm() > low / 10 && c.norm() < low * 10) ||
                         (carried && c.norm() > high / 10 && c.norm() < high * 10) ||
                         (small && own > T(1e-4) && own < T(1e-2));
        if (small && own >= T(1e-3)) {
            out.amplify = static_cast<double>(std::sqrt(bv.maxCoeff() / bv.minCoeff()));
            const Mat rest = H - (c / c.squaredNorm()) * (c.transpose() * H);
            Eigen::JacobiSVD<Mat> rs(rest, Eigen::ComputeThinV);
            const Mat kept = rs.matrixV().leftCols(h - 1).transpose();
            N.conservativeResize(out.held - 1, E);
            N.bottomRows(h - 1) = kept;
            --out.held;
        }
    }
    // The echelon form the solver gives the trace-held directions.
    std::vector<int> order(static_cast<std::size_t>(E));
    for (int j = 0; j < E; ++j) order[static_cast<std::size_t>(j)] = j;
    std::stable_sort(order.begin(), order.end(),
                     [&](int x, int y) { return r.b[static_cast<std::size_t>(x)] < r.b[static_cast<std::size_t>(y)]; });
    int q = out.exact;
    for (int j : order) {
        if (q == out.held) break;
        Eigen::Index best = 0;
        N.col(j).tail(out.held - q).cwiseAbs().maxCoeff(&best);
        best += q;
        if (std::abs(N(best, j)) < T(1e-8)) continue;
        N.row(q).swap(N.row(best));
        N.row(q) /= N(q, j);
        for (int o = out.exact; o < out.held; ++o)
            if (o != q) N.row(o) -= N(o, j) * N.row(q);
        ++q;
    }
    for (int d = 0; d < out.held; ++d) N.row(d).normalize();
    out.N = N.template cast<double>();
    return out;
}

Basis folded(const Rows& r) {
    FreeBasis fb;
    fb.start(r.E, r.b.data());
    for (std::size_t i = 0; i < r.a.size(); ++i) fb.add(r.a[i].data(), r.weight[i], r.unit[i] != 0, r.share[i]);
    std::vector<double> null(static_cast<std::size_t>(r.E * r.E), 0.0);
    Basis out;
    out.held = fb.finish(null.data(), out.exact);
    out.N.resize(out.held, r.E);
    for (int d = 0; d < out.held; ++d)
        for (int j = 0; j < r.E; ++j) out.N(d, j) = null[static_cast<std::size_t>(d * r.E + j)];
    return out;
}

// Orthogonal projector onto the span of the rows of B.
Eigen::MatrixXd projector(const Eigen::MatrixXd& B, int E) {
    if (B.rows() == 0) return Eigen::MatrixXd::Zero(E, E);
    const Eigen::MatrixXd Q = Eigen::HouseholderQR<Eigen::MatrixXd>(B.transpose()).householderQ() *
                              Eigen::MatrixXd::Identity(E, B.rows());
    return Q * Q.transpose();
}

void expect_same(const Rows& r, const char* what, int k) {
    SCOPED_TRACE(testing::Message() << what << " case " << k << " E=" << r.E << " rows=" << r.a.size());
    const Basis ref = reference<long double>(r), old = reference<double>(r), got = folded(r);
    SCOPED_TRACE(testing::Message() << "amplify " << ref.amplify << " held " << ref.held << " exact " << ref.exact);
    if (ref.borderline) return;
    ASSERT_EQ(old.exact, ref.exact);
    ASSERT_EQ(old.held, ref.held);
    ASSERT_EQ(got.exact, ref.exact);
    ASSERT_EQ(got.held, ref.held);
    const Eigen::MatrixXd p0 = projector(ref.N.topRows(ref.exact), r.E);
    const Eigen::MatrixXd q0 = projector(got.N.topRows(got.exact), r.E);
    EXPECT_LT((p0 - q0).norm(), 1e-8);
    // The held directions turn with the rounding of the rows as far as the
    // gap at the rank and the spread of the column scales let them: the
    // folded rows may miss by no more than ten times what the full double
    // SVD misses.
    // Taking a direction out for the feed's material mixes the held ones,
    // whose rounding the spread of the column scales (sqrt of the ratio of
    // the element amounts) then carries into every direction kept.
    const Eigen::MatrixXd p = projector(ref.N, r.E);
    const double old_miss = (p - projector(old.N, r.E)).norm();
    EXPECT_LT((p - projector(got.N, r.E)).norm(), (1e-8 + 10.0 * old_miss) * ref.amplify);
    // Every direction is of unit length.
    for (int d = 0; d < got.held; ++d) EXPECT_NEAR(got.N.row(d).norm(), 1.0, 1e-12);
}

// Random stoichiometry rows (small integers, mostly zero); `base` > 0 makes
// every row an integer combination of `base` rows, so that the rank is
// exactly deficient; traces weigh sqrt(1e-24).
Rows random_rows(std::mt19937& g, std::mt19937& gs, int E, int m, int base, bool traces) {
    std::uniform_int_distribution<int> coef(0, 3), pick(0, 2);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Rows r;
    r.E = E;
    std::vector<std::vector<double>> basis;
    for (int k = 0; k < base; ++k) {
        std::vector<double> v(static_cast<std::size_t>(E));
        for (double& x : v) x = pick(g) == 0 ? coef(g) : 0.0;
        basis.push_back(v);
    }
    for (int i = 0; i < m; ++i) {
        std::vector<double> row(static_cast<std::size_t>(E), 0.0);
        if (base > 0) {
            for (const auto& v : basis) {
                const int c = coef(g) - 1;
                for (int j = 0; j < E; ++j) row[static_cast<std::size_t>(j)] += c * v[static_cast<std::size_t>(j)];
            }
        } else {
            for (double& x : row) x = pick(g) == 0 ? coef(g) : 0.0;
        }
        r.a.push_back(row);
        const bool pure = u(g) < 0.2;
        r.unit.push_back(pure ? 1 : 0);
        const double n = traces && u(g) < 0.5 ? 1e-12 * (1.0 + u(g)) : std::pow(10.0, -8.0 * u(g));
        r.weight.push_back(pure ? 1.0 : std::sqrt(n));
        // Its share of its phase (drawn apart, so that the rows are those of
        // the seed alone): the whole of it, or a trace up to 1e4 times its
        // amount's weight.
        r.share.push_back(pure ? 0.0 : u(gs) < 0.5 ? 1.0 : std::min(1.0, std::sqrt(n) * std::pow(10.0, 4.0 * u(gs))));
    }
    for (int j = 0; j < E; ++j) r.b.push_back(std::pow(10.0, -12.0 + 13.0 * u(g)));
    return r;
}

TEST(FreeBasis, SameRanksAndSubspacesAsFullSvd) {
    std::mt19937 g(20261208), gs(20261209);
    std::uniform_int_distribution<int> dimE(1, 12), rows(0, 40);
    for (int k = 0; k < 400; ++k) {
        const int E = dimE(g);
        expect_same(random_rows(g, gs, E, rows(g), 0, false), "random", k);
        expect_same(random_rows(g, gs, E, rows(g), std::max(1, E / 2), false), "dependent", k);
        expect_same(random_rows(g, gs, E, rows(g), std::max(1, E - 1), true), "traces", k);
    }
    // More elements than the fixed capacity: the same through heap matrices.
    for (int k = 0; k < 20; ++k) expect_same(random_rows(g, gs, 20, 30, k % 2 == 0 ? 0 : 12, k % 3 == 0), "wide", k);
}

TEST(FreeBasis, EdgeCases) {
    // No rows: every direction is exactly free.
    Rows none;
    none.E = 3;
    none.b = {1.0, 2.0, 3.0};
    Basis got = folded(none);
    EXPECT_EQ(got.exact, 3);
    EXPECT_EQ(got.held, 3);
    // A stoichiometric feed: water and a trace of H2 leave the direction
    // (1, -2) of (pi_H, pi_O), along which water's potential stays, held by
    // the trace alone; a repeated row changes nothing.
    Rows w;
    w.E = 2;
    w.b = {2.0, 1.0};
    w.a = {{2.0, 1.0}, {2.0, 1.0}, {2.0, 0.0}};
    w.weight = {1.0, 1.0, 1e-7};
    w.unit = {0, 0, 0};
    w.share = {1.0, 1.0, 1e-7};
    got = folded(w);
    EXPECT_EQ(got.exact, 0);
    EXPECT_EQ(got.held, 1);
    EXPECT_NEAR(std::abs(got.N(0, 0) * 2.0 + got.N(0, 1)), 0.0, 1e-12);  // orthogonal to H2O
    expect_same(w, "water", 0);
    // An excess of H beyond water, in a gas where H2 is a trace: the
    // direction is fixed only by that trace within the major phase, whose
    // amount follows the balance; it stays held.
    Rows wx = w;
    wx.share = {1.0, 1.0, std::sqrt(1e-9)};
    wx.b = {2.0 + 2e-9, 1.0};
    wx.weight[2] = std::sqrt(1e-9);
    got = folded(wx);
    EXPECT_EQ(got.held, 1);
    expect_same(wx, "water gas with excess H", 0);
    // The same excess held by a phase of its own (H2 its whole content,
    // present at the excess's amount): the feed carries material along the
    // direction that that phase must hold, so it is not free; an excess
    // within the balance tolerance is.
    wx.share[2] = 1.0;
    got = folded(wx);
    EXPECT_EQ(got.held, 0);
    expect_same(wx, "water with excess H in a phase of its own", 0);
    wx.b = {2.0 + 1e-13, 1.0};
    wx.weight[2] = std::sqrt(1e-13);
    got = folded(wx);
    EXPECT_EQ(got.held, 1);
    expect_same(wx, "water with excess H at rounding", 0);
    // A melt (Fe, Ca, S, O) of FeO with traces of Ca+2:O-2 (heavy enough to
    // count as a major row), Ca+2:S-2 and Fe+2:Va, beside CaS(s) at a trace
    // amount: the direction of metal against oxygen, which only the
    // vacancies fix, carries the calcium that CaS(s) holds. No phase's main
    // constituents depend on it: it stays held.
    Rows melt;
    melt.E = 4;
    melt.b = {0.5, 2.9e-8, 2.9e-8, 0.5};
    melt.a = {{2.0, 0.0, 0.0, 2.0}, {0.0, 2.0, 0.0, 2.0}, {0.0, 2.0, 2.0, 0.0}, {1.0, 0.0, 0.0, 0.0}, {0.0, 1.0, 1.0, 0.0}};
    melt.weight = {0.5, 3.8e-3, 1e-13, 1e-14, 1.0};
    melt.share = {1.0, 7.6e-3, 2e-13, 2e-14, 0.0};
    melt.unit = {0, 0, 0, 0, 1};
    got = folded(melt);
    EXPECT_EQ(got.held, 1);
    ASSERT_EQ(got.N.rows(), 1);
    EXPECT_NEAR(std::abs(got.N.row(0).dot(Eigen::Vector4d(2.0, 0.0, 0.0, 2.0))), 0.0, 1e-9);  // FeO's potential stays
    expect_same(melt, "oxide melt beside a trace sulphide", 0);
    // Singular values just either side of the thresholds (and of the
    // margin under which full rank is not taken from bounds alone).
    const struct {
        double t;
        int exact, held;
    } sides[] = {{1.5e-3, 0, 0}, {0.9e-3, 0, 1}, {1.5e-10, 0, 1}, {0.9e-10, 1, 1}};
    for (const auto& side : sides) {
        Rows d;
        d.E = 2;
        d.b = {1.0, 1.0};
        d.a = {{1.0, 0.0}, {0.0, side.t}};
        d.weight = {1.0, 1.0};
        d.unit = {0, 0};
        d.share = {1.0, 1.0};
        got = folded(d);
        EXPECT_EQ(got.exact, side.exact) << side.t;
        EXPECT_EQ(got.held, side.held) << side.t;
    }
    // A weight or entry that is not finite: no directions.
    for (double bad : {std::nan(""), HUGE_VAL}) {
        Rows x = w;
        x.weight[1] = bad;
        got = folded(x);
        EXPECT_EQ(got.held, 0);
        EXPECT_EQ(got.exact, 0);
    }
}

}  // namespace
}  // namespace eqcore
