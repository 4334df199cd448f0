// Sublattice and magnetic phases and function libraries: what the reader
// makes of worked example C, of the iron file (a function library) and of
// the two alloy assessments, the values those files define (worked out by
// hand from their coefficients), and the reader's errors on malformed
// records.
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/magnetic.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/subl.hpp"

namespace eqcore {
namespace {

using testing::near_rel;

double G_of(const System& sys, const std::string& phase, double T, const std::vector<double>& n) {
    return phase_props(sys, testing::phase_index(sys, phase), T, kPstd, n).G;
}

// The magnetic function of Inden / Hillert-Jarl written out, p = 0.40.
double f_bcc(double tau) {
    const double p = 0.4, A = 518.0 / 1125.0 + 11692.0 / 15975.0 * (1.0 / p - 1.0);
    if (tau <= 1.0)
        return 1.0 - (79.0 / (140.0 * p * tau) +
                      474.0 / 497.0 * (1.0 / p - 1.0) * (std::pow(tau, 3) / 6 + std::pow(tau, 9) / 135 + std::pow(tau, 15) / 600)) / A;
    return -(std::pow(tau, -5) / 10 + std::pow(tau, -15) / 315 + std::pow(tau, -25) / 1500) / A;
}

TEST(WorkedExampleC, ReaderGivesTheStatedRecords) {
    const System sys = read_dat(testing::test_data("example-c.dat"));
    const Phase& bcc = sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "BCC_TEST"))];
    EXPECT_EQ(bcc.model, Model::subl);
    EXPECT_EQ(bcc.model_code, "SUBLM");
    ASSERT_TRUE(bcc.magnetic.present);
    EXPECT_EQ(bcc.magnetic.afm, 1.0);
    EXPECT_EQ(bcc.magnetic.structure, 0.4);
    EXPECT_EQ(bcc.magnetic.tc, (std::vector<double>{1000.0, 500.0}));
    EXPECT_EQ(bcc.magnetic.beta, (std::vector<double>{2.2, 0.5}));
    EXPECT_EQ(sys.constituent(testing::phase_index(sys, "BCC_TEST"), 0).data_option, 16);
    EXPECT_EQ(sys.constituent(testing::phase_index(sys, "BCC_TEST"), 1).data_option, 13);
    EXPECT_EQ(bcc.sublattice.sites, (std::vector<double>{1.0, 3.0}));
    EXPECT_EQ(bcc.sublattice.names, (std::vector<std::vector<std::string>>{{"Fe", "Ni"}, {"Va"}}));
    EXPECT_EQ(bcc.sublattice.member, (std::vector<int>{0, 0, 1, 0}));
    ASSERT_EQ(bcc.magnetic.interactions.size(), 1u);
    EXPECT_EQ(bcc.magnetic.interactions[0].index, (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(bcc.excess.size(), 1u);
    EXPECT_EQ(bcc.excess[0].index, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(bcc.excess[0].sets[0][0], -9000.0);
    const Phase& liq = sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "LIQ_TEST"))];
    EXPECT_EQ(liq.model, Model::qkto);
    EXPECT_FALSE(liq.magnetic.present);
    EXPECT_EQ(liq.excess.size(), 2u);
}

TEST(WorkedExampleC, GibbsEnergiesOfTheSection) {
    const System sys = read_dat(testing::test_data("example-c.dat"));
    // One formula unit: end-member amounts are the site fractions.
    EXPECT_TRUE(near_rel(G_of(sys, "BCC_TEST", 1000.0, {0.7, 0.3}), -51922.015, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "BCC_TEST", 600.0, {0.5, 0.5}), -22178.137, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "LIQ_TEST", 1000.0, {0.7, 0.3}), -50014.511, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "LIQ_TEST", 600.0, {0.5, 0.5}), -16405.537, 0, 1e-3));
    // Pure end members: G° (non-magnetic) + G_mag of the stated values.
    EXPECT_TRUE(near_rel(G_of(sys, "BCC_TEST", 1000.0, {1.0, 0.0}), -48696.127 - 644.460, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "BCC_TEST", 1000.0, {0.0, 1.0}), -35970.616 - 6.761, 0, 1e-3));
}

