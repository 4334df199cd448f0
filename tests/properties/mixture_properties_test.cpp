// The mixture phase-property routines through the property monitor,
// against values computed here from the data file's coefficients.
#include <gtest/gtest.h>

#include <cmath>

#include "dat_coefficients.hpp"
#include "host_services.hpp"
#include "message_log.hpp"
#include "mixture_properties.hpp"
#include "property_scene.hpp"

namespace proptest {
namespace {

constexpr double kRgas = 8314.462618;  // the host's gas constant, J/(kmol K)

double rel(double expected) { return 1e-9 * std::abs(expected); }

class ChonMixture : public ::testing::Test {
protected:
    Scene scene{example("c-h-o-n.dat"), chon_components()};
    std::string file = example("c-h-o-n.dat");
    Species n2 = read_species(file, "N2");
    Species o2 = read_species(file, "O2");
    double sref_n2 = sref({{7, 2}});
    double sref_o2 = sref({{8, 2}});
    double sref_h2o = sref({{1, 2}, {8, 1}});
};

// Air at 1000 K, 2 bar: the enthalpy of an ideal gas is the mole-weighted
// sum of the species' enthalpies, per kmol; its derivative the sum of Cp.
TEST_F(ChonMixture, VapourEnthalpyIsTheSumOverTheIdealGas) {
    const double T = 1000.0;
    const double H = 1000 * (0.79 * n2.H(T) + 0.21 * o2.H(T));
    const double Cp = 1000 * (0.79 * n2.Cp(T) + 0.21 * o2.Cp(T));
    const auto prop = scene.mdmon8({401, {kN2, kO2}, T, 2.0e5, {0.79, 0.21}, {1, 1, 0, 0}});
    EXPECT_NEAR(prop[0], H, rel(H));
    EXPECT_NEAR(prop[1], Cp, rel(Cp));
    EXPECT_EQ(prop[2], kUntouched);

    // Codes outside 401..430 are the vapour enthalpy too.
    for (ftn::Int code : {400, 431, 0, -5}) {
        const auto other = scene.mdmon8({code, {kN2, kO2}, T, 2.0e5, {0.79, 0.21}, {1, 0, 0, 0}});
        EXPECT_NEAR(other[0], H, rel(H)) << "code " << code;
    }
    // The routines do not normalise: half the mole fractions, half the value.
    const auto half = scene.mdmon8({401, {kN2, kO2}, T, 2.0e5, {0.395, 0.105}, {1, 0, 0, 0}});
    EXPECT_NEAR(half[0], H / 2, rel(H));
}

// Entropy and Gibbs energy in the host's reference: S - Sref and G + T Sref,
// so that G = H - T S holds there as well. A liquid list component adds
// nothing to the vapour but its elements count in Sref.
TEST_F(ChonMixture, VapourEntropyAndGibbsEnergyUseTheElementReference) {
    const double T = 1200.0;
    const double P = 3.0e5;
    const std::vector<ftn::Int> list{kN2, kO2, kH2OLiq};
    const std::vector<double> x{0.6, 0.3, 0.1};
    const double y_n2 = 0.6 / 0.9;
    const double y_o2 = 0.3 / 0.9;
    const double S_abs = 600 * (n2.S(T) - kR * std::log(y_n2 * P / kP0)) +
                         300 * (o2.S(T) - kR * std::log(y_o2 * P / kP0));
    const double G_abs = 600 * (n2.G(T) + kR * T * std::log(y_n2 * P / kP0)) +
                         300 * (o2.G(T) + kR * T * std::log(y_o2 * P / kP0));
    const double Sref = 0.6 * sref_n2 + 0.3 * sref_o2 + 0.1 * sref_h2o;
    const double Cp = 600 * n2.Cp(T) + 300 * o2.Cp(T);

    const auto s = scene.mdmon8({402, list, T, P, x, {1, 1, 0, 0}});
    EXPECT_NEAR(s[0], S_abs - Sref, rel(S_abs));
    EXPECT_NEAR(s[1], Cp / T, rel(Cp / T));

    const auto g = scene.mdmon8({403, list, T, P, x, {1, 1, 0, 0}});
    EXPECT_NEAR(g[0], G_abs + T * Sref, rel(G_abs + T * Sref));
    EXPECT_NEAR(g[1], -(S_abs - Sref), rel(S_abs));

    const auto h = scene.mdmon8({401, list, T, P, x, {1, 0, 0, 0}});
    EXPECT_NEAR(g[0], h[0] - T * s[0], 1e-8 * std::abs(g[0]));
}

// Derivative requests 2: no derivative for enthalpy and entropy, the first
// derivative for the Gibbs energy, both slots for the volume.
TEST_F(ChonMixture, VolumeAndTheSecondDerivativeRequest) {
    const double T = 800.0;
    const double P = 5.0e5;
    const std::vector<ftn::Int> list{kN2, kO2};
    const std::vector<double> x{0.5, 0.5};
    const double V = 1000 * kR * T / P;  // ideal gas, engine's R, per kmol

    const auto v = scene.mdmon8({404, list, T, P, x, {1, 2, 0, 0}});
    EXPECT_NEAR(v[0], V, rel(V));
    EXPECT_NEAR(v[1], kRgas / P, rel(kRgas / P));
    EXPECT_EQ(v[2], 0.0);

    for (ftn::Int code : {401, 402}) EXPECT_EQ(scene.mdmon8({code, list, T, P, x, {1, 2, 0, 0}})[1], kUntouched);
    EXPECT_NE(scene.mdmon8({403, list, T, P, x, {1, 2, 0, 0}})[1], kUntouched);

    // Condensed phases without volume data: 0 and a zero derivative.
    const auto liquid = scene.mdmon8({409, {kH2OLiq}, T, P, {1.0}, {1, 1, 0, 0}});
    EXPECT_EQ(liquid[0], 0.0);
    EXPECT_EQ(liquid[1], 0.0);
}

// An unmapped component at position 3 of 5 stops the routine: nothing is
// written and the component is reported (message 25, or the named form of
// the solid enthalpy routine).
TEST_F(ChonMixture, UnmappedComponentStopsWithAMessage) {
    const std::vector<ftn::Int> list{kN2, kO2, kUnknown, kCO2, kCH4};
    const std::vector<double> x{0.2, 0.2, 0.2, 0.2, 0.2};
    const auto prop = scene.mdmon8({401, list, 1000.0, 1.0e5, x, {1, 1, 0, 0}});
    EXPECT_EQ(prop[0], kUntouched);
    EXPECT_EQ(prop[1], kUntouched);
    auto msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].name(), "CAHMXV");
    EXPECT_EQ(msgs[0].number, 25);
    EXPECT_EQ(msgs[0].severity, 1);
    ASSERT_EQ(msgs[0].lines.size(), 2u);
    EXPECT_EQ(msgs[0].lines[0], "      Attempt to compute a physical property for an Elvar component using the");
    EXPECT_EQ(msgs[0].lines[1], "      EQCORE Option Set.");

