// Reading SUBG and SUBQ blocks: the worked-example files as loaded, a
// coordination record written the other way round, the interpolation
// overrides, and each refusal naming the phase, the record and the line.
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "data/cst.hpp"
#include "qc_util.hpp"
#include "thermo/quasichem.hpp"

namespace eqcore {
namespace {

using testing::qc_file;
using testing::qc_load;
using testing::qc_parse;
using testing::qc_phase;

std::string text_of(const std::string& name) {
    std::ifstream in(qc_file(name));
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The file with line `line` (1-based) replaced.
std::string with_line(std::string text, int line, const std::string& replacement) {
    std::size_t b = 0;
    for (int k = 1; k < line; ++k) b = text.find('\n', b) + 1;
    const std::size_t e = text.find('\n', b);
    return text.replace(b, e - b, replacement);
}

// Loading `text` fails at `line` with a message containing every part.
void expect_error(const std::string& text, int line, const std::vector<std::string>& parts) {
    try {
        (void)qc_parse(text);
        ADD_FAILURE() << "loaded, expected an error containing " << parts.front();
    } catch (const DataError& e) {
        EXPECT_EQ(e.line(), line) << e.what();
        for (const std::string& p : parts) EXPECT_NE(std::string(e.what()).find(p), std::string::npos) << e.what();
    }
}

TEST(QuasichemReader, PairLiquidAsLoaded) {
    const System sys = qc_load("qc_example_1.dat");
    const Phase& liq = sys.phases[static_cast<std::size_t>(qc_phase(sys, "LIQ_Q1"))];
    EXPECT_EQ(liq.model, Model::subg);
    ASSERT_EQ(liq.count, 2);
    EXPECT_EQ(sys.constituent(qc_phase(sys, "LIQ_Q1"), 0).name, "Ga");
    ASSERT_TRUE(liq.quasichem.has_value());
    const QuasichemData& d = *liq.quasichem;
    EXPECT_EQ(d.cation, (std::vector<std::string>{"Ga", "In"}));
    EXPECT_EQ(d.anion, (std::vector<std::string>{"Va"}));
    EXPECT_EQ(d.zeta, (std::vector<double>{2.4, 2.4}));
    EXPECT_EQ(d.terms.size(), 3u);
    EXPECT_EQ(d.terms[1].p, 1);
    EXPECT_EQ(d.terms[0].coef[0], -12000.0);
    EXPECT_EQ(d.quadruplets(), 3);
}

TEST(QuasichemReader, DefaultsAndOrderOfTheTernaryPairLiquid) {
    const System sys = qc_load("qc_example_2.dat");
    const QuasichemData& d = *sys.phases[0].quasichem;
    EXPECT_EQ(d.cation_group, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(d.terms[5].ternary, 2);
    EXPECT_EQ(d.terms[5].r, 2);
    const std::vector<Quadruplet> q = quadruplets(d);
    ASSERT_EQ(q.size(), 6u);
    // GaGa, InIn, SnSn, GaIn, GaSn (defaulted: 6 6 6 6), InSn.
    EXPECT_EQ(q[4].ion, (std::array<int, 4>{0, 2, 3, 3}));
    for (double z : q[4].z) EXPECT_DOUBLE_EQ(z, 6.0);
    EXPECT_NEAR(q[5].z[2], 48.0 / 7.0, 1e-9);
}

TEST(QuasichemReader, ACoordinationRecordWrittenTheOtherWayRoundIsSwapped) {
    const std::string t = with_line(text_of("qc_example_1.dat"), 30, "   2   1   3   3   4.0   6.0   4.8   4.8");
    const System sys = qc_parse(t);
    const std::vector<Quadruplet> q = quadruplets(*sys.phases[0].quasichem);
    EXPECT_EQ(q[2].ion, (std::array<int, 4>{0, 1, 2, 2}));
    EXPECT_EQ(q[2].z[0], 6.0);
    EXPECT_EQ(q[2].z[1], 4.0);
}

TEST(QuasichemReader, KohlerOverrideLinesAreReadAndOtherLettersRefused) {
    const std::string base = text_of("qc_example_2.dat");
    const std::string kohler = "  -1\n    1    2    3K        1    2K        1    3K        2    3    4";
    // The excess list ends on the line after the last record: "   0".
    const std::size_t end = base.rfind("\n   0\n");
    ASSERT_NE(end, std::string::npos);
    std::string t = base;
    t.replace(end + 1, 4, kohler);
    const System sys = qc_parse(t);
    ASSERT_EQ(sys.phases[0].quasichem->kohler.size(), 1u);
    EXPECT_EQ(sys.phases[0].quasichem->kohler[0].cation, (std::array<int, 3>{0, 1, 2}));
    EXPECT_EQ(sys.phases[0].quasichem->kohler[0].anion, 3);
    // With the override In joins neither side of Ga-Sn already; Sn leaves
    // Ga's side in Ga-In: the energy changes.
    const int line = 1 + static_cast<int>(std::count(t.begin(), t.begin() + static_cast<long>(end) + 1, '\n')) + 1;
    std::string toop = t;
    toop.replace(toop.find("3K        2    3"), 2, "3T");
    expect_error(toop, line, {"phase LIQ_Q2, interpolation override 1: letter 'T' not supported"});
    std::string short_line = t;
    short_line.replace(short_line.find("    2    3    4"), 15, "    2    3");
    expect_error(short_line, line, {"phase LIQ_Q2, interpolation override 1: expected 10 items, found 9"});
}

TEST(QuasichemReader, RefusalsNameThePhaseTheRecordAndTheLine) {
    const std::string q1 = text_of("qc_example_1.dat");
    struct Case {
        int line;
        std::string replacement;
        int error_line;
        std::string message;
    };
    const Case cases[] = {
        {9, "  -2.4", 9, "phase LIQ_Q1 (SUBG): expected ζ (one positive real) after the model code, found '-2.4'"},
        {10, "   2   0", 10, "phase LIQ_Q1: expected 'nEndMembers nCoordinationRecords' (positive integers), found '2 0'"},
        {14, "  0.0  1.0  0.0  0.0  0.0", 14, "phase LIQ_Q1, end member Ga: ν_A and ν_X must be positive, found 0 1"},
        {19, "   2   2", 19, "phase LIQ_Q1: 2 end members for 2 cations × 2 anions (must be equal)"},
        {20, " Ga                      Ga", 20, "phase LIQ_Q1: cation name 'Ga' appears twice"},
        {22, "  1.0  0.0", 22, "phase LIQ_Q1: charge of In is zero"},
        {26, "   1   3", 26, "phase LIQ_Q1: end member In has cation index 3 outside 1..2"},
        {26, "   1   1", 27, "phase LIQ_Q1: cation Ga and anion Va have no end member (or more than one)"},
        {22, "  1.0  2.0", 27, "phase LIQ_Q1, end member In: ν_A·q_A = 2 but ν_X·q_X = 1"},
        {28, "   1   1   2   3   6.0   6.0   6.0   6.0", 28, "phase LIQ_Q1, coordination record 1: index 2 is not an anion index"},
        {30, "   1   2   3   3   6.0   4.0   4.0   4.8", 30, "phase LIQ_Q1, coordination record 1 2 3 3: not charge-neutral"},
        {30, "   2   2   3   3   8.0   8.0   8.0   8.0", 30, "phase LIQ_Q1: coordination numbers for quadruplet 2 2 3 3 given twice"},
        {29, "   1   2   3   3   6.0   4.0   4.8   4.8", 30, "phase LIQ_Q1: coordination numbers for quadruplet 1 2 3 3 given twice"},
        {31, "   5", 31, "phase LIQ_Q1, excess record 1: expected 3 or 4, found 5"},
        {32, " X   1   2   3   3  0  0  0  0", 32, "phase LIQ_Q1, excess record 1: unknown term kind 'X'"},
        {32, " B   1   2   3   3  0  0  0  0", 35, "phase LIQ_Q1, excess record 1: term kind B not supported"},
        {32, " R   1   2   3   3  0  0  0  0", 35, "phase LIQ_Q1, excess record 1: term kind R not supported"},
        {32, " G   1   1   3   3  0  0  0  0", 32, "phase LIQ_Q1, excess record 1 (G 1 1 3 3): a G term must mix on exactly one sublattice"},
        {32, " G   1   2   3   3  -1  0  0  0", 32, "phase LIQ_Q1, excess record 1: exponents -1 0 0 0 invalid"},
        {32, " G   1   2   3   3  0  0  1  0", 32, "phase LIQ_Q1, excess record 1: exponents 0 0 1 0 invalid"},
        {35, "   0  0  -12000.0  2.0  0.0  0.0  1.0  0.0", 35, "phase LIQ_Q1, excess record 1: coefficients 5 and 6 must be 0 (meaning not settled), found 1 0"},
        {12, "   13  1  1.0  0.0", 12, "phase LIQ_Q1, end member Ga: data option 13 not allowed in a quasichemical phase"},
        {2, "   2   2   0   4   3", 2, "phase LIQ_Q1: header count 4 differs from the number of quadruplets 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        expect_error(with_line(q1, c.line, c.replacement), c.error_line, {c.message});
    }
    // No record for a pure quadruplet.
    std::string t = with_line(q1, 10, "   2   2");
    t = with_line(t, 29, "");
    expect_error(t, 30, {"phase LIQ_Q1: no coordination record for pure quadruplet 2 2 3 3"});
    // A ternary constituent on the anion sublattice.
    expect_error(with_line(with_line(q1, 32, " G   1   2   3   3  0  0  1  0"), 35, "   0  1  -12000.0  2.0  0.0  0.0  0.0  0.0"),
                 35, {"phase LIQ_Q1, excess record 1: ternary constituent on the anion sublattice not supported"});
    // A ternary term whose third constituent is one of its binary's ions.
    const std::string q2 = text_of("qc_example_2.dat");
    const std::size_t at = q2.find("   3  0  -5000.0");
    ASSERT_NE(at, std::string::npos);
    std::string bad = q2;
    bad.replace(at, 4, "   1");
    expect_error(bad, 1 + static_cast<int>(std::count(q2.begin(), q2.begin() + static_cast<long>(at), '\n')),
                 {"phase LIQ_Q2, excess record 6: ternary constituent 1 invalid"});
}

TEST(QuasichemReader, ReciprocalTermWithZeroCoefficientsIsIgnoredWithAWarning) {
    const std::string q1 = text_of("qc_example_1.dat");
    const System sys = qc_parse(with_line(with_line(q1, 32, " R   1   2   3   3  0  0  0  0"), 35,
                                          "   0  0  0.0  0.0  0.0  0.0  0.0  0.0"));
    EXPECT_EQ(sys.phases[0].quasichem->terms.size(), 2u);
    bool warned = false;
    for (const std::string& w : sys.warnings)
        warned = warned || w.find("excess record 1: reciprocal term with zero coefficients ignored") != std::string::npos;
    EXPECT_TRUE(warned);
}

TEST(QuasichemReader, BinaryFormCarriesTheBlocks) {
    for (const char* f : {"qc_example_1.dat", "qc_example_2.dat", "qc_example_3.dat"}) {
        const System sys = qc_load(f);
        std::ostringstream out;
        write_cst(sys, CstHeader{}, out);
        const std::string bytes = out.str();
        const CstFile back = read_cst_bytes(bytes, "qc.cst", true);
        EXPECT_TRUE(back.system == sys) << f;
        EXPECT_EQ(back.header.format_version, kCstFormatVersion);
    }
}

}  // namespace
}  // namespace eqcore
