// Heat-capacity data (options 7 and 10) converted to G form agree with Cp
// integrated numerically from 298.15 K, including the enthalpy and entropy
// of transition between ranges; dummy phases and reader warnings.
#include <cmath>
#include <functional>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/standard.hpp"

namespace eqcore {
namespace {

using testing::near_rel;

// Simpson's rule with 4000 intervals.
double integrate(const std::function<double(double)>& f, double a, double b) {
    const int n = 4000;
    const double h = (b - a) / n;
    double s = f(a) + f(b);
    for (int i = 1; i < n; ++i) s += f(a + i * h) * ((i % 2) ? 4.0 : 2.0);
    return s * h / 3.0;
}

struct CpData {
    double h298, s298;
    std::vector<double> tmax;
    std::vector<std::function<double(double)>> cp;
    std::vector<double> transition;
};

// H and S at T from Cp integrated range by range.
std::pair<double, double> integrated(const CpData& d, double T) {
    double H = d.h298, S = d.s298, lo = 298.15;
    for (std::size_t r = 0; r < d.tmax.size(); ++r) {
        const bool last = r + 1 == d.tmax.size();
        const double hi = (T <= d.tmax[r] || last) ? T : d.tmax[r];
        H += integrate(d.cp[r], lo, hi);
        S += integrate([&](double t) { return d.cp[r](t) / t; }, lo, hi);
        if (hi == T) break;
        H += d.transition[r];
        S += d.transition[r] / d.tmax[r];
        lo = hi;
    }
    return {H, S};
}

void expect_matches(const Constituent& c, const CpData& d, std::initializer_list<double> temperatures) {
    for (double T : temperatures) {
        const auto [H, S] = integrated(d, T);
        const StandardProps p = standard(c, T);
        std::size_t r = 0;
        while (r + 1 < d.tmax.size() && T > d.tmax[r]) ++r;
        EXPECT_TRUE(near_rel(p.h, H, 1e-9, 1e-6)) << c.name << " H at " << T;
        EXPECT_TRUE(near_rel(p.s, S, 1e-9)) << c.name << " S at " << T;
        EXPECT_TRUE(near_rel(p.g, H - T * S, 1e-9, 1e-6)) << c.name << " G at " << T;
        EXPECT_TRUE(near_rel(p.cp, d.cp[r](T), 1e-12)) << c.name << " Cp at " << T;
    }
}

class DataOptions : public ::testing::Test {
protected:
    System sys = read_dat(testing::test_data("models.dat"));
};

TEST_F(DataOptions, Option7MatchesIntegratedHeatCapacity) {
    const Constituent& cr = testing::constituent(sys, "Cr(s)", "Cr(s)");
    EXPECT_EQ(cr.data_option, 7);
    CpData d{0.0, 23.64, {2180.0, 4000.0},
             {[](double T) { return 21.0 + 1e-2 * T - 1e-6 * T * T - 2e5 / (T * T); },
              [](double) { return 39.3; }},
             {21000.0}};
    expect_matches(cr, d, {298.15, 500.0, 1500.0, 2180.0, 2500.0, 3900.0});
    // G is continuous at the transition, H jumps by the transition enthalpy.
    const StandardProps below = range_props(cr.ranges[0], 2180.0), above = range_props(cr.ranges[1], 2180.0);
    EXPECT_TRUE(near_rel(above.g, below.g, 1e-12));
    EXPECT_TRUE(near_rel(above.h - below.h, 21000.0, 1e-9));
}

TEST_F(DataOptions, Option10WithExtraCpTermsMatchesIntegratedHeatCapacity) {
    const Constituent& fe = testing::constituent(sys, "Fe(s)", "Fe(s)");
    EXPECT_EQ(fe.data_option, 10);
    // Range 1 has Cp terms 500/T (a ln T term in G) and -30 T^-0.5.
    CpData d{0.0, 27.28, {1800.0, 4000.0},
             {[](double T) { return 24.0 + 8e-3 * T - 1.5e5 / (T * T) + 500.0 / T - 30.0 / std::sqrt(T); },
              [](double) { return 46.0; }},
             {13800.0}};
    expect_matches(fe, d, {298.15, 700.0, 1800.0, 2000.0, 3500.0});
    bool has_ln = false;
    for (const ExtraTerm& x : fe.ranges[0].extra) has_ln = has_ln || x.e == kLnTExponent;
    EXPECT_TRUE(has_ln);
}

TEST_F(DataOptions, DummyPhasesAreDormantAndOthersAreNot) {
    for (const Phase& p : sys.phases) EXPECT_EQ(p.dormant, p.name == "Ni(s)") << p.name;
    EXPECT_TRUE(sys.warnings.empty());
}

TEST(ReaderWarnings, NonZeroValuesAfterNameAndRepeatedTmax) {
    const std::string text =
        " title\n 1 1 1 0\n A\n 1.0\n 6 1 2 3 4 5 6\n 6 1 2 3 4 5 6\n GAS\n IDMX\n"
        " A2  0.0  1.5\n 1 2 2.0\n 1000 1 2 3 4 5 6\n 1000 7 8 9 10 11 12\n";
    const System sys = testing::parse(text);
    ASSERT_EQ(sys.warnings.size(), 2U);
    EXPECT_NE(sys.warnings[0].find("test.dat:9:"), std::string::npos) << sys.warnings[0];
    EXPECT_NE(sys.warnings[0].find("1.5"), std::string::npos);
    EXPECT_NE(sys.warnings[1].find("same Tmax"), std::string::npos) << sys.warnings[1];
    // The first of two ranges with the same Tmax is kept.
    ASSERT_EQ(sys.constituents[0].ranges.size(), 1U);
    EXPECT_EQ(sys.constituents[0].ranges[0].coef[0], 1.0);
}

TEST(ReaderLayout, WrappedRecordsFlagsAndMiscibilityCopies) {
    // Counts wrap over lines, a 7-real range wraps 5 + 2, the title carries
    // the long-name flag, and a liquid written twice becomes LIQ#1, LIQ#2.
    std::string title = " Wrapped";
    title.resize(80, ' ');
    title += "L";
    const std::string species = " A(l)\n 1 1 1.0\n 1000 1 2 3 4\n 5 6\n";
    const std::string text = title + "\n 1 3\n 0 1\n 1\n 0\n A\n 1.0\n 6 1 2 3 4 5 6\n 1 1\n LIQ\n IDMX\n" + species +
                             " LIQ\n IDMX\n" + species;
    const System sys = testing::parse(text);
    EXPECT_EQ(sys.title, "Wrapped");
    ASSERT_EQ(sys.phase_count(), 2);
    EXPECT_EQ(sys.phases[0].name, "LIQ#1");
    EXPECT_EQ(sys.phases[1].name, "LIQ#2");
    EXPECT_EQ(sys.constituents[1].ranges[0].coef[5], 6.0);
    // Line 6 other than 6 1 2 3 4 5 6 without excess records: a warning.
    ASSERT_EQ(sys.warnings.size(), 1U);
    EXPECT_NE(sys.warnings[0].find("test.dat:9:"), std::string::npos) << sys.warnings[0];
}

}  // namespace
}  // namespace eqcore

