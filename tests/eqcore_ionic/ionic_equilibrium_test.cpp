// Equilibria with an ionic liquid: the worked examples (values computed by
// two independent implementations of the model, with this engine's gas
// constant), the neutral-record rule seen in a full calculation, the
// acceptance check on every result, and a liquidus against a common
// tangent computed here by an independent method.
#include <cmath>
#include <cstdio>
#include <random>

#include "check/acceptance.hpp"
#include "check/stress.hpp"
#include "thermo/standard.hpp"
#include "ionic_util.hpp"
#include "thermo/ionic_liquid.hpp"
#include "thermo/models.hpp"

namespace eqcore {
namespace {

using testing::equilibrium;
using testing::ionic_file;
using testing::phase_named;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Site fractions of the liquid in a result: cations, then S-2, Va, S.
std::vector<double> liquid_sites(const System&, const EquilibriumResult& r, int p) {
    EXPECT_EQ(r.phases[sz(p)].sites.size(), 2U);
    return r.phases[sz(p)].site_fraction;
}

void expect_accepted(const System& sys, const std::vector<double>& b, const EquilibriumResult& r) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = b;
    const AcceptanceReport rep = check_equilibrium(pr, r);
    EXPECT_TRUE(rep.ok) << rep.summary();
}

struct Expected {
    std::vector<double> b;
    double T;
    double G;
    std::vector<double> y;  // S-2, Va, S
    double solid;           // mol of Cu2S(s), -1 when none
};

TEST(IonicEquilibrium, CopperSulphideMeltWithOneCation) {
    const System sys = read_dat(ionic_file("ionic_example_1.dat"));
    const int liq = phase_named(sys, "LIQUID_I1"), cu2s = phase_named(sys, "Cu2S(s)");
    for (const Expected& e : {Expected{{1.0, 0.45}, 1100.0, -122402.532843, {0.77987987749, 0.22010930647, 1.0816043e-05}, 0},
                              Expected{{1.0, 0.55}, 1100.0, -133332.793409, {0.61661873461, 0.0046227582, 0.37875850722}, 0}}) {
        const EquilibriumResult r = equilibrium(sys, e.b, e.T);
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_NEAR(r.G, e.G, 1e-8 * std::abs(e.G));
        ASSERT_TRUE(r.phases[sz(liq)].present);
        ASSERT_TRUE(r.phases[sz(cu2s)].present);
        const std::vector<double> y = liquid_sites(sys, r, liq);
        for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(y[1 + k], e.y[k], 1e-6 * e.y[k]) << k;
        // The solid's amount from the published site fractions by the
        // element balance (one cation: Q = 1, P = 2 y(S-2) + y(Va)).
        const double P = 2 * e.y[0] + e.y[1], sf = e.y[0] + e.y[2];
        const double Nf = (e.b[0] - 2 * e.b[1]) / (P - 2 * sf);
        EXPECT_NEAR(r.phases[sz(cu2s)].amount, e.b[1] - Nf * sf, 1e-6 * r.phases[sz(cu2s)].amount);
        EXPECT_NEAR(r.phases[sz(liq)].amount, Nf, 1e-6 * Nf);
        expect_accepted(sys, e.b, r);
    }
}

TEST(IonicEquilibrium, CopperCalciumSulphideMeltWithVaryingSiteNumber) {
    for (const char* file : {"ionic_example_2.dat", "ionic_example_2b.dat"}) {
        const System sys = read_dat(ionic_file(file));
        const int liq = phase_named(sys, "LIQUID_I2");
        const bool ca_first = std::string(file) == "ionic_example_2b.dat";
        for (const Expected& e :
             {Expected{{0.6, 0.3, 0.6}, 1600.0, -288232.366179, {0.99873824356, 7.5705386e-04, 5.0470257e-04}, -1},
              Expected{{0.6, 0.2, 0.9}, 1600.0, -276750.657482, {0.55540589443, 1.2677178e-04, 0.44446733379}, -1}}) {
            const EquilibriumResult r = equilibrium(sys, e.b, e.T);
            ASSERT_TRUE(r.succeeded()) << r.message;
            EXPECT_NEAR(r.G, e.G, 1e-8 * std::abs(e.G)) << file;
            for (int p = 0; p < sys.phase_count(); ++p) EXPECT_EQ(r.phases[sz(p)].present, p == liq) << file;
            const std::vector<double> y = liquid_sites(sys, r, liq);
            const double y_cu = e.b[0] / (e.b[0] + e.b[1]);
            EXPECT_NEAR(y[ca_first ? 1 : 0], y_cu, 1e-12) << file;
            for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(y[2 + k], e.y[k], 1e-6 * e.y[k]) << file << " " << k;
            expect_accepted(sys, e.b, r);
        }
    }
}


// The Cu-S liquid of example I1 written out here for one cation (Q = 1)
// from its element amounts and the amount t of S-2 (the rest of the sulphur
// neutral, the vacancies balancing the charge), and minimised over t by
// golden sections: an independent route to the liquid's Gibbs energy.
double cu_s_liquid(const System& sys, double T, double cu, double s) {
    auto g = [&](int k) { return gibbs0(sys.constituents[sz(k)], T); };
    const double RT = kR * T;
    auto G = [&](double t) {
        const double va = cu - 2 * t, sn = s - t, S2 = t + va + sn;
        const double yS2 = t / S2, yVa = va / S2, yS = sn / S2;
        auto xlx = [](double x) { return x > 0 ? x * std::log(x) : 0.0; };
        const double ex = yS2 * yVa * (10000 - 4000 * (yS2 - yVa)) + yS2 * yS * 15000 - 20000 * yVa * yS;
        return S2 * (yS2 * g(0) + yVa * g(1) + yS * g(2) + RT * (xlx(yS2) + xlx(yVa) + xlx(yS)) + ex);
    };
    double a = 0.0, b = std::min(s, cu / 2);
    const double r = (std::sqrt(5.0) - 1) / 2;
    for (int it = 0; it < 200; ++it) {
        const double c = b - r * (b - a), d = a + r * (b - a);
        (G(c) < G(d) ? b : a) = G(c) < G(d) ? d : c;
    }
    return G((a + b) / 2);
}

TEST(IonicEquilibrium, LiquidusOfTheSulphideAgainstACommonTangent) {
    const System sys = read_dat(ionic_file("ionic_example_1.dat"));
    const int liq = phase_named(sys, "LIQUID_I1"), cu2s = phase_named(sys, "Cu2S(s)");
    const double cu = 1.0, s = 0.45;
    // Where the liquid's potentials make Cu2S(s) just stable: 2 lambda_Cu +
    // lambda_S = G°(Cu2S(s)), the potentials from differences of the
    // minimised liquid; bisection in T.
    auto excess_stability = [&](double T) {
        const double h = 1e-5;
        const double l_cu = (cu_s_liquid(sys, T, cu + h, s) - cu_s_liquid(sys, T, cu - h, s)) / (2 * h);
        const double l_s = (cu_s_liquid(sys, T, cu, s + h) - cu_s_liquid(sys, T, cu, s - h)) / (2 * h);
        return gibbs0(sys.constituents[sz(sys.phases[sz(cu2s)].first)], T) - (2 * l_cu + l_s);
    };
    double lo = 1100.0, hi = 1375.0;
    ASSERT_LT(excess_stability(lo), 0.0);
    ASSERT_GT(excess_stability(hi), 0.0);
    for (int it = 0; it < 60; ++it) (excess_stability((lo + hi) / 2) < 0.0 ? lo : hi) = (lo + hi) / 2;
    const double tangent = (lo + hi) / 2;

    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {cu, s};
    Conditions c;
    c.T = 1150.0;
    c.target.kind = TargetKind::formation;
    c.target.phase = cu2s;
    c.target.constituent = 0;
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(pr, c);
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, tangent, 0.01);
    EXPECT_TRUE(r.phases[sz(liq)].present);
    EXPECT_NEAR(r.phases[sz(cu2s)].amount, 0.0, 1e-9);
    // The liquid alone at that temperature has the tangent's energy.
    EXPECT_NEAR(r.G, cu_s_liquid(sys, r.T, cu, s), 1e-6 * std::abs(r.G));
}

