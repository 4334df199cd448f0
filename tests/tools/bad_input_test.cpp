// Malformed input: one line on standard error naming the file, the line and
// the key (or the option), and exit status 2; nothing is calculated.
#include <gtest/gtest.h>

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

TEST_P(BadCaseFile, OneLineNamingWhereAndWhat) {
    testing_support::ScratchDir dir;
    write_file(dir.path(), "broken.dat", " a title\n   2   1\n");
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
                "broken.dat:2: counts record, constituents of mixture phase 1: expected a number, found end of file"}),
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
