// Malformed input: one line on standard error naming the file, the line and
// the key (or the option), and exit status 2; nothing is calculated.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "scratch_dir.hpp"
#include "tool_process.hpp"

namespace tools_test {
namespace {

const std::string kComponent = "[[component]]\nid = \"CH4\"\nname = \"CH4:G1\"\nformula = \"CH4\"\n";

struct BadCase {
    const char* label;
    std::string text;      // the case file, case.toml
    std::string expected;  // the whole message after "eqlink: "
};

std::string data_line() { return "data = \"" + example("c-h-o-n.dat") + "\"\n"; }

class BadCaseFile : public ::testing::TestWithParam<BadCase> {};

// A property request of `code` on CH4 (lines 6 to 12 of the case).
std::string property(const std::string& code, const std::string& x, const std::string& T = "1000.0",
                     const std::string& P = "1e5") {
    return "[[calculation]]\nkind = \"property\"\ncode = " + code + "\nT = " + T + "\nP = " + P +
           "\ncomponents = [\"CH4\"]\n" + x;
}

// A flash or block of CH4 (lines 6 on) with the conditions given.
std::string flash(const std::string& conditions) {
    return "[[calculation]]\nkind = \"flash\"\nmode = \"TP\"\n" + conditions + "[calculation.feed]\nmixed = { CH4 = 1.0 }\n";
}
std::string block(const std::string& conditions) {
    return "[[calculation]]\nkind = \"block\"\ntype = 1\n" + conditions + "products = [\"GAS\"]\n";
}

TEST_P(BadCaseFile, OneLineNamingWhereAndWhat) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "broken.dat", " a title\n   2   1\n");
    // The example with one gas species fewer announced than it holds.
    std::string chon = read_file(example("c-h-o-n.dat"));
    write_file(dir.path(), "chon.txt", chon);
    write_file(dir.path(), "short.dat", chon.replace(chon.find("   19   2"), 9, "   18   2"));
    // A compiled file named as a text file.
    write_file(dir.path(), "compiled.dat", std::string("EQCST\r\n\x1a\x01\0\0\0", 12) + "payload");
    write_file(dir.path(), "case.toml", GetParam().text);
    const ToolRun r = run_tool(dir.path(), "run case.toml");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "eqlink: " + GetParam().expected + "\n");
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadCaseFile,
    ::testing::Values(
        BadCase{"BadToml", data_line() + "[[component]\nid = 1\n",
                "case.toml:2: Error while parsing table header: expected ']', saw '\\n'"},
        BadCase{"UnknownKey", data_line() + kComponent + "colour = \"blue\"\n",
                "case.toml:6: component[1].colour: unknown key"},
        BadCase{"UnknownTopLevelKey", data_line() + "traces = true\n" + kComponent,
                "case.toml:2: traces: unknown key"},
        BadCase{"WrongType", data_line() + kComponent + "mw = \"heavy\"\n",
                "case.toml:6: component[1].mw: expected a number, found a string"},
        BadCase{"MissingKey", data_line() + "[[component]]\nid = \"CH4\"\nformula = \"CH4\"\n",
                "case.toml:2: component[1].name: missing (required)"},
        BadCase{"UnknownComponentInList",
                data_line() + kComponent +
                    "[[calculation]]\nkind = \"property\"\ncode = 401\nT = 1000.0\nP = 1e5\n"
                    "components = [\"CH4\", \"C2H6\"]\nx = [0.5, 0.5]\n",
                "case.toml:11: calculation[1].components[2]: unknown component ID \"C2H6\""},
        BadCase{"UnknownComponentInFeed",
                data_line() + kComponent +
                    "[[calculation]]\nkind = \"flash\"\nmode = \"TP\"\nP = 1e5\n"
                    "[calculation.feed]\nmixed = { CH4 = 1.0, AR = 2.0 }\n",
                "case.toml:11: calculation[1].feed.mixed.AR: unknown component ID \"AR\""},
        BadCase{"WrongFlashMode",
                data_line() + kComponent +
                    "[[calculation]]\nkind = \"flash\"\nmode = \"TQ\"\nP = 1e5\n[calculation.feed]\n",
                "case.toml:8: calculation[1].mode: expected \"TP\" or \"PQ\", found \"TQ\""},
        BadCase{"FractionsDoNotMatchComponents",
                data_line() + kComponent +
                    "[[calculation]]\nkind = \"property\"\ncode = 401\nT = 1000.0\nP = 1e5\n"
                    "components = [\"CH4\"]\nx = [0.5, 0.5]\n",
                "case.toml:12: calculation[1].x: 2 mole fractions for 1 components"},
        BadCase{"UnknownElementInFormula",
                data_line() + "[[component]]\nid = \"X\"\nname = \"X:G1\"\nformula = \"Xq2\"\n",
                "case.toml:5: component[1].formula: formula \"Xq2\": unknown element symbol \"Xq\" at character 1"},
        BadCase{"DuplicateComponent", data_line() + kComponent + kComponent,
                "case.toml:6: component[2].id: component ID \"CH4\" given twice"},
        BadCase{"MissingDataFile", "data = \"nowhere.dat\"\n" + kComponent, "nowhere.dat: data file not found"},
        BadCase{"DataFileThatFailsToRead", "data = \"broken.dat\"\n" + kComponent,
                "broken.dat:2: counts record, constituents of mixture phase 1: expected a number, found end of file"},
        // Silent wrong results before: each refused before any calculation.
        BadCase{"CodeOutsideTheMonitor", data_line() + kComponent + property("499", "x = [1.0]\n"),
                "case.toml:8: calculation[1].code: expected a property code 401 to 430, found 499"},
        BadCase{"FractionsInPercent",
                data_line() + kComponent + "[[component]]\nid = \"O2\"\nname = \"O2:G1\"\nformula = \"O2\"\n" +
                    "[[calculation]]\nkind = \"property\"\ncode = 401\nT = 1000.0\nP = 1e5\n"
                    "components = [\"CH4\", \"O2\"]\nx = [20, 80]\n",
                "case.toml:16: calculation[1].x: the mole fractions sum to 100, not 1 (percent? give fractions)"},
        BadCase{"FractionsNotSummingToOne", data_line() + kComponent + property("401", "x = [0.9]\n"),
                "case.toml:12: calculation[1].x: the mole fractions sum to 0.9, not 1"},
        BadCase{"FractionNotANumber", data_line() + kComponent + property("401", "x = [nan]\n"),
                "case.toml:12: calculation[1].x[1]: expected a finite number, found nan"},
        BadCase{"PureComponentCodeWithAFraction", data_line() + kComponent + property("416", "x = [0.5]\n"),
                "case.toml:12: calculation[1].x[1]: code 416 gives each component's property as a pure substance "
                "per kmol: x must be 1 for every component (or left out), found 0.5"},
        BadCase{"FlashAtZeroKelvin", data_line() + kComponent + flash("T = 0.0\nP = 1e5\n"),
                "case.toml:9: calculation[1].T: the temperature must be above 0 K, found 0"},
        BadCase{"FlashBelowZeroKelvin", data_line() + kComponent + flash("T = -5.0\nP = 1e5\n"),
                "case.toml:9: calculation[1].T: the temperature must be above 0 K, found -5"},
        BadCase{"FlashAtZeroPressure", data_line() + kComponent + flash("T = 1000.0\nP = 0.0\n"),
                "case.toml:10: calculation[1].P: the pressure must be above 0 Pa, found 0"},
        BadCase{"BlockAtZeroPressure", data_line() + kComponent + block("pressure = 0.0\ntemperature = 1000.0\n"),
                "case.toml:9: calculation[1].pressure: the pressure must be above 0 Pa, found 0"},
        BadCase{"BlockAtZeroKelvin", data_line() + kComponent + block("pressure = 1e5\ntemperature = 0.0\n"),
                "case.toml:10: calculation[1].temperature: the temperature must be above 0 K, found 0"},
        BadCase{"DataFileEqlinkWillNotRead", "data = \"chon.txt\"\n" + kComponent,
                "case.toml:1: data: \"chon.txt\": EQLINK reads a data file named .dat (text) or .cst (compiled), by "
                "its extension"},
        BadCase{"HeaderCountsTooSmall", "data = \"short.dat\"\n" + kComponent,
                "short.dat:153: data after the last declared phase: the counts record (line 2) announces 1 mixture "
                "phase of 18 species and 2 stoichiometric phases; only the comment block may follow"},
        BadCase{"CompiledFileNamedDat", "data = \"compiled.dat\"\n" + kComponent,
                "compiled.dat:1: not a text data file: this is a compiled data file, which must be named .cst"},
        // Components checked against the data file once the engine is up.
        BadCase{"NameReachingNoSpecies",
                data_line() + "[[component]]\nid = \"CH4\"\nname = \"CH5:G1\"\nformula = \"CH4\"\n",
                "case.toml:4: component[1].name: \"CH5:G1\" reaches no species of " + example("c-h-o-n.dat") +
                    "; did you mean CH4:G1, H:G1 or H2:G1? (eqlink info --names " + example("c-h-o-n.dat") +
                    " lists them all)"},
        // The mapping stops at the member: the solid before it in the list,
        // whose phase comes later, is never reached, and must not be blamed.
        BadCase{"SolutionMemberWithoutItsSpecies",
                "data = \"" + example("ag-cu-example.dat") +
                    "\"\n[[component]]\nid = \"AGS\"\nname = \"AG:S1\"\nformula = \"Ag\"\n"
                    "[[component]]\nid = \"ZN\"\nname = \"ZN:LIQU\"\nformula = \"Zn\"\n",
                "case.toml:8: component[2].name: \"ZN:LIQU\" names solution phase LIQUID by its code, but none of the "
                "phase's species answers to it; did you mean AG:LIQU, CU:LIQU or AG:G1? (eqlink info --names " +
                    example("ag-cu-example.dat") + " lists them all)"},
        BadCase{"DollarSignOfNoKnownSpecies",
                data_line() + "[[component]]\nid = \"CH4\"\nname = \"CH4$:G1\"\nformula = \"CH4\"\n",
                "case.toml:4: component[1].name: \"CH4$:G1\": a dollar sign marks only the gas species whose "
                "upper-case name is another species (Bi, Bi2, Co, CoCl, CoCl2, CoF2, Cs, Cs2, Hf, Nd); did you mean "
                "CH4:G1, H:G1 or H2:G1? (eqlink info --names " + example("c-h-o-n.dat") + " lists them all)"},
        BadCase{"FormulaOfAnotherSpecies",
                data_line() + "[[component]]\nid = \"ETH\"\nname = \"CH4:G1\"\nformula = \"C2H6\"\n",
                "case.toml:5: component[1].formula: \"C2H6\" is C2H6, but \"CH4:G1\" maps to species CH4 of phase GAS, "
                "which is CH4"}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(BadInput, MissingCaseFile) {
    testing_support::ScratchDir dir;
    const ToolRun r = run_tool(dir.path(), "run absent.toml");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "eqlink: absent.toml: case file not found\n");
}

