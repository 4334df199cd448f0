// Feed and heat balance: which inlet substreams become engine streams and
// under which names, inlets the engine cannot take, and the heat streams.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "block_scene.hpp"

namespace blocktest {
namespace {

using elvar::SubstreamType;
using elvar::SubstreamValues;

std::string listing() {
    std::ifstream in("eqclist.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Liquid Ag-Cu at 1500 K from `inlets` inlets of 1e-4 kmol/s each.
BlockSetup liquid(const Scene& scene, std::size_t inlets, std::vector<SubstreamType> types = {SubstreamType::mixed}) {
    BlockSetup b;
    b.rpar = {1.0e5, 1500.0, 0.0, 0.0};
    b.types = std::move(types);
    SubstreamValues v;
    v.flows = scene.flows({{"AGL", 0.6e-4}, {"CUL", 0.4e-4}});
    v.T = 1500.0;
    v.P = 1.0e5;
    b.inlets.assign(inlets, {v});
    return b;
}

TEST(BlockFeed, InletSubstreamsBecomeNamedEngineStreams) {
    Scene scene(example("ag-cu-example.dat"), agcu_components(), true);
    auto b = liquid(scene, 10, {SubstreamType::mixed, SubstreamType::cisolid});
    SubstreamValues solid;
    solid.flows = scene.flows({{"CUS", 1e-4}});
    solid.T = 298.15;
    solid.P = 1.0e5;
    b.inlets[9].push_back(solid);  // the tenth inlet also has solid copper
    const auto out = scene.call(b);
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    const std::string text = listing();
    for (const char* name : {"STRM01M", "STRM02M", "STRM09M", "STRM10M", "STRM10S"})
        EXPECT_NE(text.find(name), std::string::npos) << name;
    EXPECT_EQ(text.find("STRM01S"), std::string::npos);
    EXPECT_TRUE(scene.terminal_has("Stream  1      sub-stream 1      Tin= 1500.00      Pin=100000.00"));
    EXPECT_TRUE(scene.terminal_has("Stream 10      sub-stream 2      Tin=  298.15      Pin=100000.00"));
    // Ag(liq): map record 3, after the two gases.
    EXPECT_TRUE(scene.terminal_has("Index   3    phase   2   constituent   1   Amount= 6.00000000E-02"));
    EXPECT_NEAR(out.outlet(0).total, 1.1e-3, 1e-15);
    // The streams are gone once the block has ended.
    EXPECT_FALSE(stream_exists("STRM01M"));
    EXPECT_FALSE(stream_exists("STRM10S"));
}

TEST(BlockFeed, InletsFromOneHundredOnTakeThreeDigits) {
    Scene scene(example("ag-cu-example.dat"), agcu_components());
    const auto out = scene.call(liquid(scene, 100));
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    EXPECT_NE(listing().find("STRM100M"), std::string::npos);
    EXPECT_NEAR(out.outlet(0).total, 1.0e-2, 1e-14);
}

TEST(BlockFeed, SubstreamsWithoutFlowEnterNothing) {
    // An unmapped component with flow in inlets whose total is 0, negative
    // or missing: no stream, no message; the first inlet alone counts.
    Scene scene(example("ag-cu-example.dat"), {{"AGL", "AG:LIQU", "Ag", {}},
                                               {"CUL", "CU:LIQU", "Cu", {}},
                                               {"XX", "XYZ:G1", "N", {}}});
    auto b = liquid(scene, 4);
    for (std::size_t m = 1; m < 4; ++m) b.inlets[m][0].flows = scene.flows({{"XX", 1e-3}});
    const auto len = static_cast<std::size_t>(scene.ncomp() + 9);
    b.tweak = [len, nc = static_cast<std::size_t>(scene.ncomp())](elvar::BlockArgs& a) {
        a.sinlet[1 * len + nc] = 0.0;
        a.sinlet[2 * len + nc] = -1.0;
        a.sinlet[3 * len + nc] = elvar::kRmiss;
    };
    const auto out = scene.call(b);
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    EXPECT_NEAR(out.outlet(0).total, 1e-4, 1e-16);

    // With flow the unmapped component ends the block, however small.
    elvar::clear_message_log();
    auto c = liquid(scene, 1);
    c.inlets[0][0].flows[static_cast<std::size_t>(scene.comp("XX") - 1)] = 1e-30;
    const auto ended = scene.call(c);
    const auto* m = scene.find(36);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->lines, (std::vector<std::string>{"      Attempt to use an Elvar component as a reactant in",
                                                  "EQCORE block"}));
    EXPECT_EQ(ended.args.soutlt[0], 0.0);
    EXPECT_FALSE(stream_exists("STRM01M"));
}

TEST(BlockFeed, NonconventionalSubstreamsOnlyWithoutFlow) {
    Scene scene(example("ag-cu-example.dat"), agcu_components());
    auto b = liquid(scene, 2, {SubstreamType::mixed, SubstreamType::noncon});
    // The non-conventional total flow word follows the DMS_NCOMP word 2
    // (0 here) component words: the substream's first word.
    const auto out = scene.call(b);
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    EXPECT_NEAR(out.outlet(0).total, 2e-4, 1e-16);

    SubstreamValues nc;
    nc.flows = scene.flows({{"AGL", 1e-3}});
    b.inlets[1].push_back(nc);
    const auto ended = scene.call(b);
    const auto* m = scene.find(34);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->lines, std::vector<std::string>{"      Non-conventional streams not allowed in EQCORE."});
    EXPECT_EQ(ended.args.soutlt[0], 0.0);
    // The first inlet's stream was already defined: it is removed all the same.
    EXPECT_FALSE(stream_exists("STRM01M"));
}

TEST(BlockFeed, HeatOutletGetsTheInletHeatLessTheDuty) {
    // Pure liquid silver and copper entering at 1500 K leave as one liquid
    // at 1500 K: the duty is the heat of mixing, n x_Ag x_Cu (L0 - T dL0/dT)
    // with L0 = 19000 - 3 T J/mol: 0.1 mol/s * 0.24 * 19000 J/mol = 456 W.
    Scene scene(example("ag-cu-example.dat"), agcu_components());
    auto b = liquid(scene, 2);
    b.inlets[0][0].flows = scene.flows({{"AGL", 0.6e-4}});
    b.inlets[1][0].flows = scene.flows({{"CUL", 0.4e-4}});
    b.heat_in = {100.0, 200.0, 300.0};
    const auto one = scene.call(b);
    const double duty = one.args.rpar[3];
    EXPECT_NEAR(duty, 456.0, 1e-6);
    EXPECT_DOUBLE_EQ(one.args.htout[0], 600.0 - duty);
    EXPECT_FALSE(scene.asked(47));

    b.heat_outlets = 2;
    const auto two = scene.call(b);
    EXPECT_TRUE(scene.reported(47));
    EXPECT_NEAR(two.args.rpar[3], 456.0, 1e-6);
    EXPECT_DOUBLE_EQ(two.args.htout[0], 600.0 - two.args.rpar[3]);
    EXPECT_EQ(two.args.htout[1], 0.0);

    b.heat_outlets = 0;
    const auto none = scene.call(b);
    EXPECT_EQ(none.args.htout[0], 0.0);
    EXPECT_NEAR(none.args.rpar[3], duty, 1e-9);
}

}  // namespace
}  // namespace blocktest