// A melt written twice separates into metal and matte. With one cation and
// no neutral the liquid is a regular solution of Cu2S and Cu per formula
// unit, G = y G°(Cu2S) + (1 - y) G°(Cu) + RT (y ln y + (1-y) ln(1-y)) + L y (1-y),
// whose common tangent (the linear part does not move it) is symmetric:
// RT ln(y / (1 - y)) + L (1 - 2y) = 0, solved here by bisection.
TEST(IonicEquilibrium, MetalAndMatteLiquidsOfAGap) {
    const System sys = read_dat(ionic_file("ionic_gap.dat"));
    const double T = 1400.0, RT = kR * T, L = 40000.0;
    auto f = [&](double y) { return RT * std::log(y / (1 - y)) + L * (1 - 2 * y); };
    double lo = 1e-12, hi = 0.5 - 1e-6;
    for (int it = 0; it < 200; ++it) (f((lo + hi) / 2) < 0.0 ? lo : hi) = (lo + hi) / 2;
    const double y1 = (lo + hi) / 2, y2 = 1 - y1;
    ASSERT_LT(y1 + 0.01, y2);
    // Cu 1, S 0.4: y = n(S-2) / (n(S-2) + n(Va)) = 0.4 / 0.6, inside the gap.
    const std::vector<double> b = {1.0, 0.4};
    ASSERT_GT(2.0 / 3.0, y1);
    ASSERT_LT(2.0 / 3.0, y2);
    const EquilibriumResult r = equilibrium(sys, b, T);
    ASSERT_TRUE(r.succeeded()) << r.message;
    const int a1 = phase_named(sys, "MATTE#1"), a2 = phase_named(sys, "MATTE#2");
    ASSERT_TRUE(r.phases[sz(a1)].present && r.phases[sz(a2)].present);
    double ya = r.phases[sz(a1)].site_fraction[1], yb = r.phases[sz(a2)].site_fraction[1];
    if (ya > yb) std::swap(ya, yb);
    EXPECT_NEAR(ya, y1, 1e-7);
    EXPECT_NEAR(yb, y2, 1e-7);
    expect_accepted(sys, b, r);
}

