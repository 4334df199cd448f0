// A mixture the data file writes once is one homogeneous phase: the answer
// is the least G over assemblages in which it appears once. States where a
// converged calculation left such a phase in its higher basin (a different
// composition of itself far below the result's tangent plane): the solver
// now leaves it, the acceptance check rejects the state it was left in, and
// the final G is checked against an independent minimum (the phase's own G
// at the feed, or a brute-force scan over the one-instance assemblages).
// Where the balance forbids the replacement, a phase inside its gap is a
// legitimate answer and the check accepts it.
#include <algorithm>
#include <cmath>
#include <array>
#include <limits>

#include <gtest/gtest.h>

#include "check/column_lp.hpp"
#include "own_basins_util.hpp"
#include "robust_util.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::robust {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Ionic melt: without the search of its basins the cold calculation stops
// at a metallic liquid beside CaS (G = -613689.2 J); the liquid alone at the
// feed is 8 kJ lower.
TEST(OwnBasins, IonicMeltLeftBesideCaSInItsMetallicBasin) {
    const System sys = read_dat(sibling_data("eqcore_ionic", "ionic_melt.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    feed_in(pr, "SLAG", "S", 0.5);
    feed_in(pr, "SLAG", "Ca+2:S-2", 0.49940931801592919);
    feed_in(pr, "SLAG", "Mn+2:S-2", 0.24836494707002033);
    const Conditions c = at(2300.0);
    const int slag = phase_of(sys, "SLAG");

    const EquilibriumResult before = Solver(as_before()).equilibrate(pr, c);
    ASSERT_TRUE(before.succeeded()) << before.message;
    EXPECT_NEAR(before.G, -613689.2, 0.1);
    EXPECT_TRUE(rejected_naming(pr, before, "SLAG", 1000.0)) << check_equilibrium(pr, before).summary();

    // Independent value: the liquid alone holds the feed; its G is the
    // least of the model's over the amounts of its records that hold the
    // feed's elements (the split between sulphide, vacancy and neutral
    // sulphur is the liquid's own choice).
    PhaseModels models(sys);
    std::vector<double> n(sz(sys.phases[sz(slag)].count), 0.0);
    for (const Feed& f : pr.streams)
        for (int k = 0; k < sys.phases[sz(slag)].count; ++k) n[sz(k)] += f.amount[sz(sys.phases[sz(slag)].first + k)];
    const double G_liquid = least_G_of_content(sys, models, slag, c.T, c.P, pr.elements(), n);
    for (bool warm : {false, true}) {
        Solver s;
        if (warm) s.equilibrate(pr, at(2200.0));
        const EquilibriumResult r = s.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(pr, r));
        EXPECT_EQ(present_phases(r), std::vector<int>{slag});
        EXPECT_NEAR(r.G, G_liquid, 1e-9 * std::abs(G_liquid));
        EXPECT_LT(r.G, before.G - 5000.0);
    }
}

// Zr-H at 1594 K: bcc, written once, has a gap there; the calculation
// stopped at H-rich bcc beside the delta hydride. The least one-instance
// assemblage is bcc alone at the feed, inside its gap (the balance leaves
// no other bcc composition that beats it).
TEST(OwnBasins, ZrHBccLeftBesideTheHydrideInItsHydrogenRichBasin) {
    const System sys = read_dat(example("zr-h.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    feed_in(pr, "ZRH", "ZR:VA", 0.040160510862864998);
    feed_in(pr, "gas_ideal", "H2", 0.020080255431432499);
    const Conditions c = at(1593.5630136750449, 4468060.2362247854);
    const int bcc = phase_of(sys, "BCC_A2");

    const EquilibriumResult before = Solver(as_before()).equilibrate(pr, c);
    ASSERT_TRUE(before.succeeded()) << before.message;
    EXPECT_TRUE(rejected_naming(pr, before, "BCC_A2", 1.0)) << check_equilibrium(pr, before).summary();

    const std::vector<double> b = pr.elements();
    const int zr = 0, h = 1;
    ASSERT_EQ(sys.elements[sz(zr)].symbol, "Zr");
    ASSERT_EQ(sys.elements[sz(h)].symbol, "H");
    const double brute = binary_brute_force(sys, b, c.T, c.P, h, 1500);
    for (bool warm : {false, true}) {
        Solver s;
        if (warm) s.equilibrate(pr, at(1700.0, c.P));
        const EquilibriumResult r = s.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(pr, r));
        EXPECT_EQ(present_phases(r), std::vector<int>{bcc});
        // No sampled assemblage is lower, and the answer is one of them.
        EXPECT_LE(r.G, brute + 1e-9 * std::abs(brute));
        EXPECT_GE(r.G, brute - 1e-6 * std::abs(brute));
        EXPECT_LT(r.G, before.G - 60.0);
        // Inside its gap: the check finds bcc below its own plane elsewhere.
        EXPECT_LT(check_equilibrium(pr, r).worst_self_distance, -0.1);
    }
}

// Quasichemical slag at 1121 K: the slag sits inside its gap (nearly pure
// FeO is below its plane), but iron has no other phase to go to: every
// assemblage with the slag once is at least as high. A legitimate in-gap
// answer, accepted; its G is the brute-force minimum over the amounts of
// the three oxide solids (the rest is slag).
TEST(OwnBasins, QuasichemicalSlagInsideItsGapWhereTheBalanceForbidsAnyOther) {
    const System sys = read_dat(sibling_data("eqcore_quasichem", "qc_slag.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {0.78448653519052602, 0.22507747197115094, 0.89526777831292681, 0.6531902218916481,
                         3.2112122292579};
    const double T = 1121.0519129092236;
    const EquilibriumResult r = Solver().equilibrate(pr, at(T));
    ASSERT_TRUE(r.succeeded()) << r.message;
    const AcceptanceReport rep = check_equilibrium(pr, r);
    EXPECT_TRUE(rep.ok) << rep.summary();
    EXPECT_LT(rep.worst_self_distance, -1.0);
    EXPECT_EQ(rep.lower_assemblage, 0.0);

    PhaseModels models(sys);
    const int slag = phase_of(sys, "SLAG");
    const std::array<const char*, 3> solids = {"CaO_s(s)", "MgO_s(s)", "SiO2_s(s)"};
    const std::array<int, 3> slot = {0, 1, 3};  // CaO, MgO, SiO2 in the slag; FeO stays there
    std::array<double, 3> g{}, most{};
    for (int i = 0; i < 3; ++i) {
        std::vector<double> one{1.0};
        g[sz(i)] = phase_props(models[phase_of(sys, solids[sz(i)])], T, kPstd, one).G;
        most[sz(i)] = pr.element_amount[sz(slot[sz(i)])] * (1.0 - 1e-9);
    }
    auto total = [&](const std::array<double, 3>& s) {
        std::vector<double> n = {pr.element_amount[0] - s[0], pr.element_amount[1] - s[1], pr.element_amount[2],
                                 pr.element_amount[3] - s[2]};
        return phase_props(models[slag], T, kPstd, n).G + s[0] * g[0] + s[1] * g[1] + s[2] * g[2];
    };
    // A grid over the solids' amounts, then a pattern search from its best point.
    std::array<double, 3> s{}, best_s{};
    double best = std::numeric_limits<double>::infinity();
    const int N = 16;
    for (int i = 0; i <= N; ++i)
        for (int j = 0; j <= N; ++j)
            for (int k = 0; k <= N; ++k) {
                s = {most[0] * i / N, most[1] * j / N, most[2] * k / N};
                const double G = total(s);
                if (G < best) best = G, best_s = s;
            }
    for (double step = 0.05; step > 1e-12; step *= 0.5)
        for (bool moved = true; moved;) {
            moved = false;
            for (int i = 0; i < 3; ++i)
                for (double dir : {-1.0, 1.0}) {
                    s = best_s;
                    s[sz(i)] = std::clamp(s[sz(i)] + dir * step * most[sz(i)], 0.0, most[sz(i)]);
                    const double G = total(s);
                    if (G < best - 1e-12 * std::abs(best)) best = G, best_s = s, moved = true;
                }
        }
    EXPECT_NEAR(r.G, best, 1e-7 * std::abs(best));
}

// The check's linear programme on its own: a known optimum, its duals, and
// an infeasible balance.
TEST(ColumnLp, OptimumDualsAndInfeasibility) {
    // Two elements; columns A, B, AB, A2B with costs.
    const std::vector<std::vector<double>> cols = {{1, 0}, {0, 1}, {1, 1}, {2, 1}};
    const std::vector<double> cost = {0.0, 0.0, -3.0, -4.0};
    const ColumnLpAnswer a = solve_column_lp(cols, cost, {3.0, 2.0});
    ASSERT_TRUE(a.feasible);
    // 3 A + 2 B: AB + A2B (-7) beats 2 AB + A (-6) and A2B + B + A (-4).
    EXPECT_NEAR(a.value, -7.0, 1e-12);
    EXPECT_NEAR(a.x[2], 1.0, 1e-12);
    EXPECT_NEAR(a.x[3], 1.0, 1e-12);
    // Duals: AB and A2B on the plane, A and B above it.
    EXPECT_NEAR(a.dual[0] + a.dual[1], -3.0, 1e-12);
    EXPECT_NEAR(2.0 * a.dual[0] + a.dual[1], -4.0, 1e-12);
    EXPECT_FALSE(solve_column_lp({{1, 0}, {2, 0}}, {1.0, 1.0}, {1.0, 1.0}).feasible);
}

}  // namespace
}  // namespace eqcore::robust
