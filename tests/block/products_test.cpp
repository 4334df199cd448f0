// Product selection: what each kind of product name enters in the engine
// (read back as phase statuses after the block), targets, and the names
// that match nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "block_scene.hpp"

namespace blocktest {
namespace {

using elvar::SubstreamValues;

SubstreamValues inlet(const Scene& scene, const std::vector<std::pair<std::string, double>>& kmol, double T) {
    SubstreamValues v;
    v.flows = scene.flows(kmol);
    v.T = T;
    v.P = 1.0e5;
    return v;
}

// Ag-Cu liquid at 1500 K, type 1, with a product list and NPHNAM.
BlockSetup liquid_block(const Scene& scene, std::vector<std::string> products, ftn::Int nphnam,
                        ftn::Int type = 1) {
    BlockSetup b;
    b.ipar = {type, nphnam, 0, 0};
    b.rpar = {1.0e5, type >= 3 ? 1000.0 : 1500.0, 1200.0, 0.0};
    b.products = std::move(products);
    b.inlets = {{inlet(scene, {{"AGL", 0.6e-3}, {"CUL", 0.4e-3}}, 1500.0)}};
    return b;
}

std::vector<std::string> statuses(ftn::Int nph) {
    std::vector<std::string> s;
    for (ftn::Int p = 1; p <= nph; ++p) s.push_back(phase_status(p));
    return s;
}

TEST(BlockProducts, EmptyListEntersEveryPhaseButGivesNoTarget) {
    Scene scene(example("ag-cu-example.dat"), agcu_components(), true);
    // Leave every phase eliminated first, so that the empty list has work.
    scene.call(liquid_block(scene, {"LIQUID"}, 1));
    elvar::clear_terminal();
    const auto out = scene.call(liquid_block(scene, {}, 0));
    EXPECT_TRUE(scene.terminal_has("All species are possible products."));
    EXPECT_EQ(statuses(4), (std::vector<std::string>{"ENTERED", "ENTERED", "ENTERED", "ENTERED"}));
    EXPECT_GT(out.outlet(0).total, 0.0);

    for (const auto& products : {std::vector<std::string>{}, std::vector<std::string>{"", "LIQUID"}}) {
        elvar::clear_message_log();
        const auto target = scene.call(liquid_block(scene, products, 2, 3));
        const auto* m = scene.find(7);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->lines, (std::vector<std::string>{
                                "      A target option was selected, but no target was specified in the",
                                "      product list."}));
        EXPECT_EQ(target.args.soutlt[0], 0.0);
        EXPECT_FALSE(stream_exists("STRM01M"));
    }
}

TEST(BlockProducts, KeywordsEnterTheirClassOnlyInCapitals) {
    Scene scene(example("c-h-o-n.dat"), chon_components(), true);
    // Phases: 1 GAS, 2 graphite, 3 liquid water.
    struct Case {
        std::vector<std::string> products;
        std::vector<std::pair<std::string, double>> feed;
        std::vector<std::string> expected;
        std::string done;
    };
    const std::vector<Case> cases{
        {{"GAS"}, {{"N2", 2e-3}, {"O2", 1e-3}}, {"ENTERED", "ELIMINATED", "ELIMINATED"}, "All gases activated."},
        {{"GAS PHASE"}, {{"N2", 2e-3}, {"O2", 1e-3}}, {"ENTERED", "ELIMINATED", "ELIMINATED"}, "All gases activated."},
        {{"LIQ"}, {{"H2OL", 1e-3}}, {"ELIMINATED", "ELIMINATED", "ENTERED"}, "All liquids activated."},
        {{"SOL"}, {{"GRAPH", 1e-3}}, {"ELIMINATED", "ENTERED", "ELIMINATED"}, "All solids activated."},
    };
    for (const auto& c : cases) {
        elvar::clear_message_log();
        elvar::clear_terminal();
        BlockSetup b;
        b.rpar = {1.0e5, 300.0, 0.0, 0.0};
        b.products = c.products;
        b.types = {elvar::SubstreamType::mixed, elvar::SubstreamType::cisolid};
        b.inlets = {{inlet(scene, c.feed, 300.0)}};
        const auto out = scene.call(b);
        EXPECT_TRUE(scene.errors().empty()) << c.products[0] << scene.error_text();
        EXPECT_EQ(statuses(3), c.expected) << c.products[0];
        EXPECT_TRUE(scene.terminal_has(c.done)) << c.products[0];
    }
    // Lower case is no keyword: searched as a name, it matches nothing.
    elvar::clear_message_log();
    BlockSetup b;
    b.products = {"gas"};
    b.inlets = {{inlet(scene, {{"N2", 2e-3}, {"O2", 1e-3}}, 300.0)}};
    scene.call(b);
    const auto* m = scene.find(33);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->lines[0], "      Could not match product name gas" + std::string(21, ' ') + " with component ID");
    EXPECT_FALSE(stream_exists("STRM01M"));
}

TEST(BlockProducts, LiquidAndSolidKeywordsCannotBeTargetsButFollowOne) {
    Scene scene(example("ag-cu-example.dat"), agcu_components());
    for (const auto& [keyword, number] : {std::pair<std::string, ftn::Int>{"LIQ", 12}, {"SOL", 16}}) {
        elvar::clear_message_log();
        scene.call(liquid_block(scene, {keyword, "LIQUID"}, 2, 3));
        const auto* m = scene.find(number);
        ASSERT_NE(m, nullptr) << keyword;
        EXPECT_EQ(m->lines, std::vector<std::string>{"      Target calculations are not possible for this target phase."});
    }
    // After a target, "SOL" enters both solids. A liquid target is named by
    // a component of the liquid: "LIQUID" begins with the keyword LIQ.
    elvar::clear_message_log();
    scene.call(liquid_block(scene, {"CUL", "AGL", "SOL"}, 0, 4));
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    EXPECT_EQ(statuses(4), (std::vector<std::string>{"ELIMINATED", "ENTERED", "ENTERED", "ENTERED"}));
}