// Random states over the ionic files, each solved cold and warm: every one
// accepted by the check or failed with an error, none wrong.
TEST(IonicEquilibrium, StressOverTheIonicFiles) {
    for (const char* file : {"ionic_example_1.dat", "ionic_example_2.dat", "ionic_limit.dat", "ionic_melt.dat"}) {
        const System sys = read_dat(ionic_file(file));
        std::mt19937_64 rng(20261207);
        Solver solver;
        int passed = 0, failed = 0, wrong = 0;
        for (int i = 0; i < 60; ++i) {
            const StressState st = random_state(sys, rng, static_cast<FeedKind>(i % kFeedKinds), file);
            const EquilibriumProblem pr = problem_of(sys, st);
            const Conditions c = conditions_of(st);
            const EquilibriumResult cold = solve_cold(solver, pr, c);
            prepare_warm(solver, pr, c, st.T_near);
            const EquilibriumResult warm = solver.equilibrate(pr, c);
            for (const EquilibriumResult* r : {&cold, &warm}) {
                const Judgement j = judge(pr, c, *r);
                if (j.verdict == Verdict::passed) ++passed;
                if (j.verdict == Verdict::failed) ++failed;
                if (j.verdict != Verdict::wrong) continue;
                ++wrong;
                ADD_FAILURE() << "wrong answer (" << (r == &cold ? "cold" : "warm") << "): " << st.describe(sys) << "\n"
                              << j.detail;
            }
        }
        std::printf("%s: %d passed, %d failed with an error, %d wrong\n", file, passed, failed, wrong);
        EXPECT_GT(passed, 100) << file;
        EXPECT_EQ(wrong, 0) << file;
    }
}

}  // namespace
}  // namespace eqcore