namespace eqcore {
namespace {

TEST(ReaderLayout, EveryGasModelCodeIsAnIdealGas) {
    for (const char* code : {"IDMX", "RGAS", "IDVT", "IDBS", "idvd"}) {
        const std::string text = std::string(" t\n 1 1 1 0\n A\n 1.0\n 6 1 2 3 4 5 6\n 6 1 2 3 4 5 6\n GAS\n ") + code +
                                 "\n A\n 1 1 1.0\n 1000 1 2 3 4 5 6\n";
        const System sys = testing::parse(text);
        EXPECT_EQ(sys.phases[0].model, Model::ideal_gas) << code;
        EXPECT_EQ(sys.phases[0].model_code, code);
    }
}

TEST(ReaderLayout, UnknownTitleFlagIsTitleTextWithAWarning) {
    std::string title = " Old file 12-MAR-89";
    title.resize(78, ' ');
    title += "X";
    const System sys = testing::parse(title + "\n 1 1 1 0\n A\n 1.0\n 6 1 2 3 4 5 6\n 6 1 2 3 4 5 6\n GAS\n IDMX\n A\n 1 1 1.0\n 1000 1 2 3 4 5 6\n");
    EXPECT_EQ(sys.title.back(), 'X');
    ASSERT_EQ(sys.warnings.size(), 1U);
    EXPECT_NE(sys.warnings[0].find("unknown flag 'X'"), std::string::npos);
}

}  // namespace
}  // namespace eqcore