    elvar::clear_message_log();
    scene.mdmon8({411, list, 1000.0, 1.0e5, x, {1, 0, 0, 0}});
    msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].name(), "CAHMXS");
    ASSERT_EQ(msgs[0].lines.size(), 2u);
    EXPECT_EQ(msgs[0].lines[0],
              "      Attempt to compute a physical property for the Elvar component \"XYZ     \"");
    EXPECT_EQ(msgs[0].lines[1], "      using the EQCORE Option Set.");
}

// The solid Gibbs energy stops at an unmapped component even when the host
// declines to print the message, instead of computing a partial mixture.
TEST_F(ChonMixture, SolidGibbsEnergyStopsAtAnUnmappedComponentSilently) {
    const auto prop = scene.mdmon8({413, {kGraphite, kUnknown}, 900.0, 1.0e5, {0.5, 0.5}, {1, 0, 0, 0}, 0});
    EXPECT_EQ(prop[0], kUntouched);
    ASSERT_EQ(property_questions().size(), 1u);
    EXPECT_EQ(property_questions()[0].number, 20);
    EXPECT_EQ(property_questions()[0].answer, 0);
}

// A negative mole fraction is refused with a message, not computed around.
TEST_F(ChonMixture, NegativeMoleFractionIsReported) {
    const auto prop = scene.mdmon8({401, {kN2, kO2}, 1000.0, 1.0e5, {1.2, -0.2}, {1, 0, 0, 0}});
    EXPECT_EQ(prop[0], kUntouched);
    const auto msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].lines.at(0), "      Unknown EQCORE error in step 5 of property calculations.");
}

