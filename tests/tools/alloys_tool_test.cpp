// `eqlink equilibrate` on the sublattice and magnetic data files: the iron
// transitions by formation targets and the Zr-H and Al-Mg equilibria of
// alloys.json (computed by an independent engine), read from the tool's JSON
// with its site fractions.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

using nlohmann::json;

json equilibrate(const testing_support::ScratchDir& dir, const std::string& args) {
    const ToolRun r = run_tool(dir.path(), "equilibrate --json " + args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json{};
}

TEST(AlloyFilesThroughTheTool, IronTransitionsByFormationTargets) {
    testing_support::ScratchDir dir;
    const struct {
        const char* phase;
        double lo, hi, want;
    } cases[] = {{"FCC_A1", 1000, 1400, 1184.81}, {"BCC_A2", 1400, 1750, 1667.47}, {"LIQUID", 1700, 1900, 1810.95}};
    for (const auto& c : cases) {
        const json r = equilibrate(dir, words({quoted_example("fe-sgte.dat"), "-e Fe=1", "--formation", c.phase,
                                               "--tlow", std::to_string(c.lo), "--thigh", std::to_string(c.hi),
                                               "-T", std::to_string(0.5 * (c.lo + c.hi))}));
        ASSERT_TRUE(r.contains("T")) << c.phase;
        EXPECT_NEAR(r["T"].get<double>(), c.want, 0.1) << c.phase;
    }
}

TEST(AlloyFilesThroughTheTool, ReferenceEquilibriaWithSiteFractions) {
    testing_support::ScratchDir dir;
    std::ifstream in(std::string(EQLINK_TEST_REFERENCE_DIR) + "/alloys.json");
    const json ref = json::parse(in);
    for (const json& c : ref["cases"]) {
        SCOPED_TRACE(c["id"].get<std::string>());
        std::string args = quoted_example(c["file"].get<std::string>()) + " -T " + std::to_string(c["T_K"].get<double>()) +
                           " -P 101325";
        for (auto& [el, mol] : c["element_amounts_mol"].items()) args += " -e " + el + "=" + std::to_string(mol.get<double>());
        const json r = equilibrate(dir, args);
        ASSERT_TRUE(r.contains("phases"));
        const json& e = c["expected"];
        EXPECT_NEAR(r["G"].get<double>(), e["G_J"].get<double>(), 1e-6 * std::abs(e["G_J"].get<double>()));
        for (const json& ph : r["phases"]) {
            const std::string name = ph["name"];
            if (!e["phases"].contains(name)) {
                EXPECT_FALSE(ph["present"].get<bool>()) << name;
                continue;
            }
            const json& x = e["phases"][name];
            ASSERT_TRUE(ph["present"].get<bool>()) << name;
            EXPECT_NEAR(ph["amount"].get<double>(), x["amount_mol"].get<double>(), 1e-5 * x["amount_mol"].get<double>())
                << name;
            if (!x.contains("site_fractions")) continue;
            ASSERT_EQ(ph["sublattices"].size(), x["site_fractions"].size()) << name;
            for (std::size_t s = 0; s < x["site_fractions"].size(); ++s) {
                const json& want = x["site_fractions"][s]["y"];
                for (const json& k : ph["sublattices"][s]["constituents"]) {
                    const std::string n = k["name"];
                    EXPECT_NEAR(k["site_fraction"].get<double>(), want.contains(n) ? want[n].get<double>() : 0.0, 1e-5)
                        << name << " " << n;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tools_test
