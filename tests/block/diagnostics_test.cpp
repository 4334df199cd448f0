// Diagnostics: the engine's listing in the host report, the mass-balance
// lines, the mixed-outlet summary and the error text of a failed
// equilibrium.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "block_scene.hpp"

namespace blocktest {
namespace {

using elvar::SubstreamType;
using elvar::SubstreamValues;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Ag-Cu at 1000 K: both solids present; one outlet mixes them.
BlockSetup solids(const Scene& scene, ftn::Int level) {
    BlockSetup b;
    b.id = "MIX7";
    b.level = level;
    b.rpar = {1.0e5, 1000.0, 0.0, 0.0};
    b.types = {SubstreamType::mixed, SubstreamType::cisolid};
    SubstreamValues liquid, solid;
    liquid.flows = scene.flows({{"AGL", 0.6e-3}});
    liquid.T = 1300.0;
    liquid.P = 1.0e5;
    solid.flows = scene.flows({{"CUS", 0.4e-3}});
    solid.T = 298.15;
    solid.P = 1.0e5;
    b.inlets = {{liquid, solid}};
    return b;
}

TEST(BlockDiagnostics, ListingIsCopiedBetweenLinesNamingTheBlock) {
    {
        Scene scene(example("ag-cu-example.dat"), agcu_components(), true);
        scene.call(solids(scene, 4));
        // Each listing line after six blanks, then the empty line before END.
        std::vector<std::string> listing;
        {
            std::ifstream in("eqclist.txt");
            for (std::string line; std::getline(in, line);) {
                while (!line.empty() && line.back() == ' ') line.pop_back();
                listing.push_back("      " + line);
            }
        }
        ASSERT_GT(listing.size(), 3u);
        listing.push_back("");
        const auto report = lines_of(scene.report());
        const auto begin = std::find(report.begin(), report.end(), "      === BEGIN EQCORE DIAGNOSTICS FOR BLOCK MIX7     ===");
        ASSERT_NE(begin, report.end());
        ASSERT_TRUE(begin != report.begin() && (begin - 1)->empty());
        const auto end = std::find(begin, report.end(), "      === END OF EQCORE DIAGNOSTICS FOR BLOCK MIX7     ===");
        ASSERT_NE(end, report.end());
        EXPECT_EQ(std::vector<std::string>(begin + 1, end), listing);
    }

    // Without the trace switch nothing is copied and nothing is traced.
    Scene quiet(example("ag-cu-example.dat"), agcu_components(), false);
    quiet.call(solids(quiet, 4));
    EXPECT_EQ(quiet.report().find("EQCORE DIAGNOSTICS"), std::string::npos);
    EXPECT_TRUE(std::none_of(elvar::terminal_lines().begin(), elvar::terminal_lines().end(),
                             [](const std::string& l) { return l.find("EQULIBRIUM") != std::string::npos; }));
}

TEST(BlockDiagnostics, MassBalanceOfAMixedOutletFromLevelEight) {
    Scene scene(example("ag-cu-example.dat"), agcu_components(), true);
    scene.call(solids(scene, 7));
    EXPECT_EQ(scene.report().find("checking sin and sout"), std::string::npos);
    EXPECT_EQ(scene.report().find("moles in="), std::string::npos);

    const auto out = scene.call(solids(scene, 8));
    const auto report = lines_of(scene.report());
    auto count = [&](const std::string& head) {
        return std::count_if(report.begin(), report.end(),
                             [&](const std::string& l) { return l.rfind(head, 0) == 0; });
    };
    EXPECT_EQ(count(" checking sin and sout"), 1);
    // Two inlet substreams with flow; one outlet substream (the solids).
    EXPECT_EQ(count(" moles in="), 2);
    EXPECT_EQ(count(" mass in="), 2);
    EXPECT_EQ(count(" moles out="), 1);
    EXPECT_EQ(count(" mass out="), 1);
    // Flows that add up exactly to their totals write no "sum" line.
    EXPECT_EQ(count(" sum, sin="), 0);
    // The feed lines at level 8, in kmol/s.
    EXPECT_GE(count("Index "), 2);
    const auto solid = out.outlet(0, 1);
    EXPECT_NEAR(solid.total, 1e-3, 1e-15);
    EXPECT_TRUE(scene.terminal_has(std::string(23, ' ') + " SUBSTREAM NUMBER  2"));
    EXPECT_TRUE(scene.terminal_has(std::string(27, ' ') + "  Total moles  = " + std::string(12, ' ') + "0.00100 kmol/s"));
    EXPECT_TRUE(scene.terminal_has(std::string(27, ' ') + "  Temperature  = " + std::string(9, ' ') + "1000.00000"));
}

TEST(BlockDiagnostics, FailedEquilibriumShowsTheEngineTextWithoutTrace) {
    // Precipitation from a pure phase is not a target the engine solves.
    Scene scene(example("ag-cu-example.dat"), agcu_components(), false);
    BlockSetup b;
    b.ipar = {4, 2, 0, 0};
    b.rpar = {1.0e5, 1000.0, 1400.0, 0.0};
    b.products = {"CU(S)", "LIQUID"};
    b.types = {SubstreamType::mixed, SubstreamType::cisolid};
    SubstreamValues v;
    v.flows = scene.flows({{"CUL", 1e-3}});
    v.T = 1500.0;
    v.P = 1.0e5;
    b.inlets = {{v}};
    const auto out = scene.call(b);
    const auto* failed = scene.find(44);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->severity, 2);
    ASSERT_EQ(failed->lines.size(), 4u);
    EXPECT_EQ(failed->lines[0], "");
    EXPECT_EQ(failed->lines[1].rfind("EQCORE error", 0), 0u);
    const auto& terminal = elvar::terminal_lines();
    EXPECT_NE(std::find(terminal.begin(), terminal.end(), failed->lines[1]), terminal.end());
    // The heat duty cannot be read after it: the block ends there.
    EXPECT_TRUE(scene.reported(46));
    EXPECT_EQ(out.args.soutlt[0], 0.0);
    EXPECT_FALSE(stream_exists("STRM01M"));
}

}  // namespace
}  // namespace blocktest
