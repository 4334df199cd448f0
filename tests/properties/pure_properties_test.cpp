// The pure-component routines: one engine stream per list position, values
// per kmol of each component alone, defaults for other phase kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "dat_coefficients.hpp"
#include "host_services.hpp"
#include "message_log.hpp"
#include "property_scene.hpp"
#include "terminal.hpp"

namespace proptest {
namespace {

constexpr double kRgas = 8314.462618;

double rel(double expected) { return 1e-9 * std::abs(expected); }

class ChonPure : public ::testing::Test {
protected:
    Scene scene{example("c-h-o-n.dat"), chon_components()};
    std::string file = example("c-h-o-n.dat");
    Species n2 = read_species(file, "N2");
    Species o2 = read_species(file, "O2");
    Species water = read_species(file, "H2O_liquid(liq)");
    ftn::Int nc = scene.ncomp();
    std::size_t at(ftn::Int slot) const { return static_cast<std::size_t>(slot - 1); }
};

// Vapour enthalpy, entropy, Gibbs energy and volume of N2 and O2 at 900 K,
// 4 bar, with liquid water in the list taking the defaults.
TEST_F(ChonPure, VapourValuesAndDefaults) {
    const double T = 900.0, P = 4.0e5;
    const std::vector<ftn::Int> list{kN2, kH2OLiq, kO2};
    const std::vector<double> x{1.0, 1.0, 1.0};
    const double lnp = std::log(P / kP0);

    const auto h = scene.mdmon8({416, list, T, P, x, {1, 1, 0, 0}});
    EXPECT_NEAR(h[0], 1000 * n2.H(T), rel(1000 * n2.H(T)));
    EXPECT_EQ(h[1], 0.0);
    EXPECT_NEAR(h[2], 1000 * o2.H(T), rel(1000 * o2.H(T)));
    EXPECT_NEAR(h[at(nc + 1)], 1000 * n2.Cp(T), rel(1000 * n2.Cp(T)));
    EXPECT_EQ(h[at(nc + 2)], 0.0);

    const double s_n2 = 1000 * (n2.S(T) - kR * lnp) - sref({{7, 2}});
    const auto s = scene.mdmon8({417, list, T, P, x, {1, 1, 0, 0}});
    EXPECT_NEAR(s[0], s_n2, rel(s_n2));
    EXPECT_EQ(s[1], 0.0);
    EXPECT_NEAR(s[at(nc + 1)], 1000 * n2.Cp(T) / T, rel(n2.Cp(T)));

    const double g_o2 = 1000 * (o2.G(T) + kR * T * lnp) + T * sref({{8, 2}});
    const double s_o2 = 1000 * (o2.S(T) - kR * lnp) - sref({{8, 2}});
    const auto g = scene.mdmon8({418, list, T, P, x, {1, 1, 0, 0}});
    EXPECT_NEAR(g[2], g_o2, rel(g_o2));
    EXPECT_NEAR(g[at(nc + 3)], -s_o2, rel(s_o2));

    const auto v = scene.mdmon8({419, list, T, P, x, {1, 2, 0, 0}});
    EXPECT_NEAR(v[0], 1000 * kR * T / P, rel(1000 * kR * T / P));
    EXPECT_EQ(v[1], 0.0);
    EXPECT_NEAR(v[at(nc + 1)], kRgas / P, rel(kRgas / P));
    EXPECT_EQ(v[at(2 * nc + 1)], 0.0);
    EXPECT_EQ(v[at(2 * nc + 2)], kUntouched);
}

// The liquid fugacity term of water, (G + T Sref) / (R T), and its
// temperature derivative -H / (R T^2); a gas in the list gets 1.0E10.
TEST_F(ChonPure, LiquidFugacityTerm) {
    const double T = 350.0;
    const double G = 1000 * water.G(T) + T * sref({{1, 2}, {8, 1}});
    const auto phi = scene.mdmon8({425, {kN2, kH2OLiq}, T, 1e5, {1.0, 1.0}, {1, 1, 0, 0}});
    EXPECT_EQ(phi[0], 1.0E10);
    EXPECT_NEAR(phi[1], G / (kRgas * T), 1e-9 * std::abs(G / (kRgas * T)));
    EXPECT_EQ(phi[at(nc + 1)], 0.0);
    const double dphi = -1000 * water.H(T) / (kRgas * T * T);
    EXPECT_NEAR(phi[at(nc + 2)], dphi, rel(dphi));

    // The same component alone gives the same value: no stream of one
    // position leaks into another.
    const auto alone = scene.mdmon8({425, {kH2OLiq}, T, 1e5, {1.0}, {1, 0, 0, 0}});
    EXPECT_DOUBLE_EQ(alone[0], phi[1]);
}

// An unmapped component at position 3 of 5: positions 1 and 2 have their
// defaults, the rest is untouched, and the liquid enthalpy routine's
// message is number 25 with the second wording.
TEST_F(ChonPure, UnmappedComponentStopsAfterEarlierPositions) {
    const auto h = scene.mdmon8({421, {kN2, kO2, kUnknown, kH2OLiq, kCO2}, 400.0, 1e5,
                                 {1.0, 1.0, 1.0, 1.0, 1.0}, {1, 1, 0, 0}});
    EXPECT_EQ(h[0], 0.0);
    EXPECT_EQ(h[1], 0.0);
    EXPECT_EQ(h[at(nc + 1)], 0.0);
    for (std::size_t k : {2u, 3u, 4u}) EXPECT_EQ(h[k], kUntouched) << "position " << k + 1;
    const auto msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].name(), "CAHL");
    EXPECT_EQ(msgs[0].number, 25);
    ASSERT_EQ(msgs[0].lines.size(), 2u);
    EXPECT_EQ(msgs[0].lines[1], "      EQCORE.  Option Set.");
}