TEST(WorkedExampleC, CriticalTemperatureAndMomentOfTheSection) {
    const System sys = read_dat(testing::test_data("example-c.dat"));
    const SublModel m(sys, testing::phase_index(sys, "BCC_TEST"));
    const std::vector<double> y1 = {0.7, 0.3, 1.0}, y2 = {0.5, 0.5, 1.0};
    EXPECT_NEAR(m.magnetic().critical_temperature(y1), 967.6, 1e-9);
    EXPECT_NEAR(m.magnetic().moment(y1), 1.9, 1e-12);
    EXPECT_NEAR(m.magnetic().critical_temperature(y2), 900.0, 1e-9);
    EXPECT_NEAR(m.magnetic().moment(y2), 1.6, 1e-12);
    // G_mag written out against the model's term.
    ExcessSums s;
    m.magnetic().add(1000.0, y1, s);
    EXPECT_NEAR(s.f, kR * 1000.0 * std::log(2.9) * f_bcc(1000.0 / 967.6), 1e-9);
    EXPECT_NEAR(s.f, -494.504, 1e-3);
}

TEST(IronFile, FunctionLibraryAndMagneticTermGiveThePublishedGibbsEnergies) {
    const System sys = testing::load("fe-sgte.dat");
    EXPECT_EQ(sys.title, "Fe: SGTE unary data (Dinsdale 1991) - LIQUID, BCC_A2, FCC_A1");
    // Per mol of Fe: BCC_A2 and FCC_A1 are one formula unit of Fe:Va.
    EXPECT_TRUE(near_rel(G_of(sys, "BCC_A2", 1000.0, {1.0}), -42272.484, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "FCC_A1", 1000.0, {1.0}), -41934.737, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "LIQUID", 1000.0, {1.0}), -35972.353, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "BCC_A2", 1500.0, {1.0}), -80715.167, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "FCC_A1", 1500.0, {1.0}), -80777.618, 0, 1e-3));
    EXPECT_TRUE(near_rel(G_of(sys, "LIQUID", 1500.0, {1.0}), -78423.182, 0, 1e-3));
    // The printed GHSERFE polynomial (non-magnetic) below 1811 K.
    const double T = 1200.0;
    const double ghser = 1225.7 + 124.134 * T - 23.5143 * T * std::log(T) - 0.00439752 * T * T - 5.8927e-8 * T * T * T +
                         77359.0 / T;
    EXPECT_NEAR(standard(testing::constituent(sys, "BCC_A2", "Fe:Va"), T).g, ghser, 1e-6);
}

TEST(AlloyFiles, SublatticesSitesAndQuirks) {
    const System zr = testing::load("zr-h.dat");
    const Phase& bcc = zr.phases[static_cast<std::size_t>(testing::phase_index(zr, "BCC_A2"))];
    EXPECT_EQ(bcc.sublattice.names, (std::vector<std::vector<std::string>>{{"ZR"}, {"H", "VA"}}));
    EXPECT_TRUE(bcc.magnetic.present);
    EXPECT_TRUE(zr.phases[static_cast<std::size_t>(testing::phase_index(zr, "Zr"))].dormant);
    const System am = testing::load("al-mg.dat");
    const Phase& gamma = am.phases[static_cast<std::size_t>(testing::phase_index(am, "A12_ALMG"))];
    EXPECT_EQ(gamma.sublattice.sites, (std::vector<double>{5.0, 12.0, 12.0}));
    EXPECT_EQ(gamma.excess.size(), 2u);
    EXPECT_EQ(gamma.excess[0].index, (std::vector<int>{0, 1, 3, 4}));
    const Phase& fcc = am.phases[static_cast<std::size_t>(testing::phase_index(am, "FCC_A1"))];
    EXPECT_EQ(fcc.model, Model::rkmp);
    EXPECT_TRUE(fcc.magnetic.present);
    // The layout of a sublattice phase: site amounts as variables, end
    // members as their combinations, vacancies without elements.
    const auto model = make_model(zr, testing::phase_index(zr, "ZR2H"));
    const ModelLayout& l = model->layout();
    EXPECT_EQ(l.variables, 3);
    EXPECT_EQ(l.sites, (std::vector<double>{2.0, 1.0}));
    EXPECT_EQ(l.row, (std::vector<double>{1, 0, 0, 1, 0, 0}));
}

// A file made of a header and one phase block, for the reader's errors.
std::string one_phase(const std::string& block, int species, const std::string& flags_and_library = "") {
    std::ostringstream os;
    os << " reader test" << std::string(80, ' ') << flags_and_library << "\n";
    os << "   2   2   0   " << species << "   0\n Fe  C\n 55.845 12.011\n   6   1   2   3   4   5   6\n   6   1   2   3   4   5   6\n";
    os << block;
    return os.str();
}

const std::string kSublHead =
    " BCC\n SUBL\n Fe:C\n   1   1   1.0   3.0\n  6000.0  1.0  0.0  0.0  0.0  0.0  0.0\n"
    " Fe:Va\n   1   1   1.0   0.0\n  6000.0  2.0  0.0  0.0  0.0  0.0  0.0\n";

