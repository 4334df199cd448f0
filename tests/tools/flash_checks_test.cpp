// The flash example checked against numbers found without the plug-in: the
// engine's own adiabatic temperature, and the element balances of a flash
// whose products span the mixed and the conventional-solid substream.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

json flash_results(const testing_support::ScratchDir& dir) {
    const ToolRun r = run_tool(dir.path(), words({"run --json", quoted_example("flash.toml")}));
    EXPECT_EQ(r.status, 0) << r.err;
    return json::parse(r.out);
}

TEST(FlashExample, AdiabaticTemperatureAgreesWithTheEngineDirectly) {
    testing_support::ScratchDir dir;
    const json flash = flash_results(dir)["calculations"][0];
    const ToolRun e = run_tool(dir.path(), words({"equilibrate", quoted_example("c-h-o-n.dat"),
                                                  "-T 2000 -P 101325 --enthalpy 0 --feed-temperature 1000",
                                                  "-f H2=0.2 -f O2=0.1 -f N2=0.376"}));
    ASSERT_EQ(e.status, 0) << e.err;
    const double engine_T = std::stod(e.out.substr(e.out.find("T = ") + 4));
    // The flash's equilibrium holds only the constituents of the components
    // (no HO2, N2O, NO2, ...), which dissociate a little: within 0.1 K.
    EXPECT_NEAR(flash["T"].get<double>(), engine_T, 0.1);
    EXPECT_NEAR(flash["stream"]["mixed"]["T"].get<double>(), engine_T, 0.1);
    EXPECT_NEAR(flash["qcalc"].get<double>(), 0.0, 1.0);  // W, of a feed enthalpy flow of megawatts
}

TEST(FlashExample, ElementsBalanceAcrossMixedAndSolidSubstreams) {
    testing_support::ScratchDir dir;
    const json flash = flash_results(dir)["calculations"][3];
    // Atoms of C, H, O per component.
    const std::map<std::string, std::array<double, 3>> atoms = {
        {"CH4", {1, 4, 0}}, {"O2", {0, 0, 2}}, {"CO2", {1, 0, 2}}, {"CO", {1, 0, 1}},   {"H2O", {0, 2, 1}},
        {"H2", {0, 2, 0}},  {"OH", {0, 1, 1}}, {"H", {0, 1, 0}},   {"O", {0, 0, 1}},    {"GRAPH", {1, 0, 0}}};
    const std::array<double, 3> feed = {0.1 + 0.01, 0.4, 0.04};  // CH4 0.1, O2 0.02, graphite 0.01 kmol/s
    std::array<double, 3> out{};
    for (const char* sub : {"mixed", "cisolid"})
        for (const auto& [id, flow] : flash["stream"][sub]["flows"].items())
            if (atoms.count(id))
                for (std::size_t e = 0; e < 3; ++e) out[e] += atoms.at(id)[e] * flow.get<double>();
    for (std::size_t e = 0; e < 3; ++e) EXPECT_NEAR(out[e], feed[e], 1e-9 * feed[e]) << "element " << e;
    // Graphite is stable at 1000 K: more of it leaves than entered.
    EXPECT_GT(flash["stream"]["cisolid"]["flows"]["GRAPH"].get<double>(), 0.05);
    EXPECT_EQ(flash["stream"]["cisolid"]["T"].get<double>(), 1000.0);
}

}  // namespace
}  // namespace tools_test
