// Records of strongly non-ideal solutions: RKMP terms of four constituents,
// QKTO species in different groups (Toop-like sets) or with weights
// (equivalent fractions), and a dummy phase written twice. Values are
// written out by hand from the file's coefficients; the thermodynamic
// identities of the same phases are in identities_test.cpp.
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

using testing::near_rel;

System records() { return read_dat(testing::test_data("nonideal-records.dat")); }

double excess_g(const System& sys, const std::string& phase, double T, const std::vector<double>& x,
                std::vector<double>* mu = nullptr) {
    std::span<double> m;
    if (mu != nullptr) m = *mu;
    return make_model(sys, testing::phase_index(sys, phase))->excess(T, x, m).g;
}

TEST(NonidealRecords, AreReadAsWritten) {
    const System sys = records();
    const Phase& q = sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "FCC_Q"))];
    ASSERT_EQ(q.excess.size(), 4U);
    EXPECT_EQ(q.excess[2].index, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(q.excess[3].index, (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(q.excess[3].sets.size(), 1U);
    const Phase& t = sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "LIQ_TOOP"))];
    EXPECT_EQ(t.qkto_group, (std::vector<int>{1, 2, 2, 3}));
    EXPECT_EQ(t.qkto_weight, (std::vector<double>{1.0, 1.0, 1.0, 1.0}));
    const Phase& w = sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "LIQ_W"))];
    EXPECT_EQ(w.qkto_weight, (std::vector<double>{1.0, 2.0, 1.5}));
    EXPECT_TRUE(q.qkto_weight.empty());
}

// x_1 x_2 (L0 + L1 (x_1 - x_2)) + x_1 x_2 x_3 L_ter + x_1 x_2 x_3 x_4 (L_a + L_b):
// the two records of the same four constituents add, whatever their order.
TEST(NonidealRecords, FourConstituentRkmpTermByHand) {
    const System sys = records();
    const double T = 1000.0, lnT = std::log(T);
    const std::vector<double> x = {0.1, 0.2, 0.3, 0.4};
    const double L0 = -9000.0 + 2.0 * T, L1 = 1000.0, Lt = -5000.0 + 1.5 * T;
    const double Lq = (-60000.0 + 12.0 * T) + (25000.0 - 1.5 * T * lnT + 2.0e5 / T);
    const double expected = x[0] * x[1] * (L0 + L1 * (x[0] - x[1])) + x[0] * x[1] * x[2] * Lt +
                            x[0] * x[1] * x[2] * x[3] * Lq;
    EXPECT_TRUE(near_rel(excess_g(sys, "FCC_Q", T, x), expected, 1e-13));
}

// With the four-constituent records alone, the partial molar excess is the
// closed form L p (delta_m / x_m - 3), p = x_1 x_2 x_3 x_4.
TEST(NonidealRecords, FourConstituentPartialMolarExcessIsTheClosedForm) {
    System sys = records();
    Phase& q = sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "FCC_Q"))];
    q.excess.erase(q.excess.begin(), q.excess.begin() + 2);
    const double T = 1250.0, lnT = std::log(T);
    const double Lq = (-60000.0 + 12.0 * T) + (25000.0 - 1.5 * T * lnT + 2.0e5 / T);
    const std::vector<double> x = {0.05, 0.45, 0.2, 0.3};
    const double p = x[0] * x[1] * x[2] * x[3];
    std::vector<double> mu(4);
    EXPECT_TRUE(near_rel(excess_g(sys, "FCC_Q", T, x, &mu), Lq * p, 1e-13));
    for (std::size_t m = 0; m < 4; ++m) EXPECT_TRUE(near_rel(mu[m], Lq * p * (1.0 / x[m] - 3.0), 1e-12)) << m;
}