void expect_error(const std::string& text, const std::vector<std::string>& words) {
    try {
        testing::parse(text);
        ADD_FAILURE() << "no error for:\n" << text;
    } catch (const DataError& e) {
        const std::string what = e.what();
        for (const std::string& w : words) EXPECT_NE(what.find(w), std::string::npos) << what << "\n(expected '" << w << "')";
    }
}

TEST(SublatticeReader, AcceptsAWellFormedBlock) {
    const System sys = testing::parse(one_phase(kSublHead + "   2\n 1.0 3.0\n 1 2\n Fe\n C Va\n 1 1\n 1 2\n   0\n", 2));
    EXPECT_EQ(sys.phases[0].sublattice.total(), 3);
}

TEST(SublatticeReader, MalformedRecordsNameLineAndField) {
    // Index table entry beyond the sublattice's constituents.
    expect_error(one_phase(kSublHead + "   2\n 1.0 3.0\n 1 2\n Fe\n C Va\n 1 1\n 1 3\n   0\n", 2),
                 {"test.dat:", "BCC", "index row of sublattice 2", "end member 2", "expected 1 to 2, found 3"});
    // The stoichiometry row does not match the site numbers.
    expect_error(one_phase(kSublHead + "   2\n 1.0 2.0\n 1 2\n Fe\n C Va\n 1 1\n 1 2\n   0\n", 2),
                 {"test.dat:", "end member Fe:C", "not the sum over its sublattices"});
    // An excess index outside the concatenated list.
    expect_error(one_phase(kSublHead + "   2\n 1.0 3.0\n 1 2\n Fe\n C Va\n 1 1\n 1 2\n 3\n 1 2 4 1\n", 2),
                 {"interaction 1", "constituent index 3", "expected 1 to 3, found 4"});
    // A term that is not one of the model: nothing listed on sublattice 1.
    expect_error(one_phase(kSublHead + "   2\n 1.0 3.0\n 1 2\n Fe\n C Va\n 1 1\n 1 2\n 2\n 2 3 1\n", 2),
                 {"interaction 1", "no constituent of sublattice 1"});
    // Too many sublattices.
    expect_error(one_phase(kSublHead + "   6\n", 2), {"number of sublattices", "expected 1 to 5, found 6"});
    // Magnetic option in a phase without the magnetic term.
    expect_error(one_phase(" LIQ\n RKMP\n Fe\n  13  1  1.0 0.0\n 6000.0 1.0 0 0 0 0 0\n 100.0 1.0\n", 1),
                 {"species Fe", "data option 13", "no magnetic term"});
    // A magnetic phase record that is not usable.
    expect_error(one_phase(" LIQ\n RKMPM\n 0.0 0.28\n", 1), {"magnetic record", "antiferromagnetic multiplier"});
    // Unsupported models name the phase and the model.
    expect_error(one_phase(" SLAG\n SUBX\n", 1), {"phase SLAG", "model SUBX is not supported"});
    // Unknown data option.
    expect_error(one_phase(" LIQ\n RKMP\n Fe\n  19  1  1.0 0.0\n", 1), {"species Fe", "data option", "found 19"});
}

TEST(FunctionLibrary, ReferencesResolveByNameAndErrorsNameTheFunction) {
    const std::string library =
        "L F\n   2   0   0   0\n ONE\n   1\n  1.0  0.0\n  6000.0  0.0  0.0  0.0  0.0\n 1  0.0  0.00\n"
        " LIN\n   1\n  0.0  -1.0\n  6000.0  0.0  0.0  0.0  0.0\n 1  0.0  0.00\n";
    auto file = [&](const std::string& refs) {
        std::string text = one_phase(" LIQ\n RKMP\n Fe\n  10  1  1.0  0.0\n" + refs + "   0\n", 1, library);
        return text;
    };
    // G = 5 * ONE + 2 * LIN = 5 + 2 T.
    const System sys = testing::parse(file("   2   0\n   1  1  2  5.0\n ONE\n   7  1  2  2.0\n LIN\n"));
    EXPECT_NEAR(standard(sys.constituents[0], 1000.0).g, 2005.0, 1e-9);
    EXPECT_NEAR(standard(sys.constituents[0], 400.0).g, 805.0, 1e-9);
    expect_error(file("   1   0\n   1  1  2  5.0\n NONE\n"), {"species Fe", "function name", "'NONE'"});
    expect_error(file("   1   3\n"), {"species Fe", "integer after the number of references", "expected 0, found 3"});
}

}  // namespace
}  // namespace eqcore
