// Reading the ionic liquid's block: its sublattices, records and excess
// terms, every fault with its own text and line, SUBM read and refused, and
// the compiled form carrying the liquid.
#include <fstream>
#include <sstream>

#include "data/cst.hpp"
#include "ionic_util.hpp"

namespace eqcore {
namespace {

using testing::ionic_file;

std::string text_of(const std::string& name) {
    std::ifstream in(ionic_file(name), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text with occurrence `nth` (0-based) of `from` replaced.
std::string edit(std::string text, const std::string& from, const std::string& to, int nth = 0) {
    std::size_t at = text.find(from);
    for (int k = 0; k < nth && at != std::string::npos; ++k) at = text.find(from, at + 1);
    if (at == std::string::npos) ADD_FAILURE() << "'" << from << "' not in the file";
    else text.replace(at, from.size(), to);
    return text;
}

System read_text(const std::string& text) {
    std::istringstream in(text);
    return read_dat(in, "ionic.dat");
}

TEST(IonicRead, OneCationLiquid) {
    const System sys = read_dat(ionic_file("ionic_example_1.dat"));
    const Phase& ph = sys.phases[0];
    ASSERT_EQ(ph.model, Model::subi);
    ASSERT_TRUE(ph.ionic.has_value());
    const IonicLiquid& q = *ph.ionic;
    EXPECT_EQ(q.cation, (std::vector<std::string>{"Cu+1"}));
    EXPECT_EQ(q.site2, (std::vector<std::string>{"S-2", "Va", "S"}));
    EXPECT_EQ(q.vacancy, 1);
    EXPECT_EQ(q.cation_charge, (std::vector<double>{1.0}));
    EXPECT_EQ(q.record_site2, (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(q.excess.size(), 3U);
    EXPECT_EQ(q.excess[0].kind, IonicKind::c_ax);
    EXPECT_EQ(q.excess[0].sets.size(), 2U);
    EXPECT_EQ(q.excess[0].sets[1][0], -4000.0);
    EXPECT_EQ(q.excess[1].kind, IonicKind::c_ax);
    EXPECT_EQ(q.excess[2].kind, IonicKind::c_vab);
    // The `*  1.00` after the neutral is its cation's charge, not a value to warn about.
    EXPECT_TRUE(sys.warnings.empty()) << sys.warnings.front();
    // The records keep their own element rows and energies (a neutral's
    // record is divided by its cation's charge in the model, not here).
    EXPECT_EQ(sys.constituents[0].stoich, (std::vector<double>{2.0, 1.0}));
}

TEST(IonicRead, TwoCationLiquidAndEveryKindOfItsRecords) {
    const System sys = read_dat(ionic_file("ionic_example_2.dat"));
    const IonicLiquid& q = *sys.phases[0].ionic;
    EXPECT_EQ(q.cation, (std::vector<std::string>{"Cu+1", "Ca+2"}));
    EXPECT_EQ(q.record_cation, (std::vector<int>{0, 0, 0, 1, 1, 1}));
    const std::vector<IonicKind> kinds = {IonicKind::cc_a, IonicKind::cc_va, IonicKind::c_ax,  IonicKind::c_ax,
                                          IonicKind::c_ax, IonicKind::c_vab, IonicKind::cc_ax, IonicKind::c_axx};
    ASSERT_EQ(q.excess.size(), kinds.size());
    for (std::size_t k = 0; k < kinds.size(); ++k) EXPECT_EQ(q.excess[k].kind, kinds[k]) << k;
    EXPECT_EQ(q.excess[6].cation, (std::vector<int>{0, 1}));
    EXPECT_EQ(q.excess[6].site2, (std::vector<int>{0, 1}));
    EXPECT_EQ(q.excess[7].site2, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(sys.warnings.empty());
}

struct Fault {
    std::string label;
    std::string text;
    int line;
    std::string message;
};

TEST(IonicRead, EveryFaultNamesPhaseRecordAndLine) {
    const std::string one = text_of("ionic_example_1.dat");
    const std::string two = text_of("ionic_example_2.dat");
    const std::vector<Fault> faults = {
        {"names", edit(one, " S-2                      Va                       S", " S-2  Va"), 24,
         "phase LIQUID_I1 (SUBI): expected 3 names on sublattice 2, found 2"},
        {"sublattices", edit(one, "\n   2\n   1.00000", "\n   3\n   1.00000"), 25,
         "phase LIQUID_I1 (SUBI): sublattice count 3, expected 2"},
        {"cation charge", edit(one, "   1.00000\n  -2.00000", "  -1.00000\n  -2.00000"), 26,
         "phase LIQUID_I1: charge -1 of cation Cu+1 must be positive"},
        {"anion charge", edit(one, "  -2.00000  -1.00000   0.00000", "   2.00000  -1.00000   0.00000"), 27,
         "phase LIQUID_I1: anion S-2 has charge 2"},
        {"two vacancies", edit(one, " S-2                      Va                       S", " S-2  Va  VA"), 27,
         "phase LIQUID_I1: more than one vacancy"},
        {"no vacancy", edit(one, " S-2                      Va                       S", " S-2  Vx  S"), 27,
         "phase LIQUID_I1 (SUBI): no vacancy (Va) on sublattice 2"},
        {"name twice", edit(one, " S-2                      Va                       S", " S-2  Va  S-2"), 24,
         "phase LIQUID_I1: name 'S-2' appears twice on sublattice 2"},
        {"cation index", edit(one, "   1   1   1\n   1   2   3", "   2   1   1\n   1   2   3"), 28,
         "phase LIQUID_I1, species Cu+1:S-2: cation index 2 outside 1..1"},
        {"missing pair", edit(two, "   1   2   3   1   2   3\n", "   1   2   3   1   3   3\n"), 41,
         "phase LIQUID_I2: no record for Ca+2:Va"},
        {"pair twice", edit(two, "   1   2   3   1   2   3\n", "   1   1   3   1   2   3\n"), 13,
         "phase LIQUID_I2: two records for Cu+1:S-2"},
        {"element row", edit(two, "   1  1     0.00000    2.00000    2.00000", "   1  1     0.00000    2.00000    3.00000"), 22,
         "phase LIQUID_I2: element row of Ca+2:S-2 is not 2·row(Ca+2:Va) + 2·row(S-2)"},
        {"neutral rows", edit(two, "   1  1     0.00000    0.00000    2.00000", "   1  1     0.00000    0.00000    3.00000"), 30,
         "phase LIQUID_I2: copies of neutral S differ in their element rows"},
        {"kind", edit(two, "   3\n   1   2   3   2\n", "   3\n   1   2   5   2\n"), 43,
         "phase LIQUID_I2, excess record 1 (Cu+1,Ca+2:S): interaction kind not supported"},
        {"C,C,C:A", edit(one, "   3\n   1   2   4   1", "   4\n   1   2   3   4   1"), 35,
         "phase LIQUID_I1, excess record 2 (Cu+1:S-2,Va,S)"},  // one cation: a C:A,X,X' term, read
        {"order of C:Va,B", edit(one, "   1   3   4   1\n", "   1   3   4   2\n  1.0 0 0 0 0 0\n"), 38,
         "phase LIQUID_I1, excess record 3: 2 coefficient sets for a C:Va,B term (allowed: 1)"},
        {"ternary sets", edit(two, "   1   3   4   5   1\n", "   1   3   4   5   2\n 1.0 0 0 0 0 0\n"), 66,
         "phase LIQUID_I2, excess record 8: 2 coefficient sets for a C:A,X,X term (allowed: 1 or 3)"},
        {"ascending", edit(one, "   1   2   3   2\n", "   1   3   2   2\n"), 31,
         "phase LIQUID_I1, excess record 1: indices must be distinct and ascending, found 3 before 2"},
        {"k", edit(one, "   3\n   1   2   3   2", "   5\n   1   2   3   2"), 30,
         "phase LIQUID_I1, excess record 1: 5 constituents listed (allowed: 3 or 4)"},
    };
    for (const Fault& f : faults) {
        if (f.label == "C,C,C:A") {
            // A four-constituent record with one cation and three species of
            // the second sublattice is read (C:A,X,X').
            EXPECT_NO_THROW(read_text(f.text)) << f.label;
            continue;
        }
        try {
            read_text(f.text);
            ADD_FAILURE() << f.label << ": read without error";
        } catch (const DataError& e) {
            EXPECT_EQ(e.line(), f.line) << f.label << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(f.message), std::string::npos) << f.label << ": " << e.what();
        }
    }
}

TEST(IonicRead, KindsWithoutAModelAreRefused) {
    // Three cations over one anion and three neutrals: no file has them,
    // their terms are not settled.
    const std::string limit = text_of("ionic_limit.dat");
    for (const auto& [record, names] :
         {std::pair<std::string, std::string>{"   4\n   1   2   3   5   1\n", "(A+1,B+2,C+3:N1)"},
          std::pair<std::string, std::string>{"   4\n   1   5   6   7   1\n", "(A+1:N1,N2,N3)"}}) {
        try {
            read_text(edit(limit, "   0\n LIQ_RK", record + "  1.0 0 0 0 0 0\n   0\n LIQ_RK"));
            ADD_FAILURE() << names;
        } catch (const DataError& e) {
            EXPECT_NE(std::string(e.what()).find(names + ": interaction kind not supported"), std::string::npos) << e.what();
        }
    }
}

TEST(IonicRead, WarningsForMarkersCopiesAndReciprocalOrders) {
    const std::string two = text_of("ionic_example_2.dat");
    std::string t = edit(two, "*         1.00", "*         2.00");
    t = edit(t, "  4.00000000E+03  4.00000000E+03  2.40000000E+02", "  4.00000000E+03  4.50000000E+03  2.40000000E+02");
    t = edit(t, "   1   2   3   4   1\n -1.00000000E+04  0.00000000E+00  0.00000000E+00  0.00000000E+00  0.00000000E+00  0.00000000E+00\n",
             "   1   2   3   4   2\n -1.0E+04 0 0 0 0 0\n 1.0E+03 0 0 0 0 0\n");
    const System sys = read_text(t);
    ASSERT_EQ(sys.warnings.size(), 3U);
    EXPECT_NE(sys.warnings[0].find("ionic.dat:18: phase LIQUID_I2, species S: marker 2 differs from cation charge 1"),
              std::string::npos)
        << sys.warnings[0];
    EXPECT_NE(sys.warnings[1].find(":30: phase LIQUID_I2: copies of neutral S differ after division by the cation "
                                   "charge; the first is used"),
              std::string::npos)
        << sys.warnings[1];
    EXPECT_NE(sys.warnings[2].find("(Cu+1,Ca+2:S-2,Va): reciprocal orders follow an unconfirmed convention"),
              std::string::npos)
        << sys.warnings[2];
}

TEST(IonicRead, SubmIsReadByItsLayoutThenRefused) {
    try {
        read_dat(ionic_file("subm_block.dat"));
        ADD_FAILURE() << "read without error";
    } catch (const DataError& e) {
        EXPECT_EQ(e.line(), 7) << e.what();
        EXPECT_NE(std::string(e.what()).find("phase SALT: model SUBM not supported"), std::string::npos) << e.what();
    }
    // A broken layout is a layout error, where it is.
    std::string t = text_of("subm_block.dat");
    t = edit(t, "   1   2   1   2\n", "   1   9   1   2\n");
    try {
        read_text(t);
        ADD_FAILURE() << "read without error";
    } catch (const DataError& e) {
        EXPECT_EQ(e.line(), 36) << e.what();
        EXPECT_NE(std::string(e.what()).find("out of range"), std::string::npos) << e.what();
    }
}

TEST(IonicRead, CompiledFormCarriesTheLiquid) {
    for (const char* name : {"ionic_example_2.dat", "ionic_limit.dat"}) {
        const System sys = read_dat(ionic_file(name));
        std::stringstream buffer;
        write_cst(sys, CstHeader{}, buffer);
        const CstFile back = read_cst(buffer, "ionic.cst");
        EXPECT_EQ(back.header.format_version, kCstFormatVersion);
        EXPECT_TRUE(back.system == sys) << name;
    }
}

}  // namespace
}  // namespace eqcore
