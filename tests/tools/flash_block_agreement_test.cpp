// A stream flashed and the same stream leaving an equilibrium block at the
// same state are the same stream to the host: the same flows, enthalpy,
// entropy and density. The host mixes streams from both, so an entropy on
// another basis in one of them would make every entropy-based operation
// downstream wrong. Checked for a gas with graphite (each phase in an outlet
// of its own, and both mixed into one outlet) and for a liquid solution.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

std::string components(std::initializer_list<std::array<const char*, 3>> list) {
    std::string s;
    for (const auto& [id, name, formula] : list)
        s += std::string("[[component]]\nid = \"") + id + "\"\nname = \"" + name +
             "\"\nformula = \"" + formula + "\"\n";
    return s;
}

// The case: a TP flash with chemistry at T, then fixed-temperature blocks at
// the same T and P on the same feed, their products every component, one
// for each number of outlets given.
std::string flash_then_blocks(const std::string& data, const std::string& comps,
                              const std::string& products, const std::string& feed,
                              const std::string& T, std::initializer_list<int> outlets) {
    std::string s = "data = " + data + "\n" + comps;
    s += "[[calculation]]\nkind = \"flash\"\nmode = \"TP\"\nT = " + T +
         "\nP = 101325.0\nchemistry = true\n[calculation.feed]\n" + feed;
    for (int n : outlets)
        s +=
            "[[calculation]]\nkind = \"block\"\ntype = 1\npressure = 101325.0\ntemperature = " + T +
            "\nproducts = [" + products + "]\noutlets = " + std::to_string(n) +
            "\nsubstreams = [\"MIXED\", \"CISOLID\"]\n[[calculation.inlet]]\n" + feed;
    return s;
}

json run_case(const testing_support::ScratchDir& dir, const std::string& text) {
    write_file(dir.path(), "agree.toml", text);
    const ToolRun r = run_tool(dir.path(), "run --json agree.toml");
    EXPECT_EQ(r.status, 0) << r.err;
    return json::parse(r.out)["calculations"];
}

// Every quantity of the flashed substream against the block's; a density
// the flash leaves missing (a condensed phase without molar volume) is not
// compared: the block gives such a phase a density of its own.
void expect_same_substream(const json& flashed, const json& left, const std::string& what) {
    for (const char* q : {"total", "T", "P", "h", "s", "rho", "mw", "vfrac", "lfrac"}) {
        if (flashed[q].is_null() && std::string(q) == "rho") continue;
        ASSERT_TRUE(flashed[q].is_number() && left[q].is_number()) << what << " " << q;
        const double a = flashed[q].get<double>(), b = left[q].get<double>();
        EXPECT_NEAR(b, a, 1e-8 * std::fabs(a) + 1e-12) << what << " " << q;
    }
    for (const auto& [id, flow] : flashed["flows"].items())
        EXPECT_NEAR(left["flows"][id].get<double>(), flow.get<double>(),
                    1e-8 * flow.get<double>() + 1e-15)
            << what << " flow of " << id;
}

TEST(FlashAndBlock, GasAndGraphiteLeaveBothWithTheSameProperties) {
    testing_support::ScratchDir dir;
    const std::string comps = components({{"CH4", "CH4:G1", "CH4"},
                                          {"O2", "O2:G1", "O2"},
                                          {"N2", "N2:G1", "N2"},
                                          {"CO2", "CO2:G1", "CO2"},
                                          {"CO", "CO:G1", "CO"},
                                          {"H2O", "H2O:G1", "H2O"},
                                          {"H2", "H2:G1", "H2"},
                                          {"OH", "OH:G1", "OH"},
                                          {"H", "H:G1", "H"},
                                          {"O", "O:G1", "O"},
                                          {"NO", "NO:G1", "NO"},
                                          {"GRAPH", "C:S1", "C"}});
    const std::string products =
        "\"CH4\", \"O2\", \"N2\", \"CO2\", \"CO\", \"H2O\", \"H2\", \"OH\", \"H\", \"O\", "
        "\"NO\", \"GRAPH\"";
    const std::string feed =
        "T = 298.15\nP = 101325.0\nmixed = { CH4 = 0.1, O2 = 0.02, N2 = 0.01 }\ncisolid = { GRAPH "
        "= 0.01 }\n";
    const json c = run_case(dir, flash_then_blocks(quoted_example("c-h-o-n.dat"), comps, products,
                                                   feed, "1000.0", {2, 1}));
    const json& flashed = c[0]["stream"];
    // Graphite is stable at 1000 K: both substreams carry material.
    ASSERT_GT(flashed["cisolid"]["total"].get<double>(), 0.0);
    ASSERT_GT(flashed["mixed"]["total"].get<double>(), 0.0);
    // Two outlets: the gas alone in the first, graphite alone in the second.
    expect_same_substream(flashed["mixed"], c[1]["outlets"][0]["mixed"], "gas alone");
    expect_same_substream(flashed["cisolid"], c[1]["outlets"][1]["cisolid"], "graphite alone");
    // One outlet: both phases mixed into it.
    expect_same_substream(flashed["mixed"], c[2]["outlets"][0]["mixed"], "gas mixed");
    expect_same_substream(flashed["cisolid"], c[2]["outlets"][0]["cisolid"], "graphite mixed");
    // Pure N2 would be 191.6 J/(mol K) absolute and 0 at 298.15 K relative to
    // the elements: the gas entropy per kg is far below the absolute value.
    EXPECT_LT(flashed["mixed"]["s"].get<double>(), 8000.0);
}

TEST(FlashAndBlock, LiquidSolutionLeavesBothWithTheSameProperties) {
    testing_support::ScratchDir dir;
    const std::string comps = components({{"AGL", "AG:LIQU", "Ag"}, {"CUL", "CU:LIQU", "Cu"}});
    const std::string feed = "T = 1400.0\nP = 101325.0\nmixed = { AGL = 0.0006, CUL = 0.0004 }\n";
    // The liquid at 1400 K, above the liquidus.
    const json c = run_case(dir, flash_then_blocks(quoted_example("ag-cu-example.dat"), comps,
                                                   "\"AGL\", \"CUL\"", feed, "1400.0", {1}));
    const json& flashed = c[0]["stream"]["mixed"];
    ASSERT_EQ(flashed["lfrac"].get<double>(), 1.0);
    expect_same_substream(flashed, c[1]["outlets"][0]["mixed"], "liquid");
}

}  // namespace
}  // namespace tools_test
