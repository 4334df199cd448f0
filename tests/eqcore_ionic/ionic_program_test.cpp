// The linear program's balance test (lp_balances) and columns added without
// their cost, on the ionic melt's slag beside its solids. Whether a program
// balances must agree with a brute-force search over its bases, whatever its
// costs are (unpriced ones are not numbers); columns priced afterwards must
// cost exactly what columns priced when added cost, so that the program
// solved after pricing is the same program. The cold start holds the slag
// at its own split of the program's state: the same elements, a split the
// model maps to itself, and a Gibbs energy no higher than the program's.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "ionic_util.hpp"
#include "solver/workspace.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// The melt at 1600 K, 1 bar, prepared for programs.
struct Melt {
    System sys = read_dat(testing::ionic_file("ionic_melt.dat"));
    detail::Workspace ws;
    int slag = -1;
    Melt() {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {0.3, 0.3, 0.3, 0.9, 0.05};
        std::string message;
        EXPECT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
        detail::set_conditions(ws, 1600.0, 1e5);
        for (int ci = 0; ci < static_cast<int>(ws.cand.size()); ++ci)
            if (!ws.cand[sz(ci)].pure) slag = ci;
    }
};

// A random composition of the slag as the amounts of one formula unit:
// random fractions on each sublattice, about a third of them zero.
std::vector<double> random_slag(const detail::Workspace& ws, const detail::Candidate& c, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> x(sz(c.count), 0.0);
    for (int g = c.group0; g < c.group0 + c.groups; ++g) {
        const int b = ws.grp_begin[sz(g)] - c.first, e = ws.grp_end[sz(g)] - c.first;
        double sum = 0.0;
        for (int k = b; k < e; ++k) {
            x[sz(k)] = u(rng) < 0.33 ? 0.0 : u(rng);
            sum += x[sz(k)];
        }
        if (sum == 0.0) x[sz(b)] = sum = 1.0;
        for (int k = b; k < e; ++k) x[sz(k)] *= ws.grp_sites[sz(g)] / sum;
    }
    return x;
}

// One program: the candidates' columns (candidate, composition).
using Column = std::pair<int, std::vector<double>>;

std::vector<Column> random_program(Melt& m, std::mt19937& rng, int slag_columns) {
    std::vector<Column> cols;
    for (int ci = 0; ci < static_cast<int>(m.ws.cand.size()); ++ci)
        if (m.ws.cand[sz(ci)].pure && rng() % 2 == 0) cols.emplace_back(ci, std::vector<double>{1.0});
    for (int k = 0; k < slag_columns; ++k) cols.emplace_back(m.slag, random_slag(m.ws, m.ws.cand[sz(m.slag)], rng));
    return cols;
}

// Loads the program into the workspace; the slag's columns priced or not.
void load(Melt& m, const std::vector<Column>& cols, bool priced) {
    m.ws.lp_used = 0;
    for (const Column& c : cols) ASSERT_TRUE(detail::lp_add_column(m.ws, c.first, c.second.data(), priced));
}

// Element contents of the loaded program (E x columns).
Eigen::MatrixXd contents(const detail::Workspace& ws) {
    Eigen::MatrixXd A(ws.E, ws.lp_used);
    for (int k = 0; k < ws.lp_used; ++k)
        for (int j = 0; j < ws.E; ++j) A(j, k) = ws.lp_col[sz(k) * sz(ws.E) + sz(j)];
    return A;
}