// Groups Fe 1, Ni 2, Cr 2, Co 3. Fe-Ni: Cr joins Ni (same group), Co joins
// neither; Ni-Co: Cr joins Ni, Fe neither; Ni-Cr (one group): Kohler. The
// ternary term ignores the groups.
TEST(NonidealRecords, QktoGroupsMakeToopSetsByHand) {
    const System sys = records();
    const double T = 1000.0, lnT = std::log(T);
    const double fe = 0.1, ni = 0.2, cr = 0.3, co = 0.4;
    const double feni_1 = (-15000.0 + 3.0 * T) * fe * ni;                    // (1,1): sets make no difference
    const double feni_2 = 6000.0 * fe * ni * (ni + cr) / (fe + ni + cr);     // (1,2): xi_2 = Ni + Cr
    const double L_nico = -8000.0 + T - 0.2 * T * lnT + 1.0e4 / T;
    const double nico = L_nico * ni * co * (ni + cr) / (ni + cr + co);      // (2,1): xi_1 = Ni + Cr
    const double nicr = 4000.0 * ni * cr;
    const double ternary = (7000.0 - 2.0 * T) * fe * ni * co * co / (fe + ni + co);
    const double expected = feni_1 + feni_2 + nico + nicr + ternary;
    EXPECT_TRUE(near_rel(excess_g(sys, "LIQ_TOOP", T, {fe, ni, cr, co}), expected, 1e-13));
    // The same records in one group are the Kohler terms: (1,2) gives
    // L x_a x_b^2 / (x_a + x_b) instead.
    System kohler = sys;
    for (int& g : kohler.phases[static_cast<std::size_t>(testing::phase_index(sys, "LIQ_TOOP"))].qkto_group) g = 1;
    const double kohler_terms = feni_1 + 6000.0 * fe * ni * ni / (fe + ni) + L_nico * ni * ni * co / (ni + co) + nicr +
                                ternary;
    EXPECT_TRUE(near_rel(excess_g(kohler, "LIQ_TOOP", T, {fe, ni, cr, co}), kohler_terms, 1e-13));
}

// Weights 1, 2, 1.5 and groups 1, 1, 2: y = w x / W, every term in y, the
// sum times W. Ni-Cr: Fe joins Ni (xi_1 = y_Fe + y_Ni, xi_2 = y_Cr, sum 1).
TEST(NonidealRecords, QktoWeightsMakeEquivalentFractionsByHand) {
    const System sys = records();
    const double T = 1000.0;
    const std::vector<double> x = {0.2, 0.3, 0.5};
    const double W = 1.0 * 0.2 + 2.0 * 0.3 + 1.5 * 0.5;
    const double y1 = 0.2 / W, y2 = 0.6 / W, y3 = 0.75 / W;
    const double feni = (-15000.0 + 3.0 * T) * y1 * y2 * y2 / (y1 + y2);
    const double nicr = 9000.0 * y2 * y3 * (y1 + y2);
    const double fecr = (-6000.0 + T) * y1 * y3;
    const double ternary = (5000.0 - 2.0 * T) * y1 * y2 * y2 * y3;
    EXPECT_TRUE(near_rel(excess_g(sys, "LIQ_W", T, x), W * (feni + nicr + fecr + ternary), 1e-13));
}

TEST(NonidealRecords, RepeatedDummyPhasesAreRenamedWithAWarning) {
    const System sys = records();
    const int first = testing::phase_index(sys, "Co(s)");
    const int second = testing::phase_index(sys, "Co(s)#2");
    EXPECT_TRUE(sys.phases[static_cast<std::size_t>(first)].dormant);
    EXPECT_TRUE(sys.phases[static_cast<std::size_t>(second)].dormant);
    ASSERT_EQ(sys.warnings.size(), 1U);
    EXPECT_NE(sys.warnings[0].find("stoichiometric phase 'Co(s)' appears 2 times among dummy phases; later copies "
                                   "renamed Co(s)#2\u2026"),
              std::string::npos)
        << sys.warnings[0];
}

std::string records_text() {
    std::ifstream in(testing::test_data("nonideal-records.dat"));
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

void expect_error(const std::string& text, int line, const std::string& fragment) {
    try {
        testing::parse(text, "bad.dat");
        ADD_FAILURE() << "read without error";
    } catch (const DataError& e) {
        EXPECT_EQ(e.line(), line) << e.what();
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
}

TEST(NonidealRecords, FaultsNameTheRecord) {
    const std::string text = records_text();
    // A four-constituent record has one set.
    expect_error(replaced(text, "   4   3   2   1   1\n", "   4   3   2   1   2\n"), 32,
                 "phase FCC_Q, interaction 4: 4-constituent interaction with 2 sets not supported (1)");
    // A dummy phase may not share its name with one that takes part.
    expect_error(replaced(text, " Fe(s)\n", " Co(s)\n"), 90, "duplicate name 'Co(s)' among the phases");
    expect_error(replaced(text, "  1.0  3\n", "  0.0  3\n"), 52,
                 "phase LIQ_TOOP, model record weight: expected a positive number, found 0");
}

}  // namespace
}  // namespace eqcore
