// Calculations the plug-in fails: exit status 1, standard error naming the
// case's line with the plug-in's message and the engine's last error under
// it, and no values shown, in the tables or the JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

std::string n2_case(const std::string& calculation) {
    return "data = \"" + example("c-h-o-n.dat") +
           "\"\n[[component]]\nid = \"N2\"\nname = \"N2:G1\"\nformula = \"N2\"\n"
           "[[component]]\nid = \"O2\"\nname = \"O2:G1\"\nformula = \"O2\"\n" +
           calculation;
}

// Lines 10 on: a property request on air.
std::string air_property(const std::string& code, const std::string& T, const std::string& P,
                         const std::string& x) {
    return "[[calculation]]\nkind = \"property\"\ncode = " + code + "\nT = " + T + "\nP = " + P +
           "\ncomponents = [\"N2\", \"O2\"]\nx = " + x + "\n";
}

struct Failure {
    const char* label;
    std::string calculation;
    std::string err;  // standard error, whole
};

class FailedProperty : public ::testing::TestWithParam<Failure> {};

TEST_P(FailedProperty, SaysThePluginMessageAndTheEngineCause) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "case.toml", n2_case(GetParam().calculation));
    const ToolRun r = run_tool(dir.path(), "run case.toml");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, GetParam().err);
    EXPECT_EQ(r.out.find("PROP(1)"), std::string::npos) << r.out;
}

const std::string kStep2 =
    "eqlink: case.toml:10: calculation 1 failed: Unknown EQCORE error in step 2 of property "
    "calculations.\n";

INSTANTIATE_TEST_SUITE_P(
    Causes, FailedProperty,
    ::testing::Values(
        // A property far outside the data's range used to come back as 1.8e18 J/kmol.
        Failure{"AboveTheUpperLimit", air_property("401", "1.0e6", "1e5", "[0.79, 0.21]"),
                kStep2 + "eqlink:   EQCORE error 53: temperature outside the limits\n"
                         "eqlink:   temperature 1000000 K of stream 'THERMO' outside the limits "
                         "220 K to 6000 K\n"},
        Failure{"BelowTheLowerLimit", air_property("402", "100.0", "1e5", "[0.79, 0.21]"),
                kStep2 + "eqlink:   EQCORE error 53: temperature outside the limits\n"
                         "eqlink:   temperature 100 K of stream 'THERMO' outside the limits 220 K "
                         "to 6000 K\n"},
        Failure{"ZeroKelvin", air_property("401", "0.0", "1e5", "[0.79, 0.21]"),
                kStep2 + "eqlink:   EQCORE error 33: invalid value\neqlink:   temperature 0 K of "
                         "stream 'THERMO'\n"},
        Failure{"ZeroPressure", air_property("401", "1000.0", "0.0", "[0.79, 0.21]"),
                kStep2 + "eqlink:   EQCORE error 33: invalid value\neqlink:   pressure 0 Pa of "
                         "stream 'THERMO'\n"},
        Failure{"NegativeFraction", air_property("401", "1000.0", "1e5", "[-0.1, 1.1]"),
                "eqlink: case.toml:10: calculation 1 failed: Unknown EQCORE error in step 5 of "
                "property "
                "calculations.\neqlink:   EQCORE error 44: invalid amount\n"
                "eqlink:   amount -100 mol of N2 in stream 'THERMO' (must be 0 or more)\n"},
        // A pure-component routine: one stream per component.
        Failure{
            "PureComponentAboveTheLimit",
            "[[calculation]]\nkind = \"property\"\ncode = 416\nT = 7000.0\nP = 1e5\ncomponents = "
            "[\"N2\"]\n",
            "eqlink: case.toml:10: calculation 1 failed: Unknown EQCORE error in step 5 of "
            "property "
            "calculations.\neqlink:   EQCORE error 53: temperature outside the limits\n"
            "eqlink:   temperature 7000 K of stream 'st01' outside the limits 220 K to 6000 K\n"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// JSON: a failed calculation says so, with the plug-in's message and the
// engine's error, and every result null; the others carry failed = false.
TEST(FailedCalculationJson, ResultsAreNullAndTheCauseIsGiven) {
    testing_support::ScratchDir dir;
    write_file(
        dir.path(), "case.toml",
        n2_case(
            air_property("401", "1000.0", "1e5", "[0.79, 0.21]") +
            air_property("401", "1.0e6", "1e5", "[0.79, 0.21]") +
            "[[calculation]]\nkind = \"block\"\ntype = 7\npressure = 1e5\nproducts = [\"GAS\"]\n"
            "[[calculation.inlet]]\nmixed = { N2 = 1.0 }\n"));
    const ToolRun r = run_tool(dir.path(), "run --json case.toml");
    EXPECT_EQ(r.status, 1);
    const json c = json::parse(r.out)["calculations"];
    EXPECT_EQ(c[0]["failed"], false);
    EXPECT_TRUE(c[0]["failure"].is_null());
    EXPECT_TRUE(c[0]["prop"][0].is_number());

    EXPECT_EQ(c[1]["failed"], true);
    EXPECT_EQ(c[1]["failure"], "Unknown EQCORE error in step 2 of property calculations.");
    EXPECT_EQ(c[1]["engine_error"][0], "EQCORE error 53: temperature outside the limits");
    EXPECT_TRUE(c[1]["prop"].is_null());

    EXPECT_EQ(c[2]["failed"], true);
    EXPECT_EQ(c[2]["failure"], "CALCULATION TYPE   7 IS NOT DEFINED");
    EXPECT_TRUE(c[2]["engine_error"].empty());  // the engine was never asked
    for (const char* key : {"duty", "heat_out", "outlets"}) EXPECT_TRUE(c[2][key].is_null()) << key;
    EXPECT_EQ(c[2]["messages"][0]["number"], 3);
}

// Tables: the failed block shows its message and no outlet table of zeros.
TEST(FailedCalculationTables, NoValuesAreShown) {
    testing_support::ScratchDir dir;
    write_file(
        dir.path(), "case.toml",
        n2_case(
            "[[calculation]]\nkind = \"block\"\ntype = 7\npressure = 1e5\nproducts = [\"GAS\"]\n"
            "[[calculation.inlet]]\nmixed = { N2 = 1.0 }\n"));
    const ToolRun r = run_tool(dir.path(), "run case.toml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("-- FAILED: CALCULATION TYPE   7 IS NOT DEFINED"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Outlet 1"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("duty"), std::string::npos) << r.out;
    EXPECT_EQ(r.err,
              "eqlink: case.toml:10: calculation 1 failed: CALCULATION TYPE   7 IS NOT DEFINED\n");
}

}  // namespace
}  // namespace tools_test
