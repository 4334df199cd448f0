// Malformed files: each fault gets its own error naming the file, the line
// and the field, with what was expected and what was found.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "test_util.hpp"

namespace eqcore {
namespace {

std::string file_text(const std::string& file) {
    std::ifstream in(testing::example(file), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text with the first occurrence of `from` replaced.
std::string edit(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) ADD_FAILURE() << "'" << from << "' not in the file";
    else text.replace(at, from.size(), to);
    return text;
}

struct Bad {
    std::string label;
    std::string text;
    int line;
    std::vector<std::string> fragments;
};

std::ostream& operator<<(std::ostream& os, const Bad& b) { return os << b.label; }

std::vector<Bad> bad_files() {
    const std::string a = file_text("n-o-example.dat");
    const std::string b = file_text("ag-cu-example.dat");
    const std::string q = [] {
        std::ifstream in(testing::test_data("qkto-liquid.dat"), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }();
    std::string f_title = " Example with a function library";
    f_title.resize(77, ' ');
    f_title += "L F";
    return {
        {"empty_file", "", 1, {"expected the title line, found end of file"}},
        {"truncated_in_a_range", a.substr(0, a.find("  0.00000000E+00  2.95000000E+04")), 15,
         {"species NO, range 1, coefficient 5", "found end of file"}},
        {"truncated_before_a_species", a.substr(0, a.find(" O2\n")), 23, {"phase GAS", "expected a species name"}},
        {"reordered_names_and_masses",
         edit(a, " N                        O\n    14.00670000    15.99940000\n",
              "    14.00670000    15.99940000\n N                        O\n"),
         4, {"atomic masses", "mass of element 14.00670000", "expected a real number, found 'N'"}},
        {"non_numeric_coefficient", edit(a, "-2.94100000E+01", "-2.94l0000E+01"), 15,
         {"species NO, range 1, coefficient 3", "expected a real number, found '-2.94l0000E+01'"}},
        {"real_for_an_integer", edit(a, "   4  1     1.00000    1.00000", "   4.0  1     1.00000    1.00000"), 14,
         {"species NO, data option", "expected an integer, found the real number '4.0'"}},
        {"repeat_count", edit(a, "   4  1     1.00000", "   4  1     2*1.00000"), 14,
         {"stoichiometry of N", "repeat counts"}},
        {"too_many_elements", edit(a, "    2    1    4    0", "  101    1    4    0"), 2,
         {"counts record", "number of elements: expected 1 to 100, found 101"}},
        {"huge_species_count", edit(a, "    2    1    4    0", "    2    1  999999999999    0"), 2,
         {"constituents of mixture phase 1: expected 0 to 500, found 999999999999"}},
        {"count_beyond_integers", edit(a, "    2    1    4    0", "    2    1  99999999999999999999999    0"), 2,
         {"constituents of mixture phase 1: expected an integer"}},
        {"too_many_constituents_in_all", edit(a, "    2    1    4    0", "    2    1    400    1200"), 2,
         {"constituents in all phases: expected at most 1500, found 1600"}},
        {"too_many_ranges", edit(a, "   1  2     0.00000    1.00000", "   1  21     0.00000    1.00000"), 19,
         {"species O, number of ranges: expected 1 to 20, found 21"}},
        {"too_many_extra_terms", edit(a, " 1 -5.00000000E+05   -2.00", " 11 -5.00000000E+05   -2.00"), 17,
         {"number of extra terms: expected 0 to 10, found 11"}},
        {"unknown_data_option", edit(a, "   4  1     1.00000    1.00000", "   2  1     1.00000    1.00000"), 14,
         {"species NO, data option: expected 1, 4, 7, 10, 13, 16 or 22, found 2"}},
        {"fused_data_option", edit(a, "   4  1     1.00000    1.00000", "   41     1.00000    1.00000"), 14,
         {"data option: expected 1, 4, 7, 10, 13, 16 or 22, found 41"}},
        {"magnetic_data_option", edit(a, "   4  1     1.00000    1.00000", "  16  1     1.00000    1.00000"), 14,
         {"data option 16: magnetic data, but the model of phase GAS has no magnetic term"}},
        {"unknown_model", edit(b, " RKMP\n", " SUBX\n"), 18, {"phase LIQUID, model SUBX is not supported"}},
        {"magnetic_model_without_its_record", edit(b, " RKMP\n", " RKMPM\n"), 19,
         {"phase LIQUID, magnetic record, antiferromagnetic multiplier: expected a real number, found 'Ag(liq)'"}},
        {"non_ideal_gas_model", edit(a, " IDMX\n", " QKTO\n"), 8, {"phase GAS, model QKTO is not supported for the gas"}},
        {"duplicate_species", edit(a, " NO\n", " N2\n"), 13, {"duplicate name 'N2' among the constituents of phase GAS"}},
        {"duplicate_stoichiometric_phase", edit(b, " Cu(s)\n", " Ag(s)\n"), 39, {"duplicate name 'Ag(s)' among the phases"}},
        {"names_equal_in_24_characters",
         edit(edit(a, " NO\n", " ABCDEFGHIJKLMNOPQRSTUVWXyz\n"), " O2\n", " ABCDEFGHIJKLMNOPQRSTUVWX12\n"), 24,
         {"duplicate name 'ABCDEFGHIJKLMNOPQRSTUVWX12'", "first 24 characters"}},
        {"function_library_flag_without_library", edit(a, a.substr(0, a.find('\n')), f_title), 4,
         {"function N, number of ranges: expected an integer"}},
        {"extra_term_layout_without_count",
         edit(a, " 1 -5.00000000E+05   -2.00", " -5.00000000E+05 0.0 0.0 -2.00 0.0 0.0"), 17,
         {"unsupported extra-term layout"}},
        {"exponent_above_20", edit(a, "-5.00000000E+05   -2.00", "-5.00000000E+05   25.00"), 17,
         {"extra term exponent 1: expected 99 (ln T) or at most 20, found 25"}},
        {"interaction_index_out_of_range", edit(b, "   1   2   1\n", "   1   3   1\n"), 29,
         {"phase LIQUID, interaction 1, constituent index 2: expected 1 to 2, found 3"}},
        {"interaction_index_repeated", edit(b, "   1   2   1\n", "   2   2   1\n"), 29, {"appears twice"}},
        {"five_constituent_interaction", edit(b, "   2\n   1   2   1\n", "   5\n   1   2   1\n"), 28,
         {"interactions of 5 constituents are not supported (2, 3 or 4)"}},
        {"decreasing_tmax", edit(b, "  3.00000000E+03 -1.42827699E+04", "  1.00000000E+03 -1.42827699E+04"), 34,
         {"phase Ag(s), range 2, Tmax: expected more than the previous range's 1235, found 1000"}},
        {"all_zero_stoichiometry", edit(a, "   1  1     2.00000    0.00000", "   1  1     0.00000    0.00000"), 10,
         {"species N2, stoichiometry: every entry is zero"}},
        {"negative_stoichiometry", edit(a, "   1  1     2.00000    0.00000", "   1  1    -2.00000    0.00000"), 10,
         {"stoichiometry of N: expected a number of atoms >= 0, found -2"}},
        {"line_5_not_standard", edit(a, "   6   1   2   3   4   5   6\n", "   6   1   2   3   4   6   5\n"), 5,
         {"Gibbs-energy descriptor (line 5)", "expected 6 1 2 3 4 5 6"}},
        {"line_6_short_with_excess",
         edit(b, "   6   1   2   3   4   5   6\n   6   1   2   3   4   5   6\n",
              "   6   1   2   3   4   5   6\n   1   1\n"),
         6, {"excess-parameter descriptor (line 6)", "in a file with excess parameters"}},
        {"qkto_weight_not_positive", edit(q, "  1.0  1\n Ni", "  -0.5  1\n Ni"), 12,
         {"phase LIQ_TEST, model record weight: expected a positive number, found -0.5"}},
        // Counts smaller than the file: reading on by them would make the last
        // gas species a phase of its own, or drop the last phase.
        {"fewer_species_than_written", edit(a, "    2    1    4    0", "    2    1    3    0"), 24,
         {"data after the last declared phase: the counts record (line 2) announces 1 mixture phase of 3 species "
          "and 0 stoichiometric phases; only the comment block may follow"}},
        {"fewer_phases_than_written", edit(b, "    2    2    2    2    2", "    2    2    2    2    1"), 39,
         {"announces 2 mixture phases of 2, 2 species and 1 stoichiometric phase"}},
        {"compiled_file_as_text", std::string(kCstMagic) + std::string(8, '\0') + a, 1,
         {"not a text data file: this is a compiled data file, which must be named .cst"}},
        {"zero_byte", edit(a, "    14.00670000", std::string(1, '\0') + "   14.00670000"), 4,
         {"not a text data file: it holds binary data (a zero byte)"}},
        {"qkto_exponent_zero", edit(q, "   1   2   1   1  -15000.0", "   1   2   0   1  -15000.0"), 18,
         {"interaction 1, QKTO variant not supported: exponent 1 is 0"}},
    };
}

class Malformed : public ::testing::TestWithParam<Bad> {};

TEST_P(Malformed, NamesFileLineAndField) {
    const Bad& bad = GetParam();
    try {
        testing::parse(bad.text, "bad.dat");
        FAIL() << "read without error";
    } catch (const DataError& e) {
        EXPECT_EQ(e.file(), "bad.dat");
        EXPECT_EQ(e.line(), bad.line) << e.what();
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("bad.dat:" + std::to_string(bad.line) + ": ", 0), 0U) << what;
        for (const std::string& f : bad.fragments) EXPECT_NE(what.find(f), std::string::npos) << what << "\n  lacks: " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFault, Malformed, ::testing::ValuesIn(bad_files()),
                         [](const ::testing::TestParamInfo<Bad>& param) { return param.param.label; });

// After the last phase, text is the comment block whether or not it begins
// with a line of '#'; numbers inside a framed comment block are text too.
TEST(CommentBlock, TextAfterThePhasesIsKeptVerbatim) {
    const std::string a = file_text("n-o-example.dat");
    const std::string head = a.substr(0, a.find(" ####"));
    EXPECT_EQ(testing::parse(head + " Written by hand\n from tables\n").comment, " Written by hand\n from tables\n");
    const std::string framed = "####\n 298.15 6000\n####\n";
    EXPECT_EQ(testing::parse(head + framed).comment, framed);
}

TEST(MalformedPath, MissingFileIsAnErrorNamingIt) {
    try {
        read_dat("/nonexistent/dir/none.dat");
        FAIL();
    } catch (const DataError& e) {
        EXPECT_EQ(e.file(), "/nonexistent/dir/none.dat");
        EXPECT_NE(std::string(e.what()).find("cannot open"), std::string::npos);
    }
}

}  // namespace
}  // namespace eqcore
