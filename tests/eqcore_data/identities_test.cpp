// Thermodynamic identities of every model, one parameterised test per
// identity, one case per model and state:
//   G = H - T S, S = -dG/dT and Cp = dH/dT (central differences),
//   mu_i = dG/dn_i (central differences), sum n_i mu_i = G, Gibbs-Duhem sum_i n_i dmu_i/dn_j = 0,
//   dmu_i/dn_j symmetric and equal to differences of mu; the same values
//   from standard-state values the caller holds.
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore {
namespace {

struct Case {
    std::string label;
    std::string file;  // example file or test data file
    bool example;
    std::string phase;
    double T;
    double P;
    std::vector<double> n;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.label; }

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"ideal_gas_NO", "n-o-example.dat", true, "GAS", 2000.0, 3e5, {0.7, 0.02, 0.01, 0.27}},
        {"ideal_gas_CHON", "c-h-o-n.dat", true, "GAS", 1500.0, 1e5,
         {0.1, 0.2, 0.05, 0.3, 0.01, 0.02, 0.03, 0.04, 0.05, 0.06, 0.07, 0.08, 0.09, 0.1, 0.11, 0.12, 0.13, 0.14, 0.15}},
        {"rkmp_binary_AgCu", "ag-cu-example.dat", true, "LIQUID", 1400.0, 1e5, {0.6, 0.4}},
        {"rkmp_ternary_three_sets", "models.dat", false, "LIQUID", 1700.0, 1e5, {0.5, 0.3, 0.4, 0.35}},
        {"rkmp_ternary_one_set", "models.dat", false, "FCC", 900.0, 1e5, {0.2, 0.9, 0.35}},
        {"qkto_binary", "qkto-liquid.dat", false, "LIQ_TEST", 1000.0, 1e5, {0.7, 0.3}},
        {"qkto_ternary", "models.dat", false, "LIQ_K", 1300.0, 1e5, {0.25, 0.45, 0.6}},
        {"qkto_asymmetric_binary_terms", "hard/hard-quaternary.dat", true, "LIQUID", 1000.0, 1e5, {0.3, 0.2, 0.4, 0.1}},
        {"qkto_asymmetric_pair_near_its_edge", "hard/hard-quaternary.dat", true, "LIQUID", 1000.0, 1e5,
         {0.6, 0.39, 6e-3, 4e-3}},
        {"rkmp_quaternary", "nonideal-records.dat", false, "FCC_Q", 1100.0, 1e5, {0.3, 0.6, 0.25, 0.45}},
        {"qkto_groups", "nonideal-records.dat", false, "LIQ_TOOP", 1200.0, 1e5, {0.35, 0.15, 0.5, 0.4}},
        {"qkto_weights_and_groups", "nonideal-records.dat", false, "LIQ_W", 900.0, 1e5, {0.7, 0.2, 0.45}},
        {"qkto_groups_with_overrides", "qkto-overrides.dat", false, "LIQ_OVR", 1200.0, 1e5, {0.35, 0.15, 0.5, 0.4}},
        {"idmx", "models.dat", false, "BCC", 800.0, 1e5, {1.5, 0.5}},
        {"pure_option7", "models.dat", false, "Cr(s)", 2500.0, 1e5, {1.7}},
        {"pure_option10", "models.dat", false, "Fe(s)", 1200.0, 1e5, {0.4}},
        {"rkmpm_antiferromagnetic", "sublattice-models.dat", false, "FCC_M", 300.0, 1e5, {0.8, 0.3}},
        {"rkmpm_ferromagnetic", "sublattice-models.dat", false, "FCC_M", 700.0, 1e5, {0.3, 0.8}},
        {"qktom", "sublattice-models.dat", false, "LIQ_M", 250.0, 1e5, {0.6, 0.5}},
        {"sublm_below_tc", "sublattice-models.dat", false, "BCC_R", 900.0, 1e5, {0.1, 0.5, 0.05, 0.3, 0.02, 0.2}},
        {"sublm_above_tc", "sublattice-models.dat", false, "BCC_R", 1500.0, 1e5, {0.1, 0.5, 0.05, 0.3, 0.02, 0.2}},
        {"sublm_iron_function_library", "fe-sgte.dat", true, "BCC_A2", 900.0, 1e5, {1.3}},
        {"subl_three_sublattices", "al-mg.dat", true, "A12_ALMG", 600.0, 1e5, {0.4, 0.3, 0.2, 0.1}},
        {"subl_interstitial", "zr-h.dat", true, "ZRH2_DELTA", 800.0, 1e5, {0.7, 0.4}},
        {"sublm_interstitial_bcc_below_tc", "fe-c.dat", true, "BCC_A2", 1000.0, 1e5, {0.02, 0.98}},
        {"sublm_interstitial_fcc_antiferromagnetic", "fe-c.dat", true, "FCC_A1", 400.0, 1e5, {0.1, 0.9}},
    };
    return all;
}