TEST(BadInput, UnknownOptionAndMissingArgument) {
    testing_support::ScratchDir dir;
    EXPECT_EQ(run_tool(dir.path(), "run --bogus").status, 2);
    EXPECT_EQ(run_tool(dir.path(), "compile").status, 2);
    EXPECT_EQ(run_tool(dir.path(), "info --help").status, 0);
}

TEST(BadInput, EquilibrateConditionsTheEngineWouldRefuse) {
    testing_support::ScratchDir dir;
    const std::string data = quoted_example("h-o.dat");
    const std::pair<const char*, const char*> cases[] = {
        {"-T 0", "eqlink: -T 0: the temperature must be above 0 K\n"},
        {"-T -5", "eqlink: -T -5: the temperature must be above 0 K\n"},
        {"-T 1000 -P 0", "eqlink: -P 0: the pressure must be above 0 Pa\n"},
        {"-T 9000", "eqlink: -T 9000: outside the temperature limits 200 K to 6000 K (--tlow, --thigh)\n"},
        {"-T 1000 --tlow 0", "eqlink: --tlow 0 --thigh 6000: the temperature limits must be finite with 0 < TLOW < "
                             "THIGH\n"},
        {"-T 1000 --feed-temperature 100",
         "eqlink: --feed-temperature 100: outside the temperature limits 200 K to 6000 K (--tlow, --thigh)\n"},
    };
    for (const auto& [options, message] : cases) {
        const ToolRun r = run_tool(dir.path(), words({"equilibrate", data, options, "-f H2=2 -f O2=1"}));
        EXPECT_EQ(r.status, 2) << options;
        EXPECT_EQ(r.err, message);
    }
}