// An empty list starts the engine and computes nothing.
TEST_F(ChonPure, EmptyListOnlyStartsTheEngine) {
    const auto h = scene.mdmon8({426, {}, 400.0, 1e5, {}, {1, 0, 0, 0}});
    EXPECT_EQ(h[0], kUntouched);
    EXPECT_TRUE(ftn::truth(DMS_EQLINK[0].i()));
    EXPECT_TRUE(property_messages().empty());
}

// One hundred components on one constituent, each with its own amount:
// positions 9, 10 and 100 ("st09", "st10", "st100") each read their own
// stream, and a second call finds no amount of the first.
TEST(PureStreams, EveryPositionHasItsOwnStream) {
    std::vector<elvar::Component> comps;
    for (int k = 1; k <= 100; ++k) {
        std::string id = std::to_string(k);
        id.insert(0, 1, 'N');
        comps.push_back({id, "N2:G1", "N2", {}});
    }
    Scene scene(example("c-h-o-n.dat"), comps);
    const Species n2 = read_species(example("c-h-o-n.dat"), "N2");
    const double T = 600.0;
    std::vector<ftn::Int> list;
    std::vector<double> x;
    for (int k = 1; k <= 100; ++k) {
        list.push_back(k);
        x.push_back(k / 100.0);
    }
    for (int round = 0; round < 2; ++round) {
        const auto h = scene.mdmon8({416, list, T, 1e5, x, {1, 0, 0, 0}});
        for (std::size_t i = 0; i < 100; ++i) {
            const double expected = 1000 * x[i] * n2.H(T);
            ASSERT_NEAR(h[i], expected, rel(expected)) << "position " << i + 1 << ", call " << round + 1;
        }
    }
    EXPECT_TRUE(property_messages().empty());
}

// The trace of the vapour enthalpy routine and the entry line of the liquid
// enthalpy routine, when the trace switch is on.
TEST(PureTrace, EnthalpyTraceLines) {
    Scene scene(example("c-h-o-n.dat"), chon_components(), "", true);
    const Species n2 = read_species(example("c-h-o-n.dat"), "N2");
    scene.mdmon8({416, {kN2}, 500.0, 1e5, {0.1}, {1, 0, 0, 0}});
    scene.mdmon8({421, {kH2OLiq}, 298.15, 1e5, {1.0}, {1, 0, 0, 0}});
    const auto& lines = elvar::terminal_lines();
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("xin    1    1  100.00000"));
    char value[16];
    std::snprintf(value, sizeof value, "%10.2f", 100 * n2.H(500.0));
    EXPECT_TRUE(has(std::string("CAHV    1") + value));
    EXPECT_TRUE(has("CAHL: property code  421"));
}

}  // namespace
}  // namespace proptest
