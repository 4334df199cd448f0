// Outlet distribution: phases into outlets by phase index, the mixed last
// outlet, properties per phase kind, and phases the host cannot express.
#include <gtest/gtest.h>

#include <cmath>

#include "block_scene.hpp"

namespace blocktest {
namespace {

using elvar::kRmiss;
using elvar::SubstreamType;
using elvar::SubstreamValues;

// Methane, oxygen and nitrogen at 300 K: gas (phase 1), graphite (phase 2)
// and liquid water (phase 3) at equilibrium.
BlockSetup three_phases(const Scene& scene, ftn::Int outlets, ftn::Int level = 4) {
    BlockSetup b;
    b.rpar = {1.0e5, 300.0, 0.0, 0.0};
    b.types = {SubstreamType::mixed, SubstreamType::cisolid};
    b.outlets = outlets;
    b.level = level;
    SubstreamValues v;
    v.flows = scene.flows({{"CH4", 1e-3}, {"O2", 1e-3}, {"N2", 1e-3}});
    v.T = 300.0;
    v.P = 1.0e5;
    b.inlets = {{v}};
    return b;
}

double sum_flows(const SubstreamValues& v) {
    double s = 0.0;
    for (double f : v.flows) s += f;
    return s;
}

TEST(BlockOutlets, ThreePhasesIntoThreeOutletsOnePhaseEach) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    const auto out = scene.call(three_phases(scene, 3, 8));
    const auto gas = out.outlet(0);
    const auto graphite = out.outlet(1, 1);
    const auto water = out.outlet(2);

    EXPECT_EQ(gas.vfrac, 1.0);
    EXPECT_EQ(gas.lfrac, 0.0);
    EXPECT_NEAR(gas.total, sum_flows(gas), 1e-15);
    EXPECT_GT(out.flow(0, scene.comp("N2")), 0.0);

    EXPECT_GT(out.flow(1, scene.comp("GRAPH"), 1), 0.0);
    EXPECT_EQ(graphite.vfrac, 0.0);
    EXPECT_EQ(graphite.lfrac, 0.0);
    EXPECT_DOUBLE_EQ(graphite.mw.value(), scene.run().mw(scene.comp("GRAPH")));
    // No molar volumes in the data file: the phase alone gets 2000 kg/m3.
    EXPECT_EQ(graphite.rho, 2000.0);
    EXPECT_EQ(water.rho, 2000.0);
    EXPECT_TRUE(scene.reported(12));
    EXPECT_EQ(scene.find(12)->lines[0], "      EQCORE PHASE   2 HAS NO VOLUME.  IT IS ASSIGNED A DENSITY");
    EXPECT_EQ(scene.find(12)->severity, 3);
    // The graphite outlet's mixed substream and the gas's solid one stay
    // cleared.
    EXPECT_EQ(out.outlet(1, 0).total, 0.0);
    EXPECT_EQ(out.outlet(1, 0).T, kRmiss);
    EXPECT_EQ(out.outlet(0, 1).total, 0.0);

    EXPECT_EQ(water.vfrac, 0.0);
    EXPECT_EQ(water.lfrac, 1.0);
    EXPECT_GT(out.flow(2, scene.comp("H2OL")), 0.0);
    EXPECT_DOUBLE_EQ(water.T, 300.0);

    // Every phase has its own outlet: no mass balance, even at level 8.
    EXPECT_EQ(scene.report().find("checking sin and sout"), std::string::npos);
}

TEST(BlockOutlets, PhasesBeyondTheOutletsAreMixedIntoTheLast) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    const auto three = scene.call(three_phases(scene, 3));
    const double gas_flow = three.outlet(0).total;
    const double graphite_flow = three.outlet(1, 1).total;
    const double water_flow = three.outlet(2).total;
    const double gas_h = three.outlet(0).h * gas_flow * three.outlet(0).mw.value();
    const double water_h = three.outlet(2).h * water_flow * three.outlet(2).mw.value();

    // Two outlets: the gas alone, then graphite and water together.
    elvar::clear_message_log();
    const auto two = scene.call(three_phases(scene, 2));
    EXPECT_NEAR(two.outlet(0).total, gas_flow, 1e-15);
    const auto mixed = two.outlet(1);
    const auto solid = two.outlet(1, 1);
    EXPECT_NEAR(mixed.total, water_flow, 1e-15);
    EXPECT_EQ(mixed.vfrac, 0.0);
    EXPECT_EQ(mixed.lfrac, 1.0);
    EXPECT_EQ(mixed.rho, kRmiss);  // no volume: missing, without a message
    EXPECT_NEAR(solid.total, graphite_flow, 1e-15);
    EXPECT_EQ(solid.vfrac, 0.0);
    EXPECT_EQ(solid.rho, kRmiss);
    EXPECT_TRUE(scene.reported(27));
    EXPECT_FALSE(scene.asked(12));