class Identity : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        const Case& c = GetParam();
        sys_ = c.example ? testing::load(c.file) : read_dat(testing::test_data(c.file));
        phase_ = testing::phase_index(sys_, c.phase);
        k_ = c.n.size();
        ASSERT_EQ(static_cast<std::size_t>(sys_.phases[static_cast<std::size_t>(phase_)].count), k_);
    }
    PhaseProps at(double T, const std::vector<double>& n, std::vector<double>* mu = nullptr,
                  std::vector<double>* dmu = nullptr) const {
        std::span<double> m, d;
        if (mu) m = *mu;
        if (dmu) d = *dmu;
        return phase_props(sys_, phase_, T, GetParam().P, n, m, d);
    }
    System sys_;
    int phase_ = 0;
    std::size_t k_ = 0;
};

TEST_P(Identity, GibbsEqualsHMinusTS) {
    const Case& c = GetParam();
    const PhaseProps p = at(c.T, c.n);
    EXPECT_TRUE(testing::near_rel(p.G, p.H - c.T * p.S, 1e-12, 1e-9 * std::fabs(p.H)));
}

TEST_P(Identity, EntropyAndHeatCapacityAreTemperatureDerivatives) {
    const Case& c = GetParam();
    const double dT = 1e-3 * c.T;
    const PhaseProps p = at(c.T, c.n), lo = at(c.T - dT, c.n), hi = at(c.T + dT, c.n);
    EXPECT_TRUE(testing::near_rel(p.S, -(hi.G - lo.G) / (2 * dT), 1e-6));
    EXPECT_TRUE(testing::near_rel(p.Cp, (hi.H - lo.H) / (2 * dT), 1e-5));
}

TEST_P(Identity, PotentialsAreDerivativesOfGAndSumToG) {
    const Case& c = GetParam();
    std::vector<double> mu(k_);
    const PhaseProps p = at(c.T, c.n, &mu);
    double sum = 0.0;
    for (std::size_t i = 0; i < k_; ++i) {
        sum += c.n[i] * mu[i];
        const double h = 1e-5 * c.n[i];
        std::vector<double> up = c.n, down = c.n;
        up[i] += h;
        down[i] -= h;
        EXPECT_TRUE(testing::near_rel(mu[i], (at(c.T, up).G - at(c.T, down).G) / (2 * h), 1e-7, 1e-3))
            << "mu " << i;
    }
    EXPECT_TRUE(testing::near_rel(sum, p.G, 1e-12, 1e-9));
}

