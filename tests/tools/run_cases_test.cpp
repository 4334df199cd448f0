// Every example case through the tool: its JSON against a golden file
// (numbers to 1e-9 relative), the report file beside it. Set
// EQLINK_REGENERATE_GOLDEN=1 to rewrite the golden files deliberately.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

// Heat flows (W) that should be zero, such as the duty left by an adiabatic
// flash, are the solver's residual: compared to 1 mW, far below any heat
// flow of the cases, rather than relative to their own tiny size.
double absolute_floor(const std::string& path) {
    for (const char* key : {".qcalc", ".duty", ".heat_out"})
        if (path.find(key) != std::string::npos) return 1e-3;
    return 0.0;
}

// Differences between `got` and `want`, each with its JSON path.
void compare(const json& got, const json& want, const std::string& path, std::vector<std::string>& diffs) {
    if (want.is_number() && got.is_number()) {
        const double a = got.get<double>(), b = want.get<double>();
        if (std::fabs(a - b) > 1e-9 * std::max(std::fabs(a), std::fabs(b)) + absolute_floor(path))
            diffs.push_back(path + ": " + got.dump() + " instead of " + want.dump());
        return;
    }
    if (got.type() != want.type()) {
        diffs.push_back(path + ": " + got.dump() + " instead of " + want.dump());
        return;
    }
    if (want.is_object()) {
        for (auto it = want.begin(); it != want.end(); ++it) {
            if (!got.contains(it.key())) diffs.push_back(path + "." + it.key() + ": missing");
            else compare(got.at(it.key()), it.value(), path + "." + it.key(), diffs);
        }
        for (auto it = got.begin(); it != got.end(); ++it)
            if (!want.contains(it.key())) diffs.push_back(path + "." + it.key() + ": not expected");
    } else if (want.is_array()) {
        if (got.size() != want.size()) diffs.push_back(path + ": " + std::to_string(got.size()) + " items instead of " +
                                                       std::to_string(want.size()));
        for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i)
            compare(got[i], want[i], path + "[" + std::to_string(i) + "]", diffs);
    } else if (got != want) {
        diffs.push_back(path + ": " + got.dump() + " instead of " + want.dump());
    }
}

class ExampleCase : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleCase, JsonMatchesGoldenAndReportIsWritten) {
    const std::string name = GetParam();
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), words({"run --json", quoted_example(name + ".toml")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const json got = json::parse(r.out);
    const std::string golden = std::string(TOOLS_GOLDEN_DIR) + "/" + name + ".json";
    if (std::getenv("EQLINK_REGENERATE_GOLDEN")) std::ofstream(golden) << got.dump(2) << '\n';
    std::ifstream in(golden);
    ASSERT_TRUE(in) << "no golden file " << golden;
    const json want = json::parse(in);
    std::vector<std::string> diffs;
    compare(got, want, "$", diffs);
    for (std::size_t i = 0; i < diffs.size() && i < 20; ++i) ADD_FAILURE() << diffs[i];

    // The host report of the run is in the working directory, named after the case.
    EXPECT_FALSE(read_file(dir.path() / (name + ".rep")).empty());
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleCase,
                         ::testing::Values("demo", "property", "flash", "block", "quasichem", "zr-h"));

// Without a command the tool runs the bundled demo and prints its tables.
TEST(DemoCase, RunsWithoutArgumentsAsTables) {
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Case demo.toml on c-h-o-n.dat", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Calculation 2 (line "), std::string::npos);
    EXPECT_NE(r.out.find("Outlet 1"), std::string::npos);
    // The flash and the block leave the engine's listing in the working directory.
    EXPECT_FALSE(read_file(dir.path() / "eqclist.txt").empty());
}

// A pure-component code gives each component's property per kmol of it
// (x = 1 for each, the default): the same as the mixture routine of the
// solid for that component alone at x = 1.
TEST(PureComponentCode, IsPerKmolOfEachComponent) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "pure.toml",
               words({"data =", quoted_example("ag-cu-example.dat")}) + "\n"
               "[[component]]\nid = 'AGS'\nname = 'AG:S1'\nformula = 'Ag'\n"
               "[[component]]\nid = 'CUS'\nname = 'CU:S1'\nformula = 'Cu'\n"
               "[[calculation]]\nkind = 'property'\ncode = 426\nT = 1000.0\nP = 1e5\ncomponents = ['AGS', 'CUS']\n"
               "[[calculation]]\nkind = 'property'\ncode = 411\nT = 1000.0\nP = 1e5\ncomponents = ['AGS']\n"
               "x = [1.0]\n"
               "[[calculation]]\nkind = 'property'\ncode = 411\nT = 1000.0\nP = 1e5\ncomponents = ['CUS']\n"
               "x = [1.0]\n");
    const ToolRun r = run_tool(dir.path(), "run --json pure.toml");
    ASSERT_EQ(r.status, 0) << r.err;
    const json c = json::parse(r.out)["calculations"];
    EXPECT_NEAR(c[0]["prop"][0].get<double>(), c[1]["prop"][0].get<double>(), 1e-9 * std::fabs(c[1]["prop"][0].get<double>()));
    EXPECT_NEAR(c[0]["prop"][1].get<double>(), c[2]["prop"][0].get<double>(), 1e-9 * std::fabs(c[2]["prop"][0].get<double>()));
}

// A calculation the plug-in fails gives exit status 1, its messages in the
// results and a line on standard error naming the case's line.
TEST(FailedCalculation, ExitsWithOneAndNamesTheCalculation) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "fail.toml",
               words({"data =", quoted_example("ag-cu-example.dat")}) + "\n"
               "[[component]]\nid = 'AGL'\nname = 'AG:LIQU'\nformula = 'Ag'\n"
               "[[calculation]]\nkind = 'block'\ntype = 5\npressure = 1e5\nproducts = ['LIQUID']\n"
               "[[calculation.inlet]]\nmixed = { AGL = 0.001 }\n");
    const ToolRun r = run_tool(dir.path(), "run --json fail.toml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fail.toml:6: calculation 1 failed"), std::string::npos) << r.err;
    const json got = json::parse(r.out);
    const auto& messages = got["calculations"][0]["messages"];
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back()["routine"], "CATO P");
    EXPECT_EQ(messages.back()["number"], 3);
    EXPECT_EQ(messages.back()["lines"][0], "      CALCULATION TYPE   5 IS NOT DEFINED");
}

}  // namespace
}  // namespace tools_test