// Brute force over the bases: the largest least component of z >= 0 with
// A_S z = b over every set S of independent columns (at most E of them),
// -inf where no set reaches b. A feasible program has such a set
// (Caratheodory); its value tells how far inside the cone b lies.
double best_basis(const Eigen::MatrixXd& A, const Eigen::VectorXd& b) {
    const int n = static_cast<int>(A.cols()), E = static_cast<int>(A.rows());
    double best = -HUGE_VAL;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
        std::vector<int> S;
        for (int k = 0; k < n; ++k)
            if (mask & (1u << k)) S.push_back(k);
        if (static_cast<int>(S.size()) > E) continue;
        Eigen::MatrixXd AS(E, static_cast<Eigen::Index>(S.size()));
        for (std::size_t i = 0; i < S.size(); ++i) AS.col(static_cast<Eigen::Index>(i)) = A.col(S[i]);
        const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(AS);
        if (qr.rank() < static_cast<Eigen::Index>(S.size())) continue;
        const Eigen::VectorXd z = qr.solve(b);
        if ((AS * z - b).norm() > 1e-10 * b.norm()) continue;
        best = std::max(best, z.minCoeff());
    }
    return best;
}

TEST(IonicProgram, BalanceTestAgreesWithEveryBasisAndReadsNoCost) {
    Melt m;
    ASSERT_GE(m.slag, 0);
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> u(0.05, 1.0);
    int balanced = 0, unbalanced = 0;
    for (int trial = 0; trial < 400; ++trial) {
        // The feed: a positive mix of the program's own columns (it
        // balances) or of another program's (inside or outside this
        // program's cone by chance).
        const std::vector<Column> program = random_program(m, rng, 1 + static_cast<int>(rng() % 4));
        const std::vector<Column> source =
            trial % 2 == 0 ? program : random_program(m, rng, 1 + static_cast<int>(rng() % 2));
        load(m, source, true);
        const Eigen::MatrixXd As = contents(m.ws);
        Eigen::VectorXd w(As.cols());
        for (Eigen::Index k = 0; k < w.size(); ++k) w(k) = u(rng);
        const Eigen::VectorXd b = As * w;
        for (int j = 0; j < m.ws.E; ++j) m.ws.b[sz(j)] = b(j);

        load(m, program, false);
        const double inside = best_basis(contents(m.ws), b);
        // Near the cone's edge the answer is a matter of rounding: skipped.
        if (std::abs(inside) < 1e-7 * b.sum() && inside != -HUGE_VAL) continue;
        const bool expected = inside > 0.0;
        EXPECT_EQ(detail::lp_balances(m.ws), expected) << "trial " << trial;
        load(m, program, true);
        EXPECT_EQ(detail::lp_balances(m.ws), expected) << "trial " << trial << " (priced)";
        (expected ? balanced : unbalanced) += 1;
    }
    // Both answers occur often enough for the comparison to mean something.
    EXPECT_GE(balanced, 40);
    EXPECT_GE(unbalanced, 40);
}

TEST(IonicProgram, ColumnsPricedLaterGiveTheSameSolvedProgram) {
    Melt m;
    ASSERT_GE(m.slag, 0);
    std::mt19937 rng(7);
    int solved = 0;
    for (int trial = 0; trial < 60; ++trial) {
        const std::vector<Column> program = random_program(m, rng, 2 + static_cast<int>(rng() % 4));
        // The feed: the program's own columns mixed, so that it balances.
        load(m, program, true);
        const Eigen::MatrixXd A = contents(m.ws);
        Eigen::VectorXd w(A.cols());
        for (Eigen::Index k = 0; k < w.size(); ++k) w(k) = 0.1 + static_cast<double>(rng() % 10);
        const Eigen::VectorXd b = A * w;
        for (int j = 0; j < m.ws.E; ++j) m.ws.b[sz(j)] = b(j);

        const std::vector<double> cost(m.ws.lp_cost.begin(), m.ws.lp_cost.begin() + m.ws.lp_used);
        ASSERT_TRUE(detail::solve_lp(m.ws)) << "trial " << trial;
        const std::vector<double> pi = m.ws.pi, z(m.ws.lp_z.begin(), m.ws.lp_z.begin() + m.ws.lp_used);

        load(m, program, false);
        for (int k = 0; k < m.ws.lp_used; ++k)
            EXPECT_EQ(std::isnan(m.ws.lp_cost[sz(k)]), m.ws.lp_owner[sz(k)] == m.slag) << "column " << k;
        detail::lp_price_columns(m.ws);
        for (int k = 0; k < m.ws.lp_used; ++k) EXPECT_EQ(m.ws.lp_cost[sz(k)], cost[sz(k)]) << "column " << k;
        ASSERT_TRUE(detail::solve_lp(m.ws));
        EXPECT_EQ(m.ws.pi, pi) << "trial " << trial;
        for (int k = 0; k < m.ws.lp_used; ++k) EXPECT_EQ(m.ws.lp_z[sz(k)], z[sz(k)]) << "trial " << trial;
        ++solved;
    }
    EXPECT_EQ(solved, 60);
}