TEST(BlockProducts, PhaseNamesAreComparedUpperCasedWithinTheFirstNames) {
    Scene scene(example("ag-cu-example.dat"), agcu_components(), true);
    scene.call(liquid_block(scene, {"LIQUID"}, 1));
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    EXPECT_EQ(statuses(4), (std::vector<std::string>{"ELIMINATED", "ENTERED", "ELIMINATED", "ELIMINATED"}));
    EXPECT_TRUE(scene.terminal_has(std::string(11, ' ') + "====> Active.   2 ENTERED"));
    EXPECT_TRUE(scene.terminal_has("       Looking at Phase     LIQUID"));
    EXPECT_TRUE(scene.terminal_has("    Searching for string    1     LIQUID" + std::string(18, ' ') + "     lenth=    6"));

    // A pure phase by its upper-cased name; written as in the file it
    // matches nothing.
    scene.call(liquid_block(scene, {"LIQUID", "CU(S)"}, 2));
    EXPECT_EQ(phase_status(4), "ENTERED");
    elvar::clear_message_log();
    scene.call(liquid_block(scene, {"LIQUID", "Cu(s)"}, 2));
    EXPECT_TRUE(scene.reported(33));

    // Beyond the first NPHNAM names only component IDs are tried; a
    // parameter equal to the missing integer counts as 0.
    for (const auto& ipar : {std::vector<ftn::Int>{1, 0, 0, 0}, std::vector<ftn::Int>{1, elvar::kMissingInteger, 0, 0}}) {
        elvar::clear_message_log();
        auto b = liquid_block(scene, {"LIQUID"}, 0);
        b.ipar = ipar;
        scene.call(b);
        EXPECT_TRUE(scene.reported(33));
    }
    elvar::clear_message_log();
    auto b = liquid_block(scene, {"LIQUID"}, 0);
    b.ipar = {1, elvar::kMissingInteger, 1, 0};
    scene.call(b);
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
}

TEST(BlockProducts, SolutionCodeIsTriedBeforeLaterPhaseNames) {
    // Ag(s) renamed FCC; the dictionary gives the liquid the code FCC.
    std::ifstream in(example("ag-cu-example.dat"));
    std::stringstream text;
    text << in.rdbuf();
    std::string data = text.str();
    data.replace(data.find(" Ag(s)"), 6, " FCC");
    const std::string dictionary = "dictionary\n  1\n2    FCC     LIQUID\n";
    Scene scene("", {{"AGF", "AG:FCC", "Ag", {}}, {"CUF", "CU:FCC", "Cu", {}}}, false, dictionary, data);
    BlockSetup b;
    b.ipar = {1, 1, 0, 0};
    b.rpar = {1.0e5, 1500.0, 0.0, 0.0};
    b.products = {"FCC"};
    b.inlets = {{inlet(scene, {{"AGF", 0.6e-3}, {"CUF", 0.4e-3}}, 1500.0)}};
    const auto out = scene.call(b);
    EXPECT_TRUE(scene.errors().empty()) << scene.error_text();
    EXPECT_EQ(statuses(4), (std::vector<std::string>{"ELIMINATED", "ENTERED", "ELIMINATED", "ELIMINATED"}));
    EXPECT_NEAR(out.flow(0, scene.comp("CUF")), 0.4e-3, 1e-15);
}

TEST(BlockProducts, UnmatchedNamesEndTheBlockUnlessTheHostSuppressesTheMessage) {
    Scene scene(example("ag-cu-example.dat"),
                {{"AGL", "AG:LIQU", "Ag", {}}, {"CUL", "CU:LIQU", "Cu", {}}, {"XX", "XYZ:G1", "N", {}}});
    const auto refused = scene.call(liquid_block(scene, {"NOSUCH", "LIQUID"}, 2));
    EXPECT_TRUE(scene.reported(33));
    EXPECT_EQ(refused.args.soutlt[0], 0.0);

    // At level 0 the host lets no message through: the name is ignored.
    elvar::clear_message_log();
    auto b = liquid_block(scene, {"NOSUCH", "LIQUID"}, 2);
    b.level = 0;
    const auto out = scene.call(b);
    ASSERT_TRUE(scene.asked(33));
    EXPECT_FALSE(scene.reported(33));
    EXPECT_NEAR(out.outlet(0).total, 1.0e-3, 1e-15);

    // Ignored as the first name of a target calculation, it leaves no
    // target: the block ends there.
    elvar::clear_message_log();
    b = liquid_block(scene, {"NOSUCH", "CUL", "AGL"}, 0, 3);
    b.level = 0;
    const auto no_target = scene.call(b);
    EXPECT_TRUE(scene.asked(7));
    EXPECT_EQ(no_target.args.soutlt[0], 0.0);
    EXPECT_FALSE(stream_exists("STRM01M"));

    // A component ID whose component the engine does not know.
    elvar::clear_message_log();
    scene.call(liquid_block(scene, {"XX"}, 0));
    const auto* m = scene.find(28);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->lines[1], "      EQCORE block - Component ID is XX");
}

}  // namespace
}  // namespace blocktest