TEST(BadInput, CompileNeverOverwritesItsInput) {
    testing_support::ScratchDir dir;
    const std::string text = read_file(example("h-o.dat"));
    write_file(dir.path(), "ho.dat", text);
    ToolRun r = run_tool(dir.path(), "compile ho.dat -o ho.dat");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "eqlink: -o ho.dat: the output is the input file ho.dat; give a name ending in .cst\n");
    r = run_tool(dir.path(), "compile ho.dat -o ./ho.dat");
    EXPECT_EQ(r.status, 2);
    // A binary file under a text file's name would be refused by every run.
    r = run_tool(dir.path(), "compile ho.dat -o other.dat");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "eqlink: -o other.dat: a compiled data file must be named .cst (EQLINK reads a data file by its "
                     "extension)\n");
    EXPECT_EQ(read_file(dir.path() / "ho.dat"), text);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "other.dat"));
}

TEST(BadInput, EquilibrateNamesTheOffendingFeed) {
    testing_support::ScratchDir dir;
    const std::string data = quoted_example("h-o.dat");
    ToolRun r = run_tool(dir.path(), words({"equilibrate", data, "-T 1000 -f H2O2X=1"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "eqlink: --feed \"H2O2X=1\": the data file has no constituent \"H2O2X\" (use --elements for an "
              "element formula)\n");
    r = run_tool(dir.path(), words({"equilibrate", data, "-T 1000 -e H2O=-1"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is not a finite number of mol at least 0"), std::string::npos) << r.err;
    r = run_tool(dir.path(), words({"equilibrate", data, "-T 1000 -e NaCl=1"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "eqlink: --elements \"NaCl=1\": the data file has no element Na\n");
    r = run_tool(dir.path(), words({"equilibrate", data, "-f H2=1"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "eqlink: give the temperature -T, or a target with its estimate\n");
}

}  // namespace
}  // namespace tools_test