// The slag's Gibbs energy / RT at amounts n of its slots: ideal mixing of
// the records plus the model's remainder.
double slag_g(detail::Workspace& ws, const detail::Candidate& c, const std::vector<double>& n) {
    double N = 0.0, g = 0.0;
    for (const double v : n) N += v;
    std::vector<double> x(n.size());
    for (std::size_t k = 0; k < n.size(); ++k) {
        x[k] = n[k] / N;
        if (n[k] > 0.0) g += n[k] * (ws.g0[sz(c.first) + k] + std::log(x[k]));
    }
    return g + N * detail::remainder_at(ws, c, x.data(), false, false).g / ws.RT;
}

std::vector<double> slag_amounts(const detail::Workspace& ws, const detail::Candidate& c) {
    return {ws.n.begin() + c.first, ws.n.begin() + c.first + c.count};
}

std::vector<double> element_content(const detail::Workspace& ws, const detail::Candidate& c) {
    std::vector<double> e(sz(ws.E), 0.0);
    for (int s = c.first; s < c.first + c.count; ++s)
        for (int j = 0; j < ws.E; ++j) e[sz(j)] += ws.arow(s)[j] * ws.n[sz(s)];
    return e;
}

TEST(IonicProgram, ColdStartHoldsTheSlagAtItsOwnSplitOfTheProgramsState) {
    for (const double T : {1200.0, 1600.0, 2200.0}) {
        Melt m;
        detail::set_conditions(m.ws, T, 1e5);
        const detail::Candidate& c = m.ws.cand[sz(m.slag)];
        // The program's own start, then the cold start, from the same program.
        m.ws.lp_used = 0;
        for (int ci = 0; ci < static_cast<int>(m.ws.cand.size()); ++ci) detail::lp_sample_columns(m.ws, ci, true);
        ASSERT_TRUE(detail::solve_lp(m.ws));
        detail::start_from_lp(m.ws);
        ASSERT_TRUE(c.present) << T;
        const std::vector<double> before = slag_amounts(m.ws, c), held = element_content(m.ws, c);
        const double g_before = slag_g(m.ws, c, before);
        ASSERT_TRUE(detail::initial_lp(m.ws));
        const std::vector<double> after = slag_amounts(m.ws, c), now = element_content(m.ws, c);
        double moved = 0.0;
        for (std::size_t k = 0; k < after.size(); ++k) moved = std::max(moved, std::abs(after[k] - before[k]));
        EXPECT_GT(moved, 1e-3) << T << ": the program's split is not the slag's own here";
        for (int j = 0; j < m.ws.E; ++j) EXPECT_NEAR(held[sz(j)], now[sz(j)], 1e-13 * (1.0 + std::abs(held[sz(j)]))) << T;
        // The model maps the split to itself.
        std::vector<double> v(sz(c.model->layout().variables), 0.0);
        for (int s = c.first; s < c.first + c.count; ++s) v[sz(m.ws.slot_var[sz(s)])] = m.ws.n[sz(s)];
        const std::vector<double> own = v;
        c.model->own_split(v);
        for (std::size_t k = 0; k < v.size(); ++k) EXPECT_NEAR(own[k], v[k], 1e-14 * (1.0 + std::abs(own[k]))) << T;
        // Lower by the relative entropy of the two splits (the liquid is the same).
        EXPECT_LT(slag_g(m.ws, c, after), g_before - 1e-6) << T;
    }
}

}  // namespace
}  // namespace eqcore
