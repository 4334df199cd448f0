// Flashes without chemistry: every component stays in the phase of its
// engine constituent; the flash finds the temperature (PQ) or the duty (TP)
// from the phase properties.
#include <gtest/gtest.h>

#include <cmath>

#include "flash_case.hpp"

namespace flash_test {
namespace {

using elvar::FlashArgs;
using elvar::StreamLayout;
using elvar::SubstreamType;
using elvar::SubstreamValues;

constexpr double kRmiss = elvar::kRmiss;
constexpr double kR = 8314.462618;  // J/(kmol K), the host's gas constant

const std::vector<Component> kComponents = {
    {"N2", "N2:G1", "N2"}, {"O2", "O2:G1", "O2"}, {"CH4", "CH4:G1", "CH4"},
    {"H2OL", "H2O:L1", "H2O"}, {"C", "C:S1", "C"},
};

// Air at 1 kmol/s whose mass enthalpy is the engine's at 298.15 K.
struct Air {
    std::vector<ftn::Int> idx;
    std::vector<double> x{0.79, 0.21};
    double mw = 0.0, h = 0.0;
};
Air air(FlashCase& c, double T, double P) {
    Air a;
    a.idx = {c.component("N2"), c.component("O2")};
    a.mw = 0.79 * c.mw("N2") + 0.21 * c.mw("O2");
    a.h = vapour_enthalpy(a.idx, a.x, T, P) / a.mw;
    return a;
}

TEST(FlashWithoutChemistry, PressureDutyFlashMeetsFeedPlusDutyWithVapourOnly) {
    FlashCase c(data_file("c-h-o-n.dat"), kComponents);
    const double P = 101325.0, duty = 2.0e7;
    const Air feed = air(c, 298.15, P);
    const StreamLayout layout(c.ncomp(), {SubstreamType::mixed});
    SubstreamValues in;
    in.flows = c.flows({{"N2", 0.79}, {"O2", 0.21}});
    in.T = 298.15;
    in.P = P;
    in.h = feed.h;
    FlashArgs a(layout, layout.make({in}));
    a.kode = 1;
    a.tol = 1e-8;
    elvar::clear_terminal();  // what the start-up listed
    elvar::clear_message_log();
    c.flash(a, {kRmiss, P, duty});
    ASSERT_EQ(a.ker, 0);

    const elvar::FlashResults r = c.run().flash_results();
    const double hin = feed.h * feed.mw;  // W for 1 kmol/s
    // The products' enthalpy flow at the flash temperature is feed plus duty.
    EXPECT_NEAR(vapour_enthalpy(feed.idx, feed.x, r.T, P), hin + duty, 1e-6 * duty);
    EXPECT_NEAR(r.qcalc, duty, 1e-6 * duty);
    EXPECT_GT(r.T, 298.15 + 500.0);  // about 29 kJ/(kmol K) take 20 MJ/kmol to ~960 K
    EXPECT_LT(r.T, 298.15 + 800.0);

    // Vapour only: no liquid properties, vapour fraction 1.
    EXPECT_EQ(r.vcalc, 1.0);
    EXPECT_EQ(r.hl, kRmiss);
    EXPECT_EQ(r.sl, kRmiss);
    EXPECT_EQ(r.vl, kRmiss);
    EXPECT_EQ(r.mwl, kRmiss);
    EXPECT_EQ(r.done, 1.0);

    const SubstreamValues out = layout.read(a.strvec, 0);
    EXPECT_DOUBLE_EQ(out.flows[0], 0.79);  // composition unchanged
    EXPECT_DOUBLE_EQ(out.flows[1], 0.21);
    EXPECT_DOUBLE_EQ(out.total, 1.0);
    EXPECT_EQ(out.T, r.T);
    EXPECT_EQ(out.P, P);
    EXPECT_NEAR(*out.mw, feed.mw, 1e-12 * feed.mw);
    EXPECT_NEAR(out.h, r.hv / feed.mw, 1e-12 * std::fabs(out.h));
    EXPECT_EQ(out.vfrac, 1.0);
    EXPECT_EQ(out.lfrac, 0.0);
    EXPECT_NEAR(out.s, r.sv / feed.mw, 1e-12 * std::fabs(out.s));
    // Ideal gas: rho = P MW / (R T), to the difference of the gas constants.
    EXPECT_NEAR(out.rho, P * feed.mw / (kR * r.T), 1e-5 * out.rho);

    // Nothing is traced with the trace switch off, and nothing was wrong.
    EXPECT_TRUE(elvar::terminal_lines().empty());
    EXPECT_TRUE(elvar::reported_messages().empty());
}

TEST(FlashWithoutChemistry, TemperatureFallsBackToTheFeedAndThenTo500K) {
    FlashCase c(data_file("c-h-o-n.dat"), kComponents);
    const double P = 2.0e5;
    const Air feed = air(c, 298.15, P);
    const StreamLayout layout(c.ncomp(), {SubstreamType::mixed});
    SubstreamValues in;
    in.flows = c.flows({{"N2", 0.79}, {"O2", 0.21}});
    in.P = P;
    in.h = feed.h;

    // Work area and feed without temperature: 500 K, written back.
    FlashArgs a(layout, layout.make({in}));
    c.flash(a, {kRmiss, P, kRmiss});
    ASSERT_EQ(a.ker, 0);
    elvar::FlashResults r = c.run().flash_results();
    EXPECT_EQ(r.T, 500.0);
    EXPECT_EQ(layout.read(a.strvec, 0).T, 500.0);
    const double h500 = vapour_enthalpy(feed.idx, feed.x, 500.0, P);
    EXPECT_NEAR(r.hv, h500, 1e-9 * std::fabs(h500));
    EXPECT_NEAR(r.qcalc, h500 - feed.h * feed.mw, 1e-9 * std::fabs(h500));

    // Work area without temperature: the feed's.
    in.T = 640.0;
    FlashArgs b(layout, layout.make({in}));
    c.flash(b, {kRmiss, P, kRmiss});
    r = c.run().flash_results();
    EXPECT_EQ(r.T, 640.0);
    EXPECT_EQ(layout.read(b.strvec, 0).T, 640.0);
}

TEST(FlashWithoutChemistry, NonConventionalSubstreamCountsInTheFeedEnthalpy) {
    FlashCase c(data_file("c-h-o-n.dat"), kComponents);
    const double P = 101325.0, T = 400.0;
    const Air feed = air(c, 298.15, P);
    const StreamLayout layout(c.ncomp(), {SubstreamType::mixed, SubstreamType::noncon});
    SubstreamValues mixed;
    mixed.flows = c.flows({{"N2", 0.79}, {"O2", 0.21}});
    mixed.T = 298.15;
    mixed.P = P;
    mixed.h = feed.h;
    SubstreamValues noncon;
    noncon.flows = c.flows({{"C", 2.0}});
    noncon.h = 1000.0;  // J/kg
    noncon.mw = 50.0;   // kg/kmol, as the host carries it
    FlashArgs a(layout, layout.make({mixed, noncon}));
    c.flash(a, {T, P, kRmiss});
    ASSERT_EQ(a.ker, 0);

    const elvar::FlashResults r = c.run().flash_results();
    const double hin = feed.h * feed.mw + 1000.0 * 50.0 * 2.0;
    EXPECT_NEAR(r.qcalc, r.hv - hin, 1e-9 * std::fabs(hin));
    // The non-conventional substream gets its packed total flow and mean
    // molecular weight, nothing else.
    const SubstreamValues nc = layout.read(a.strvec, 1);
    EXPECT_EQ(nc.total, 2.0);
    EXPECT_NEAR(*nc.mw, c.mw("C"), 1e-12);
    EXPECT_EQ(nc.h, 1000.0);
    EXPECT_EQ(nc.T, kRmiss);
    EXPECT_EQ(r.nnccmp, 1);
}

TEST(FlashWithoutChemistry, SolidOnlyFeedLeavesTheEmptyMixedSubstreamMissing) {
    FlashCase c(data_file("c-h-o-n.dat"), kComponents);
    const double P = 101325.0, duty = 1.0e7;
    const StreamLayout layout(c.ncomp(), {SubstreamType::mixed, SubstreamType::cisolid});
    SubstreamValues mixed;  // no flow
    mixed.P = P;
    SubstreamValues solid;
    solid.flows = c.flows({{"C", 1.0}});
    solid.T = 298.15;
    solid.P = P;
    solid.h = 0.0;  // graphite at 298.15 K is the reference state
    FlashArgs a(layout, layout.make({mixed, solid}));
    a.kode = 1;
    a.tol = 1e-8;
    c.flash(a, {kRmiss, P, duty});
    ASSERT_EQ(a.ker, 0);

    const elvar::FlashResults r = c.run().flash_results();
    EXPECT_NEAR(r.qcalc, duty, 1e-6 * duty);
    EXPECT_EQ(r.vcalc, kRmiss);
    EXPECT_EQ(r.hv, kRmiss);
    EXPECT_EQ(r.hl, kRmiss);
    // Graphite takes about 11.8 kJ/mol from 298 K to 1000 K: 10 kJ/mol end
    // a little below 1000 K.
    EXPECT_GT(r.T, 800.0);
    EXPECT_LT(r.T, 1000.0);

    const SubstreamValues m = layout.read(a.strvec, 0);
    EXPECT_EQ(m.total, 0.0);
    EXPECT_EQ(m.P, P);
    for (double v : {m.T, m.h, m.vfrac, m.lfrac, m.s, m.rho, *m.mw}) EXPECT_EQ(v, kRmiss);

    const SubstreamValues s = layout.read(a.strvec, 1);
    EXPECT_EQ(s.total, 1.0);
    EXPECT_EQ(s.T, r.T);
    EXPECT_NEAR(s.h, r.hs / c.mw("C"), 1e-12 * std::fabs(s.h));
    EXPECT_EQ(s.vfrac, 0.0);
    EXPECT_EQ(s.lfrac, 0.0);
    EXPECT_NEAR(*s.mw, c.mw("C"), 1e-12);
    // The data file has no molar volumes: density missing, and said so.
    EXPECT_EQ(s.rho, kRmiss);
    const auto m27 = c.messages(27);
    ASSERT_EQ(m27.size(), 1u);
    EXPECT_EQ(m27[0].severity, 2);
    EXPECT_EQ(m27[0].lines.at(2), "      \"INCLUDE MOLAR VOLUME\" CHECKED ON THE EXPORT FORM");
}

TEST(FlashWithoutChemistry, SolidInTheMixedSubstreamIsReportedAndKeptOutOfBothPhases) {
    FlashCase c(data_file("c-h-o-n.dat"), kComponents);
    const double P = 101325.0;
    const StreamLayout layout(c.ncomp(), {SubstreamType::mixed});
    SubstreamValues in;
    in.flows = c.flows({{"N2", 1.0}, {"C", 1.0}});
    in.T = 298.15;
    in.P = P;
    in.h = 0.0;
    FlashArgs a(layout, layout.make({in}));
    a.kode = 1;
    c.flash(a, {kRmiss, P, 1.0e6});
    ASSERT_EQ(a.ker, 0);

    const auto m9 = c.messages(9), m32 = c.messages(32);
    ASSERT_EQ(m9.size(), 1u);
    EXPECT_EQ(m9[0].lines.at(0), "      THERE ARE CISOLID SUBSTREAM SPECIES IN THE");
    ASSERT_EQ(m32.size(), 1u);
    EXPECT_EQ(m32[0].lines.at(1), "      IT MUST BE PUT IN THE CISOLID SUBSTREAM.");
    EXPECT_NE(m32[0].lines.at(0).find(" IS A SOLID CONSTITUENT."), std::string::npos);
    // Half the mixed flow is vapour, the graphite in neither phase.
    const elvar::FlashResults r = c.run().flash_results();
    EXPECT_EQ(r.vcalc, 1.0);
    EXPECT_EQ(layout.read(a.strvec, 0).total, 2.0);
}

TEST(FlashWithoutChemistry, VapourAndLiquidSpeciesTogetherAreWarnedAbout) {
    FlashCase c(data_file("c-h-o-n.dat"), kComponents);
    const double P = 101325.0, T = 300.0;
    const StreamLayout layout(c.ncomp(), {SubstreamType::mixed});
    const std::vector<ftn::Int> n2{c.component("N2")}, water{c.component("H2OL")};
    const double mw = 0.25 * c.mw("N2") + 0.75 * c.mw("H2OL");
    const double h = (0.25 * property(401, n2, {1.0}, T, P) + 0.75 * property(406, water, {1.0}, T, P)) / mw;
    SubstreamValues in;
    in.flows = c.flows({{"N2", 1.0}, {"H2OL", 3.0}});
    in.T = T;
    in.P = P;
    in.h = h;
    FlashArgs a(layout, layout.make({in}));
    a.kode = 1;
    a.npkode = 1;  // one phase, vapour, yet liquid is predicted
    a.kphase = 1;
    c.flash(a, {kRmiss, P, 0.0});
    ASSERT_EQ(a.ker, 0);
    EXPECT_EQ(c.messages(12).size(), 1u);
    EXPECT_EQ(c.messages(18).size(), 1u);

    const elvar::FlashResults r = c.run().flash_results();
    EXPECT_DOUBLE_EQ(r.vcalc, 0.25);
    const SubstreamValues out = layout.read(a.strvec, 0);
    EXPECT_NEAR(r.mwv, c.mw("N2"), 1e-12);
    EXPECT_NEAR(r.mwl, c.mw("H2OL"), 1e-12);
    EXPECT_NEAR(*out.mw, mw, 1e-12 * mw);
    EXPECT_NEAR(out.h * mw, 0.25 * r.hv + 0.75 * r.hl, 1e-9 * std::fabs(r.hl));
    // Duty 0 and a feed at 300 K: the products at 300 K.
    EXPECT_NEAR(r.T, T, 1e-3);
    EXPECT_NEAR(r.qcalc, 0.0, 1e-6 * std::fabs(r.hl));
    EXPECT_DOUBLE_EQ(out.lfrac, 0.75);
}

}  // namespace
}  // namespace flash_test
