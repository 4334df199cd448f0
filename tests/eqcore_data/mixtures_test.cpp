// Mixture-phase values of the worked examples: the N-O ideal gas at 2000 K,
// the Ag-Cu RKMP liquid at 1400 K and the Fe-Ni QKTO liquid; and the
// properties of a stoichiometric solid and an ideal-gas mixture checked
// against values worked out by hand from the file's coefficients.
#include <cmath>
#include <vector>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/excess.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace eqcore {
namespace {

using testing::load;
using testing::near_rel;

TEST(ExampleAGas, PotentialsAndMolarGibbsEnergyAt2000K) {
    const System sys = load("n-o-example.dat");
    const std::vector<double> x = {0.70, 0.02, 0.01, 0.27};
    struct Row {
        double P_bar;
        std::vector<double> mu;
        double gm;
    };
    const std::vector<Row> rows = {
        {1.0, {-454357.481, -463337.642, -194138.725, -499824.554}, -464211.006},
        {10.0, {-416067.747, -425047.909, -155848.991, -461534.820}, -425921.273}};
    for (const Row& r : rows) {
        std::vector<double> mu(4);
        const PhaseProps p = phase_props(sys, 0, 2000.0, r.P_bar * 1e5, x, mu);
        for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(near_rel(mu[i], r.mu[i], 1e-6)) << i << " at " << r.P_bar;
        EXPECT_TRUE(near_rel(p.G, r.gm, 1e-6));
    }
}

// Ideal-gas mixture worked out from the file: G°, H° of each constituent by
// the G polynomial written out here, the pressure term, V = nRT/P.
TEST(ExampleAGas, StreamLikePropertiesFromTheCoefficients) {
    const System sys = load("n-o-example.dat");
    const double T = 1234.5, P = 3.0e5;
    const std::vector<double> n = {0.3, 0.05, 0.0, 1.2};
    // N2, NO, O2 ranges (option 1 / NO with -5e5 T^-2), copied from the file.
    auto g = [T](double A, double B, double C, double D, double E, double F, double c, double e) {
        return A + B * T + C * T * std::log(T) + D * T * T + E * T * T * T + F / T + c * std::pow(T, e);
    };
    auto h = [T](double A, double C, double D, double E, double F, double c, double e) {
        return A - C * T - D * T * T - 2 * E * T * T * T + 2 * F / T + c * (1 - e) * std::pow(T, e);
    };
    const double g0[3] = {g(-8.85639192E+03, 1.21257529E+00, -2.85800000E+01, -1.88500000E-03, 0, 2.5E+04, 0, 0),
                          g(8.11692758E+04, -1.23416758E+01, -2.94100000E+01, -1.92500000E-03, 0, 2.95E+04, -5e5, -2),
                          g(-9.67848200E+03, -2.30440831E+00, -2.99600000E+01, -2.09000000E-03, 0, 8.35E+04, 0, 0)};
    const double h0[3] = {h(-8.85639192E+03, -2.85800000E+01, -1.88500000E-03, 0, 2.5E+04, 0, 0),
                          h(8.11692758E+04, -2.94100000E+01, -1.92500000E-03, 0, 2.95E+04, -5e5, -2),
                          h(-9.67848200E+03, -2.99600000E+01, -2.09000000E-03, 0, 8.35E+04, 0, 0)};
    const double nn[3] = {n[0], n[1], n[3]};
    const double N = nn[0] + nn[1] + nn[2];
    const double R = 8.31451;
    double G = 0, H = 0;
    for (int i = 0; i < 3; ++i) {
        G += nn[i] * (g0[i] + R * T * std::log(nn[i] / N * P / 1e5));
        H += nn[i] * h0[i];
    }
    const PhaseProps p = phase_props(sys, 0, T, P, n);
    EXPECT_TRUE(near_rel(p.G, G, 1e-9));
    EXPECT_TRUE(near_rel(p.H, H, 1e-9));
    EXPECT_TRUE(near_rel(p.S, (H - G) / T, 1e-9));
    EXPECT_TRUE(near_rel(p.V, N * R * T / P, 1e-12));
}

TEST(ExampleBLiquid, ValuesAt1400K) {
    const System sys = load("ag-cu-example.dat");
    const double T = 1400.0;
    const std::vector<double> x = {0.6, 0.4};
    const Phase& liq = sys.phases[1];
    EXPECT_TRUE(near_rel(parameter_value(liq.excess[0].sets[0], T), 14800.0, 1e-12));
    std::vector<double> mu_ex(2);
    const ExcessResult ex = make_model(sys, 1)->excess(T, x, mu_ex);
    EXPECT_TRUE(near_rel(ex.g, 3552.000, 1e-9));
    // Partial molar excess of a regular solution: x_j^2 L.
    EXPECT_TRUE(near_rel(mu_ex[0], 0.16 * 14800.0, 1e-12));
    EXPECT_TRUE(near_rel(mu_ex[1], 0.36 * 14800.0, 1e-12));
    // L = 19000 - 3T: H_ex = x x 19000, S_ex = x x 3.
    EXPECT_TRUE(near_rel(ex.h, 0.24 * 19000.0, 1e-12));
    EXPECT_TRUE(near_rel(ex.s, 0.24 * 3.0, 1e-12));

    std::vector<double> mu(2);
    const PhaseProps p = phase_props(sys, 1, T, 1e5, x, mu);
    EXPECT_TRUE(near_rel(p.G, -87963.173, 1e-6));
    EXPECT_TRUE(near_rel(p.G - (0.6 * -89631.427 + 0.4 * -74755.625) - ex.g, -7834.067, 1e-6));
    EXPECT_TRUE(near_rel(mu[0], -93209.598, 1e-6));
    EXPECT_TRUE(near_rel(mu[1], -80093.537, 1e-6));
    EXPECT_TRUE(near_rel(p.H, 47942.996, 1e-6));

    const double RT = 8.31451 * T;
    auto activity = [&](double m, int phase) { return std::exp((m - gibbs0(sys.constituent(phase, 0), T)) / RT); };
    const Constituent& ag_liq = sys.constituent(1, 0);
    const Constituent& cu_liq = sys.constituent(1, 1);
    EXPECT_TRUE(near_rel(std::exp((mu[0] - gibbs0(ag_liq, T)) / RT), 0.735360, 1e-6));
    EXPECT_TRUE(near_rel(std::exp((mu[1] - gibbs0(cu_liq, T)) / RT), 0.632186, 1e-6));
    EXPECT_TRUE(near_rel(activity(mu[0], 2), 0.647379, 1e-6));
    EXPECT_TRUE(near_rel(activity(mu[1], 3), 0.607831, 1e-6));
    // Vapour over the liquid: p_i / P° = exp((mu_i - G°_i,gas) / RT).
    EXPECT_TRUE(near_rel(std::exp((mu[0] - gibbs0(sys.constituent(0, 0), T)) / RT), 5.668463e-5, 1e-6));
    EXPECT_TRUE(near_rel(std::exp((mu[1] - gibbs0(sys.constituent(0, 1), T)) / RT), 8.558352e-7, 1e-6));
}

// An RKMP liquid with its excess term and a stoichiometric solid, each from
// the file's numbers written out by hand.
TEST(ExampleBLiquid, StreamLikePropertiesFromTheCoefficients) {
    const System sys = load("ag-cu-example.dat");
    const double T = 1100.0, R = 8.31451;
    const std::vector<double> n = {0.25, 0.5};
    const double N = 0.75, xa = 0.25 / N, xc = 0.5 / N;
    const double g_ag = 1.04730111E+02 + 1.56851684E+02 * T - 3.05E+01 * T * std::log(T);
    const double g_cu = -1.98584639E+03 + 1.85669897E+02 * T - 3.28E+01 * T * std::log(T) - 5.0E-21 * std::pow(T, 7);
    const double L = 19000.0 - 3.0 * T;
    const double G = n[0] * (g_ag + R * T * std::log(xa)) + n[1] * (g_cu + R * T * std::log(xc)) + N * xa * xc * L;
    const double H = n[0] * (1.04730111E+02 + 3.05E+01 * T) + n[1] * (-1.98584639E+03 + 3.28E+01 * T + 6 * 5.0E-21 * std::pow(T, 7)) +
                     N * xa * xc * 19000.0;
    const PhaseProps p = phase_props(sys, 1, T, 2e5, n);
    EXPECT_TRUE(near_rel(p.G, G, 1e-9));
    EXPECT_TRUE(near_rel(p.H, H, 1e-9));
    EXPECT_EQ(p.V, 0.0);  // no molar volumes in the file

    // Ag(s) above its first range: option-1 range 2 of the file.
    const std::vector<double> one = {2.0};
    const PhaseProps s = phase_props(sys, 2, 1300.0, 1e5, one);
    const double Ts = 1300.0;
    EXPECT_TRUE(near_rel(s.G, 2.0 * (-1.42827699E+04 + 1.86298547E+02 * Ts - 33.0 * Ts * std::log(Ts)), 1e-9));
    EXPECT_TRUE(near_rel(s.H, 2.0 * (-1.42827699E+04 + 33.0 * Ts), 1e-9));
    EXPECT_TRUE(near_rel(s.Cp, 2.0 * 33.0, 1e-12));
}

TEST(ExampleCLiquid, QktoValues) {
    const System sys = read_dat(testing::test_data("qkto-liquid.dat"));
    ASSERT_EQ(sys.phases[0].model, Model::qkto);
    struct Row {
        double T, y, g_fe, g_ni, gex, gm;
    };
    for (const Row& r : {Row{1000, 0.3, -45786.127, -34970.616, -2394.000, -50014.511},
                         Row{600, 0.5, -13555.787, -6239.471, -3050.000, -16405.537}}) {
        const std::vector<double> x = {1 - r.y, r.y};
        EXPECT_TRUE(near_rel(gibbs0(sys.constituent(0, 0), r.T), r.g_fe, 1e-6));
        EXPECT_TRUE(near_rel(gibbs0(sys.constituent(0, 1), r.T), r.g_ni, 1e-6));
        EXPECT_TRUE(near_rel(make_model(sys, 0)->excess(r.T, x).g, r.gex, 1e-9));
        EXPECT_TRUE(near_rel(phase_props(sys, 0, r.T, 1e5, x).G, r.gm, 1e-6));
    }
}

TEST(PhaseProps, EmptyPhaseGivesZero) {
    const System sys = load("ag-cu-example.dat");
    for (int p = 0; p < sys.phase_count(); ++p) {
        const std::vector<double> n(static_cast<std::size_t>(sys.phases[static_cast<std::size_t>(p)].count), 0.0);
        const PhaseProps r = phase_props(sys, p, 1000.0, 1e5, n);
        EXPECT_EQ(r.G, 0.0);
        EXPECT_EQ(r.H, 0.0);
        EXPECT_EQ(r.S, 0.0);
        EXPECT_EQ(r.Cp, 0.0);
        EXPECT_EQ(r.V, 0.0);
    }
}

TEST(PhaseProps, RefusesArraysOfTheWrongSize) {
    const System sys = load("ag-cu-example.dat");
    const std::vector<double> three = {1, 1, 1};
    std::vector<double> mu(1);
    EXPECT_THROW(phase_props(sys, 1, 1000.0, 1e5, three), std::invalid_argument);
    EXPECT_THROW(phase_props(sys, 1, 1000.0, 1e5, std::vector<double>{1, 1}, mu), std::invalid_argument);
    EXPECT_THROW(phase_props(sys, 9, 1000.0, 1e5, three), std::out_of_range);
}

}  // namespace
}  // namespace eqcore