// Without a value or temperature-derivative request the routine fills only
// the derivative block and never starts the engine.
TEST_F(ChonMixture, DerivativeBlockOnlyRequestMakesNoEngineCall) {
    const double T = 700.0;
    const double P = 2.0e5;
    const ftn::Int list[] = {kN2};
    const double x[] = {1.0};
    const ftn::Int ireq[] = {0, 0, 1, 2};
    double prop[3] = {kUntouched, kUntouched, kUntouched};
    double dprop[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
    eqlink::CASMXV(T, P, x, 1, list, 4, ireq, prop, dprop);
    EXPECT_DOUBLE_EQ(dprop[0], -kRgas / P);
    EXPECT_EQ(dprop[1], 0.0);
    EXPECT_EQ(dprop[2], kUntouched);
    EXPECT_EQ(dprop[3], 0.0);
    EXPECT_EQ(prop[0], kUntouched);
    EXPECT_FALSE(ftn::truth(DMS_EQLINK[0].i())) << "the engine was started";
}

// Liquid and solid solutions on a file whose copper constituents are
// written per half formula unit, "(Cu0.5):2.000": the host's amount is
// doubled (MWFAC 2) before it goes to the engine.
class AgCuSolutions : public ::testing::Test {
protected:
    static constexpr const char* kDictionary =
        "Solution phases of the test file\n"
        "  2\n"
        "2    LIQU    LIQUID\n"
        "3    FCCS    FCC_A1\n";
    std::string file = test_data("ag-cu-solutions.dat");
    Scene scene{file,
                {{"AGL", "AG:LIQU", "Ag", {}},
                 {"CUL", "CU0.5:LIQU", "Cu", {}},
                 {"AGS", "AG:FCCS", "Ag", {}},
                 {"CUS", "CU0.5:FCCS", "Cu", {}},
                 {"AGG", "AG:G1", "Ag", {}}},
                kDictionary};
};

// Per kmol of host liquid with x_Cu = 0.4: 600 mol Ag(liq) and 800 mol of
// half-copper, mixed with L = 19000 - 3 T on the engine's fractions.
TEST_F(AgCuSolutions, LiquidMixtureWithAmountFactor) {
    const Species ag = read_species(file, "Ag(liq)");
    const Species cu = read_species(file, "(Cu0.5):2.000");
    const double T = 1400.0;
    const double na = 600, nb = 800, n = na + nb;
    const double xa = na / n, xb = nb / n;
    const double H = na * ag.H(T) + nb * cu.H(T) + n * xa * xb * 19000.0;
    const double S = na * ag.S(T) + nb * cu.S(T) - n * kR * (xa * std::log(xa) + xb * std::log(xb)) +
                     n * xa * xb * 3.0;
    const double Sref = 0.6 * sref({{47, 1}}) + 0.4 * sref({{29, 1}});
    const double G = H - T * S;
    const std::vector<ftn::Int> list{1, 2, 5};  // the gas component takes no part
    const std::vector<double> x{0.6, 0.4, 0.0};

    EXPECT_NEAR(scene.mdmon8({406, list, T, 1e5, x})[0], H, rel(H));
    EXPECT_NEAR(scene.mdmon8({407, list, T, 1e5, x})[0], S - Sref, rel(S));
    EXPECT_NEAR(scene.mdmon8({408, list, T, 1e5, x})[0], G + T * Sref, rel(G));
}

// The fcc solid solution, L = 5000 J/mol, with the same factor.
TEST_F(AgCuSolutions, SolidMixtureWithAmountFactor) {
    const Species ag = read_species(file, "Ag(s)");
    const Species cu = read_species(file, "(Cu0.5):2.000", 2);
    const double T = 900.0;
    const double na = 250, nb = 1500, n = na + nb;
    const double xa = na / n, xb = nb / n;
    const double H = na * ag.H(T) + nb * cu.H(T) + n * xa * xb * 5000.0;
    const double Cp = na * ag.Cp(T) + nb * cu.Cp(T);
    const double S = na * ag.S(T) + nb * cu.S(T) - n * kR * (xa * std::log(xa) + xb * std::log(xb));
    const double Sref = 0.25 * sref({{47, 1}}) + 0.75 * sref({{29, 1}});
    const std::vector<ftn::Int> list{3, 4};
    const std::vector<double> x{0.25, 0.75};

    const auto h = scene.mdmon8({411, list, T, 1e5, x, {1, 1, 0, 0}});
    EXPECT_NEAR(h[0], H, rel(H));
    EXPECT_NEAR(h[1], Cp, rel(Cp));
    EXPECT_NEAR(scene.mdmon8({412, list, T, 1e5, x})[0], S - Sref, rel(S));
    EXPECT_EQ(scene.mdmon8({414, list, T, 1e5, x})[0], 0.0);
}

}  // namespace
}  // namespace proptest
