// The commands that use the engine directly: compile (and reading back what
// it wrote), info, and equilibrate against the independent reference values.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

nlohmann::json reference(const std::string& file) {
    std::ifstream in(std::string(EQLINK_TEST_REFERENCE_DIR) + "/" + file);
    return nlohmann::json::parse(in);
}

// Amounts of the constituents in an equilibrium listing (rows "NAME amount ...").
std::map<std::string, double> listed_amounts(const std::string& listing) {
    std::map<std::string, double> out;
    std::istringstream in(listing);
    std::string line;
    bool in_table = false;
    while (std::getline(in, line)) {
        if (line.find("Constituent") != std::string::npos) in_table = true;
        else if (line.find("---") != std::string::npos) continue;
        else if (line.rfind("    ", 0) != 0) in_table = false;
        else if (in_table) {
            std::istringstream row(line);
            std::string name;
            double amount = 0;
            row >> name >> amount;
            out[name] = amount;
        }
    }
    return out;
}

double listed_temperature(const std::string& listing) {
    const auto at = listing.find("T = ");
    return at == std::string::npos ? 0.0 : std::stod(listing.substr(at + 4));
}

TEST(Compile, CompiledFileReadsAsTheSameSystem) {
    testing_support::ScratchDir dir;
    const std::string dat = quoted_example("c-h-o-n.dat");
    const ToolRun c = run_tool(dir.path(), words({"compile", dat, "-o chon.cst"}));
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out.rfind("wrote chon.cst (", 0), 0u) << c.out;
    EXPECT_NE(c.out.find("5 elements, 3 phases, 21 constituents"), std::string::npos) << c.out;

    const ToolRun from_dat = run_tool(dir.path(), words({"info", dat}));
    const ToolRun from_cst = run_tool(dir.path(), "info chon.cst");
    ASSERT_EQ(from_cst.status, 0) << from_cst.err;
    // Everything but the first line, which names the file read.
    EXPECT_EQ(from_cst.out.substr(from_cst.out.find('\n')), from_dat.out.substr(from_dat.out.find('\n')));
    EXPECT_NE(from_dat.out.find("GAS              IDMX   ideal gas                 19"), std::string::npos)
        << from_dat.out;
}

TEST(Compile, DamagedCompiledFileIsBadInput) {
    testing_support::ScratchDir dir;
    ASSERT_EQ(run_tool(dir.path(), words({"compile", quoted_example("h-o.dat"), "-o ho.cst"})).status, 0);
    std::string bytes = read_file(dir.path() / "ho.cst");
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5a);
    write_file(dir.path(), "ho.cst", bytes);
    const ToolRun r = run_tool(dir.path(), "info ho.cst");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("eqlink: ho.cst", 0), 0u) << r.err;
}

TEST(Info, SaysWhenEqlinkWillRefuseTheFileName) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "ho.txt", read_file(example("h-o.dat")));
    const ToolRun r = run_tool(dir.path(), "info ho.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "eqlink: note: ho.txt: EQLINK reads a data file by its extension, .dat (text) or .cst "
                     "(compiled), and will refuse this name\n");
    EXPECT_EQ(run_tool(dir.path(), words({"info", quoted_example("h-o.dat")})).err, "");
}

TEST(Version, NamesTheToolTheEngineAndTheCompiledFormat) {
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("eqlink ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("(EQCORE 1.0, compiled data format 5)"), std::string::npos) << r.out;
}

TEST(Equilibrate, MethaneAirAt2000KMatchesTheReference) {
    const auto ref = reference("equilibria.json");
    nlohmann::json c;
    for (const auto& k : ref["cases"])
        if (k["id"] == "c_CH4air_phi1_tp_P1_T2000") c = k;
    ASSERT_FALSE(c.is_null());
    testing_support::ScratchDir dir;
    std::string args = words({"equilibrate", quoted_example("c-h-o-n.dat"), "-T 2000 -P 1e5"});
    for (const auto& [name, mol] : c["feed_mol"].items()) args += " -f " + name + "=" + mol.dump();
    const ToolRun r = run_tool(dir.path(), args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto got = listed_amounts(r.out);
    double total = 0;
    for (const auto& [name, mol] : c["expected"]["moles"].items()) total += mol.get<double>();
    for (const auto& [name, mol] : c["expected"]["moles"].items()) {
        // Eight significant digits are printed; a phase that is absent is not listed.
        const double amount = got.count(name) ? got.at(name) : 0.0;
        EXPECT_NEAR(amount, mol.get<double>(), 1e-7 * mol.get<double>() + 1e-9 * total) << name;
    }

    // The same feed given as element formulas gives the same equilibrium.
    const ToolRun e = run_tool(dir.path(), words({"equilibrate", quoted_example("c-h-o-n.dat"),
                                                  "-T 2000 -P 1e5 -e CH4=1 -e O2=2 -e N2=7.52"}));
    ASSERT_EQ(e.status, 0) << e.err;
    for (const auto& [name, mol] : listed_amounts(e.out)) EXPECT_NEAR(mol, got.at(name), 1e-7 * mol + 1e-12) << name;
}

TEST(Equilibrate, TargetsMatchTheReference) {
    const auto ref = reference("targets.json");
    testing_support::ScratchDir dir;
    const std::string data = quoted_example("ag-cu-example.dat");
    // Copper's melting point: where the liquid is about to form from the solid.
    ToolRun r = run_tool(dir.path(), words({"equilibrate", data, "-T 1200 -P 1e5 --formation LIQUID -f 'Cu(s)=1'"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(listed_temperature(r.out), ref["cases"][0]["expected"]["T_K"].get<double>(), 0.01);
    // The enthalpy that melts half of it lands on the same temperature.
    const double dH = ref["cases"][2]["target"]["dH_J"].get<double>();
    r = run_tool(dir.path(), words({"equilibrate", data, "-T 1000 -P 1e5 --enthalpy", std::to_string(dH),
                                    "-f 'Cu(s)=1'"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(listed_temperature(r.out), ref["cases"][2]["expected"]["T_K"].get<double>(), 0.01);
    const auto solid = r.out.find("Cu(s) (PURE): ");
    ASSERT_NE(solid, std::string::npos) << r.out;
    EXPECT_NEAR(std::stod(r.out.substr(solid + 14)), 0.5, 0.5e-6);
}

}  // namespace
}  // namespace tools_test
