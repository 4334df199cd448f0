// The per-component chemical-potential terms: each phase of the kind in
// equilibrium by itself, the potentials stated per kmol in the host's
// element reference and divided by R T.
#include <gtest/gtest.h>

#include <cmath>

#include "dat_coefficients.hpp"
#include "message_log.hpp"
#include "property_scene.hpp"

namespace proptest {
namespace {

constexpr double kRgas = 8314.462618;

// (1000 mu + T Sref) / (R T), mu in J/mol.
double term(double mu, double T, double sref_kmol) { return (1000 * mu + T * sref_kmol) / (kRgas * T); }

// Methane and carbon dioxide in the gas at 1500 K, 2 bar, listed as
// (7, 3): the value of host component 7 lands in PROP(1). The gas is
// computed even when nothing is requested; liquid water gets 1.0E10.
TEST(ChemicalPotential, VapourTermsByListPosition) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    const std::string file = example("c-h-o-n.dat");
    const Species ch4 = read_species(file, "CH4");
    const Species co2 = read_species(file, "CO2");
    const double T = 1500.0, P = 2.0e5;
    const double y_ch4 = 0.4 / 0.9, y_co2 = 0.5 / 0.9;
    const double mu_ch4 = ch4.G(T) + kR * T * std::log(y_ch4 * P / kP0);
    const double mu_co2 = co2.G(T) + kR * T * std::log(y_co2 * P / kP0);
    const double expected_ch4 = term(mu_ch4, T, sref({{6, 1}, {1, 4}}));
    const double expected_co2 = term(mu_co2, T, sref({{6, 1}, {8, 2}}));

    const auto prop = scene.mdmon8({405, {kCH4, kCO2, kH2OLiq}, T, P, {0.4, 0.5, 0.1}, {0, 0, 0, 0}});
    EXPECT_NEAR(prop[0], expected_ch4, 1e-8 * std::abs(expected_ch4));
    EXPECT_NEAR(prop[1], expected_co2, 1e-8 * std::abs(expected_co2));
    EXPECT_EQ(prop[2], 1.0E10);
    EXPECT_TRUE(property_messages().empty());
}

// The Ag-Cu liquid at 1400 K, x_Cu = 0.4: the potentials published with the
// data file's worked example, -93209.598 and -80093.537 J/mol.
TEST(ChemicalPotential, LiquidSolutionTermsMatchThePublishedPotentials) {
    Scene scene(example("ag-cu-example.dat"),
                {{"AGL", "AG:LIQU", "Ag", {}}, {"CUL", "CU:LIQU", "Cu", {}}, {"AGG", "AG:G1", "Ag", {}}});
    const double T = 1400.0;
    const auto prop = scene.mdmon8({410, {1, 2, 3}, T, 1e5, {0.6, 0.4, 0.0}, {1, 0, 0, 0}});
    EXPECT_NEAR(prop[0], term(-93209.598, T, sref({{47, 1}})), 2e-7);
    EXPECT_NEAR(prop[1], term(-80093.537, T, sref({{29, 1}})), 2e-7);
    EXPECT_EQ(prop[2], 1.0E10);
}

// Two pure solids are two phases of the solid kind: two passes, each the
// solid's standard Gibbs energy at 1000 K (-55898.722 and -46204.849 J/mol).
TEST(ChemicalPotential, TwoSolidPhasesMakeTwoPasses) {
    Scene scene(example("ag-cu-example.dat"), {{"AGS", "AG:S1", "Ag", {}}, {"CUS", "CU:S1", "Cu", {}}});
    const double T = 1000.0;
    const auto prop = scene.mdmon8({415, {2, 1}, T, 1e5, {0.3, 0.7}, {1, 0, 0, 0}});
    EXPECT_NEAR(prop[0], term(-46204.849, T, sref({{29, 1}})), 2e-7);
    EXPECT_NEAR(prop[1], term(-55898.722, T, sref({{47, 1}})), 2e-7);
}

// An unmapped component ends the call with message 20; earlier positions of
// another kind keep their 1.0E10, later positions are not written.
TEST(ChemicalPotential, UnmappedComponentStopsTheCall) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    const auto prop =
        scene.mdmon8({405, {kH2OLiq, kUnknown, kN2}, 1000.0, 1e5, {0.2, 0.3, 0.5}, {1, 0, 0, 0}});
    EXPECT_EQ(prop[0], 1.0E10);
    EXPECT_EQ(prop[1], kUntouched);
    EXPECT_EQ(prop[2], kUntouched);
    const auto msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].name(), "CAAMXV");
    EXPECT_EQ(msgs[0].number, 20);
}

// A pass whose equilibrium fails (no material at all) is reported; no
// value of an earlier calculation is handed out as the result.
TEST(ChemicalPotential, FailedEquilibriumIsReported) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    scene.mdmon8({405, {kN2}, 1000.0, 1e5, {1.0}});
    const auto prop = scene.mdmon8({405, {kN2}, 1000.0, 1e5, {0.0}});
    EXPECT_EQ(prop[0], kUntouched);
    const auto msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].lines.at(0), "      Unknown EQCORE error in step 6 of property calculations.");
    EXPECT_FALSE(stream_exists("THERMO"));
}

}  // namespace
}  // namespace proptest