TEST_P(Identity, PotentialDerivativesGibbsDuhemSymmetryAndDifferences) {
    const Case& c = GetParam();
    std::vector<double> mu(k_), dmu(k_ * k_);
    at(c.T, c.n, &mu, &dmu);
    double scale = 0.0;
    for (double v : dmu) scale = std::max(scale, std::fabs(v));
    for (std::size_t j = 0; j < k_; ++j) {
        double gd = 0.0;
        for (std::size_t i = 0; i < k_; ++i) gd += c.n[i] * dmu[i * k_ + j];
        EXPECT_NEAR(gd, 0.0, 1e-10 * scale) << "Gibbs-Duhem, column " << j;
        for (std::size_t i = 0; i < j; ++i)
            EXPECT_TRUE(testing::near_rel(dmu[i * k_ + j], dmu[j * k_ + i], 1e-12, 1e-12 * scale)) << i << "," << j;
        // Central difference of mu in n_j.
        const double h = 1e-5 * c.n[j];
        std::vector<double> up = c.n, down = c.n, mu_up(k_), mu_down(k_);
        up[j] += h;
        down[j] -= h;
        at(c.T, up, &mu_up);
        at(c.T, down, &mu_down);
        for (std::size_t i = 0; i < k_; ++i)
            EXPECT_TRUE(testing::near_rel(dmu[i * k_ + j], (mu_up[i] - mu_down[i]) / (2 * h), 1e-5, 1e-6 * scale))
                << "dmu " << i << "/dn " << j;
    }
}

TEST_P(Identity, GivenStandardValuesGiveTheSameProperties) {
    // Callers that keep the standard-state values at T get what the phase
    // computes from its data; a list of the wrong length is refused.
    const Case& c = GetParam();
    if (!make_model(sys_, phase_)->layout().identity)
        GTEST_SKIP() << "standard values are given per internal variable; this phase's are not its constituents";
    std::vector<StandardProps> sp;
    for (std::size_t i = 0; i < k_; ++i) sp.push_back(standard(sys_.constituent(phase_, static_cast<int>(i)), c.T));
    std::vector<double> mu(k_), dmu(k_ * k_), mu_given(k_), dmu_given(k_ * k_);
    const PhaseProps p = at(c.T, c.n, &mu, &dmu);
    const PhaseProps q = phase_props(sys_, phase_, c.T, c.P, c.n, sp, mu_given, dmu_given);
    EXPECT_DOUBLE_EQ(q.G, p.G);
    EXPECT_DOUBLE_EQ(q.H, p.H);
    EXPECT_DOUBLE_EQ(q.S, p.S);
    EXPECT_DOUBLE_EQ(q.Cp, p.Cp);
    EXPECT_DOUBLE_EQ(q.V, p.V);
    EXPECT_EQ(mu_given, mu);
    EXPECT_EQ(dmu_given, dmu);
    sp.push_back(StandardProps{});
    EXPECT_THROW(phase_props(sys_, phase_, c.T, c.P, c.n, sp), std::invalid_argument);
}

TEST_P(Identity, GivenParametersGiveTheSameRemainder) {
    // The remainder from the coefficient sets a caller evaluated once at T
    // equals the remainder that evaluates them itself, value, temperature
    // derivatives, gradient and Hessian; a list of the wrong length is
    // refused.
    const Case& c = GetParam();
    const auto model = make_model(sys_, phase_);
    const auto m = static_cast<std::size_t>(model->layout().variables);
    if (model->parameter_count() == 0) GTEST_SKIP() << "no temperature-dependent remainder";
    std::vector<ParameterT> at_T(model->parameter_count());
    model->parameters(c.T, at_T);
    // Internal fractions: the reported amounts where they are the
    // variables, else equal shares within each group.
    std::vector<double> w(m, 1.0);
    if (model->layout().identity) w.assign(c.n.begin(), c.n.end());
    double sum = 0.0;
    for (double v : w) sum += v;
    for (double& v : w) v /= sum;
    std::vector<double> g(m), h(m * m), g_given(m), h_given(m * m);
    const ExcessResult a = model->excess(c.T, w, g, h);
    const ExcessResult b = model->excess(c.T, w, g_given, h_given, at_T);
    EXPECT_EQ(b.g, a.g);
    EXPECT_EQ(b.h, a.h);
    EXPECT_EQ(b.s, a.s);
    EXPECT_EQ(b.cp, a.cp);
    EXPECT_EQ(g_given, g);
    EXPECT_EQ(h_given, h);
    at_T.push_back(ParameterT{});
    EXPECT_THROW(model->excess(c.T, w, {}, {}, at_T), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, Identity, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& param) { return param.param.label; });

}  // namespace
}  // namespace eqcore
