// The mapping names `eqlink info --names` lists, on a data file built to
// hold the hard cases of the mapping (a species whose upper-case name is
// another species, a second gas form, a name cut at an underscore, a
// solution member with a formula-unit factor, a solution code from a local
// dictionary, states of pure phases): each listed name, with its listed
// formula, is then given to the plug-in as a component and must map, with
// that formula, to a species of the file — the plug-in's own mapping is the
// independent judge.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

// One species record: data option 1, one range, made-up G coefficients.
std::string species(const std::string& name, const std::string& stoich) {
    return " " + name + "\n   1  1  " + stoich +
           "\n  3.00000000E+03 -1.00000000E+05  1.00000000E+02 -3.00000000E+01  0.00000000E+00\n"
           "  0.00000000E+00  0.00000000E+00\n";
}

std::string hard_names_file() {
    return std::string(" Mapping names test (made-up data)\n   5   2   5   2   3\n") +
           " Al                       Co                       C                        O          "
           "              Fe\n"
           "   26.98153800   58.93319500   12.01070000   15.99940000   55.84500000\n"
           "   6   1   2   3   4   5   6\n   6   1   2   3   4   5   6\n GAS\n IDMX\n" +
           species("CO", "0 0 1 1 0") + species("Co", "0 1 0 0 0") +
           species("CO2_gas", "0 0 1 2 0") + species("AlO(g)", "1 0 0 1 0") +
           species("AlO(g2)", "1 0 0 1 0") + " SLAG-LIQ\n IDMX\n" +
           species("(AlO1.5):2", "1 0 0 1.5 0") + species("FeO", "0 0 0 1 1") +
           species("Al2O3_corundum(s)", "2 0 0 3 0") + species("FeO(liq)", "0 0 0 1 1") +
           species("C", "0 0 1 0 0");
}

struct Row {
    std::string phase, species, name, formula, kind;
};

// The rows of the names table (after its dashed rule, up to the blank line).
std::vector<Row> rows(const std::string& out) {
    std::vector<Row> r;
    std::istringstream in(out);
    std::string line;
    bool table = false;
    while (std::getline(in, line)) {
        if (line.find("-----") != std::string::npos) {
            table = true;
            continue;
        }
        if (!table) continue;
        if (line.empty()) break;
        std::istringstream cells(line);
        Row row;
        cells >> row.phase >> row.species >> row.name >> row.formula >> row.kind;
        r.push_back(row);
    }
    return r;
}

TEST(MappingNames, EveryListedNameMapsToItsSpeciesThroughThePlugin) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "names.dat", hard_names_file());
    // The local dictionary gives the slag its code.
    write_file(dir.path(), "EQSOLN.TXT", "local dictionary\n  1\n2    SLAG    SLAG-LIQ\n");
    const ToolRun info = run_tool(dir.path(), "info --names names.dat");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(
        info.out.find(
            "Dictionary: EQSOLN.TXT (in the working directory; it overrides the bundled one)"),
        std::string::npos)
        << info.out;

    const std::vector<Row> listed = rows(info.out);
    const std::vector<std::vector<std::string>> expected = {
        {"CO", "CO:G1", "CO", "vapour"},
        {"Co", "CO$:G1", "Co", "vapour"},
        {"CO2_gas", "CO2:G1", "CO2", "vapour"},
        {"AlO(g)", "ALO:G1", "AlO", "vapour"},
        {"AlO(g2)", "ALO:G2", "AlO", "vapour"},
        {"(AlO1.5):2", "ALO1.5:SLAG", "Al2O3", "liquid"},
        {"FeO", "FEO:SLAG", "OFe", "liquid"},
        {"Al2O3_corundum(s)", "AL2O3:S1", "Al2O3", "solid"},
        {"FeO(liq)", "FEO:L1", "OFe", "liquid"},
        {"C", "C:S1", "C", "solid"}};
    ASSERT_EQ(listed.size(), expected.size()) << info.out;
    std::string case_text = "data = \"names.dat\"\n";
    for (std::size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].species, expected[i][0]);
        EXPECT_EQ(listed[i].name, expected[i][1]) << listed[i].species;
        EXPECT_EQ(listed[i].formula, expected[i][2]) << listed[i].species;
        EXPECT_EQ(listed[i].kind, expected[i][3]) << listed[i].species;
        case_text += "[[component]]\nid = \"K" + std::to_string(i + 1) + "\"\nname = \"" +
                     listed[i].name + "\"\nformula = \"" + listed[i].formula + "\"\n";
    }
    // The run checks every component against the map the start-up built:
    // a name that maps nowhere or to a species of another formula is bad input.
    write_file(dir.path(), "names.toml", case_text);
    const ToolRun run = run_tool(dir.path(), "run names.toml");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err,
              "eqlink: note: the solution dictionary EQSOLN.TXT in the working directory overrides "
              "the bundled one\n");
}

}  // namespace
}  // namespace tools_test
