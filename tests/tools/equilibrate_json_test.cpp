// `eqlink equilibrate --json`: the result document of eqcore/json (the one
// the Python package returns too), checked for what holds of any
// equilibrium: every phase listed, amounts summing to the phases', element
// balances, G = sum b pi, and the independent reference amounts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

TEST(EquilibrateJson, MethaneAirDocumentHoldsTogether) {
    std::ifstream in(std::string(EQLINK_TEST_REFERENCE_DIR) + "/equilibria.json");
    const auto ref = nlohmann::json::parse(in);
    nlohmann::json c;
    for (const auto& k : ref["cases"])
        if (k["id"] == "c_CH4air_phi1_tp_P1_T2000") c = k;
    ASSERT_FALSE(c.is_null());
    testing_support::ScratchDir dir;
    std::string args = words({"equilibrate", quoted_example("c-h-o-n.dat"), "-T 2000 -P 1e5 --json"});
    for (const auto& [name, mol] : c["feed_mol"].items()) args += " -f " + name + "=" + mol.dump();
    const ToolRun r = run_tool(dir.path(), args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);

    EXPECT_EQ(doc["schema"], "eqcore-equilibrium/1");
    EXPECT_EQ(doc["units"]["pressure"], "Pa");
    EXPECT_EQ(doc["T"].get<double>(), 2000.0);
    ASSERT_EQ(doc["phases"].size(), 3u);  // the gas, graphite, liquid water
    const auto& gas = doc["phases"][0];
    EXPECT_EQ(gas["name"], "GAS");
    EXPECT_TRUE(gas["present"].get<bool>());
    EXPECT_TRUE(gas["sublattices"].empty());
    double total = 0.0;
    for (const auto& k : gas["constituents"]) total += k["amount"].get<double>();
    EXPECT_NEAR(total, gas["amount"].get<double>(), 1e-12 * total);
    for (const auto& [name, mol] : c["expected"]["moles"].items()) {
        double got = 0.0;
        for (const auto& k : gas["constituents"])
            if (k["name"] == name) got = k["amount"].get<double>();
        EXPECT_NEAR(got, mol.get<double>(), 1e-6 * mol.get<double>() + 1e-9 * total) << name;
    }
    double G = 0.0;
    for (const auto& e : doc["elements"]) G += e["amount"].get<double>() * e["potential"].get<double>();
    EXPECT_NEAR(G, doc["G"].get<double>(), 1e-9 * std::fabs(G));
    EXPECT_NEAR(doc["heat"].get<double>(), doc["H"].get<double>() - doc["H_in"].get<double>(), 1e-6);
}

}  // namespace
}  // namespace tools_test
