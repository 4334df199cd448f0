// An ionic liquid through EQLINK: the host's components map onto the
// liquid's records (cation:anion, cation:Va, the neutral) like any
// solution's constituents; a flash and the liquidus block (type 3: the
// temperature where the sulphide is about to form) keep every element's
// flow.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <vector>
#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

// Atoms of Cu and S per component.
const std::map<std::string, std::pair<double, double>> kFormula = {
    {"CU2SL", {2, 1}}, {"CUL", {1, 0}}, {"SL", {0, 1}}, {"CU2SS", {2, 1}}, {"CUSS", {1, 1}}, {"CUS", {1, 0}}};

// Cu and S in the flows of every substream of a stream.
std::pair<double, double> elements(const json& stream) {
    double cu = 0.0, s = 0.0;
    for (const char* sub : {"mixed", "cisolid"}) {
        if (!stream.contains(sub) || !stream[sub].contains("flows")) continue;
        for (const auto& [id, flow] : stream[sub]["flows"].items()) {
            cu += kFormula.at(id).first * flow.get<double>();
            s += kFormula.at(id).second * flow.get<double>();
        }
    }
    return {cu, s};
}

TEST(IonicLiquid, FlashAndLiquidusBlockKeepTheElements) {
    testing_support::ScratchDir dir;
    std::string text = "data = \"" + std::string(EQCORE_IONIC_TEST_DIR) + "/ionic_example_1_gas.dat\"\n";
    for (const auto& [id, name, formula] : std::vector<std::array<const char*, 3>>{{"CU2SL", "CU+1:S-2:LIQU", "Cu2S"},
                                                                                  {"CUL", "CU+1:VA:LIQU", "Cu"},
                                                                                  {"SL", "S:LIQU", "S"},
                                                                                  {"CU2SS", "CU2S:S1", "Cu2S"},
                                                                                  {"CUSS", "CUS:S1", "CuS"},
                                                                                  {"CUS", "CU:S1", "Cu"}})
        text += std::string("[[component]]\nid = \"") + id + "\"\nname = \"" + name + "\"\nformula = \"" + formula + "\"\n";
    const std::string feed = "T = 1400.0\nP = 101325.0\nmixed = { CUL = 0.001, SL = 0.00045 }\ncisolid = {}\n";
    text += "[[calculation]]\nkind = \"flash\"\nmode = \"TP\"\nT = 1100.0\nP = 101325.0\nchemistry = true\n"
            "[calculation.feed]\n" + feed;
    text += "[[calculation]]\nkind = \"block\"\ntype = 3\npressure = 101325.0\ntmin = 1100.0\ntmax = 1370.0\n"
            "products = [\"CU2SS\", \"CU2SL\", \"CUL\", \"SL\", \"CUSS\", \"CUS\"]\noutlets = 1\n"
            "substreams = [\"MIXED\", \"CISOLID\"]\n[[calculation.inlet]]\n" + feed;
    write_file(dir.path(), "ionic.toml", text);
    const ToolRun r = run_tool(dir.path(), "run --json ionic.toml");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const json c = json::parse(r.out)["calculations"];
    const auto [cu_f, s_f] = elements(c[0]["stream"]);
    EXPECT_NEAR(cu_f, 0.001, 1e-12);
    EXPECT_NEAR(s_f, 0.00045, 1e-12);
    // At 1100 K the melt is saturated with Cu2S(s): both substreams carry material.
    EXPECT_GT(c[0]["stream"]["cisolid"]["flows"]["CU2SS"].get<double>(), 0.0);
    const json& out = c[1]["outlets"][0];
    const auto [cu_b, s_b] = elements(out);
    EXPECT_NEAR(cu_b, 0.001, 1e-12);
    EXPECT_NEAR(s_b, 0.00045, 1e-12);
    const double T = out["mixed"]["T"].get<double>();
    EXPECT_GT(T, 1100.0);
    EXPECT_LT(T, 1370.0);
}

}  // namespace
}  // namespace tools_test