    // One outlet: all three mixed; vapour and liquid share the mixed
    // substream by their flows.
    elvar::clear_message_log();
    const auto one = scene.call(three_phases(scene, 1));
    const auto all = one.outlet(0);
    EXPECT_NEAR(all.total, gas_flow + water_flow, 1e-15);
    EXPECT_NEAR(all.vfrac, gas_flow / (gas_flow + water_flow), 1e-12);
    EXPECT_NEAR(all.lfrac, water_flow / (gas_flow + water_flow), 1e-12);
    EXPECT_NEAR(all.total * all.mw.value() * all.h, gas_h + water_h, 1e-9 * std::fabs(gas_h + water_h));
    EXPECT_NEAR(one.outlet(0, 1).total, graphite_flow, 1e-15);
    EXPECT_DOUBLE_EQ(all.T, 300.0);
}

TEST(BlockOutlets, FiveOutletsTwoPhasesLeaveTheRestCleared) {
    // 2 H2 + 2 O2 at 350 K: oxygen with water vapour, and liquid water.
    Scene scene(example("c-h-o-n.dat"), chon_components());
    BlockSetup b;
    b.rpar = {1.0e5, 350.0, 0.0, 0.0};
    b.outlets = 5;
    SubstreamValues v;
    v.flows = scene.flows({{"H2", 2e-3}, {"O2", 2e-3}});
    v.T = 298.15;
    v.P = 1.0e5;
    b.inlets = {{v}};
    const auto out = scene.call(b);
    // Reference: O2 1.0, H2O 0.70436109464 (gas), 1.29563890536 (liquid) mol.
    EXPECT_NEAR(out.flow(0, scene.comp("O2")), 1.0e-3, 1e-12);
    EXPECT_NEAR(out.flow(0, scene.comp("H2O")), 0.7043610946393153e-3, 1e-12);
    EXPECT_NEAR(out.flow(1, scene.comp("H2OL")), 1.2956389053606847e-3, 1e-12);
    for (std::size_t o = 2; o < 5; ++o) {
        const auto rest = out.outlet(o);
        EXPECT_EQ(sum_flows(rest), 0.0);
        EXPECT_EQ(rest.total, 0.0);
        for (double w : {rest.T, rest.P, rest.h, rest.vfrac, rest.lfrac, rest.s, rest.rho, rest.mw.value()})
            EXPECT_EQ(w, kRmiss);
    }
}

TEST(BlockOutlets, ConstituentsWithoutComponentsWarnOrEndTheBlock) {
    // No host component for methane: present in the gas, it is left out of
    // the mixed outlet with a warning.
    auto without = [](const std::string& id) {
        auto c = chon_components();
        std::erase_if(c, [&](const elvar::Component& s) { return s.id == id; });
        return c;
    };
    {
        Scene scene(example("c-h-o-n.dat"), without("CH4"));
        BlockSetup b;
        b.rpar = {1.0e5, 300.0, 0.0, 0.0};
        b.types = {SubstreamType::mixed, SubstreamType::cisolid};
        SubstreamValues v;
        v.flows = scene.flows({{"GRAPH", 1e-3}, {"H2", 1e-3}, {"N2", 1e-3}});
        v.T = 300.0;
        v.P = 1.0e5;
        b.inlets = {{v}};
        const auto out = scene.call(b);
        const auto* m = scene.find(13);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->severity, 2);
        EXPECT_EQ(m->lines[0].substr(0, 61), "      EQCORE calculations indicate that data-file constituent");
        EXPECT_EQ(m->lines[1].substr(0, 30), "      in data-file phase   1 i");
        EXPECT_GT(out.outlet(0).total, 0.0);
        EXPECT_FALSE(stream_exists("STRM01M"));
    }
    // No host component for graphite: a phase with nothing to put in the
    // outlet ends the block, mixed or alone, and the streams are removed.
    for (ftn::Int outlets : {1, 3}) {
        Scene scene(example("c-h-o-n.dat"), without("GRAPH"));
        BlockSetup b;
        b.rpar = {1.0e5, 300.0, 0.0, 0.0};
        b.outlets = outlets;
        SubstreamValues v;
        v.flows = scene.flows({{"CO", 2e-3}, {"N2", 1e-3}});
        v.T = 300.0;
        v.P = 1.0e5;
        b.inlets = {{v}};
        scene.call(b);
        const auto* m = scene.find(14);
        ASSERT_NE(m, nullptr) << outlets;
        EXPECT_EQ(m->lines.back(), "      Block calculations are terminated.");
        EXPECT_FALSE(stream_exists("STRM01M"));
    }
}

TEST(BlockOutlets, SolidsWithoutASolidSubstreamStayOutOfTheStream) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    for (ftn::Int outlets : {1, 3}) {
        elvar::clear_message_log();
        auto b = three_phases(scene, outlets);
        b.types = {SubstreamType::mixed};
        SubstreamValues v;
        v.flows = scene.flows({{"CH4", 1e-3}, {"O2", 1e-3}, {"N2", 1e-3}});
        v.T = 300.0;
        v.P = 1.0e5;
        b.inlets = {{v}};
        const auto out = scene.call(b);
        const auto* m = scene.find(0);
        ASSERT_NE(m, nullptr) << outlets;
        EXPECT_EQ(m->lines[2], "      STREAM(S) DO NOT HAVE A CISOLID SUBSTREAM");
        EXPECT_EQ(out.flow(0, scene.comp("GRAPH")), 0.0);
    }
}

}  // namespace
}  // namespace blocktest
