// The bounds on how far a phase's remainder over RT moves with temperature
// (PhaseModel::excess_change_bound, least_excess_change), which let the
// solver's remembered minima rule a phase out at a nearby temperature,
// against brute force: random site fractions (corners and edges included)
// of every sublattice and magnetic phase of the example and test files, at
// temperature pairs near and far, across the Curie temperatures, with
// constituents switched off and random linear parts.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "robust_util.hpp"
#include "thermo/models.hpp"

namespace eqcore::robust {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct Sampled {
    double worst = 0.0;         // largest |change| seen
    double least_joint = 1e300; // least change + linear part seen
};

// Random internal fractions within the layout's site ratios, `active` only.
bool random_fractions(const ModelLayout& l, const std::vector<char>& active, std::mt19937_64& rng, std::vector<double>& w) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double A = l.formula_sites();
    w.assign(sz(l.variables), 0.0);
    for (int g = 0; g < l.groups(); ++g) {
        double sum = 0.0;
        for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) {
            w[sz(i)] = active[sz(i)] ? (u(rng) < 0.25 ? 0.0 : -std::log(u(rng) + 1e-300)) : 0.0;
            sum += w[sz(i)];
        }
        if (!(sum > 0.0)) {  // one active constituent of the sublattice at its corner
            for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1] && !(sum > 0.0); ++i)
                if (active[sz(i)]) w[sz(i)] = sum = 1.0;
            if (!(sum > 0.0)) return false;
        }
        for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) w[sz(i)] *= l.sites[sz(g)] / (A * sum);
    }
    return true;
}

Sampled sample(const PhaseModel& m, double T1, double T2, const std::vector<char>& active,
               const std::vector<double>& linear, std::mt19937_64& rng) {
    Sampled s;
    std::vector<double> w;
    for (int k = 0; k < 4000; ++k) {
        if (!random_fractions(m.layout(), active, rng, w)) continue;
        const double d = m.excess(T2, w).g / (kR * T2) - m.excess(T1, w).g / (kR * T1);
        double lin = 0.0;
        for (std::size_t i = 0; i < w.size(); ++i) lin += w[i] * linear[i];
        s.worst = std::max(s.worst, std::abs(d));
        s.least_joint = std::min(s.least_joint, d + lin);
    }
    return s;
}

struct Case {
    std::string file;
    std::vector<std::string> models;  // the model codes tested
};

TEST(ExcessChangeBound, SublatticeAndMagneticPhasesHoldAtRandomCompositions) {
    const std::vector<std::string> files = {
        example("fe-c.dat"),
        example("zr-h.dat"),
        example("fe-sgte.dat"),
        example("al-mg.dat"),
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/sublattice-models.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/example-c.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_solver/data/subl-gap.dat",
    };
    // Near and far, around the Curie temperature of iron (1043 K) and of
    // the magnetic test phases, and low (tau small).
    const std::vector<std::pair<double, double>> pairs = {
        {950.0, 960.0}, {1040.0, 1050.0}, {1100.0, 1090.0}, {300.0, 310.0}, {400.0, 1600.0}, {1600.0, 700.0}};
    std::mt19937_64 rng(11);
    std::normal_distribution<double> normal(0.0, 1.0);
    int tested = 0;
    for (const std::string& file : files) {
        const System sys = read_dat(file);
        const PhaseModels models(sys);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const PhaseModel& m = models[p];
            const bool sublattice = m.layout().groups() > 1 || !m.layout().identity;
            const Phase& ph = sys.phases[sz(p)];
            if (m.layout().ideal || m.layout().pure || !(sublattice || ph.magnetic.present)) continue;
            if (m.layout().free_groups || m.layout().redundant) continue;  // ionic, quasichemical: not here
            ++tested;
            const std::size_t n = sz(m.layout().variables);
            // All constituents, then each one switched off in turn.
            for (int off = -1; off < static_cast<int>(n); ++off) {
                std::vector<char> active(n, 1);
                if (off >= 0) active[sz(off)] = 0;
                for (const auto& [T1, T2] : pairs) {
                    const double bound = m.excess_change_bound(T1, T2, active);
                    ASSERT_TRUE(std::isfinite(bound)) << file << " " << ph.name;
                    EXPECT_EQ(m.excess_change_bound(T1, T1, active), 0.0);
                    std::vector<double> linear(n);
                    for (double& c : linear) c = 0.3 * normal(rng);
                    const double joint = m.least_excess_change(T1, T2, linear, active);
                    const Sampled s = sample(m, T1, T2, active, linear, rng);
                    EXPECT_LE(s.worst, bound * (1.0 + 1e-12) + 1e-13)
                        << file << " " << ph.name << " T " << T1 << " -> " << T2 << " off " << off;
                    if (s.least_joint < 1e300) {
                        EXPECT_GE(s.least_joint, joint - 1e-12 * (1.0 + std::abs(joint)))
                            << file << " " << ph.name << " T " << T1 << " -> " << T2 << " off " << off;
                    }
                }
            }
        }
    }
    EXPECT_GE(tested, 12);
}

// The joint bound of a sublattice phase is sharp where the surface and the
// linear part move alike: with the linear part minus each end member's own
// change, the remainder and linear part together barely move, while the
// bound of the remainder alone is the end members' change.
TEST(ExcessChangeBound, SublatticeJointBoundFollowsTheEndMembers) {
    const System sys = read_dat(example("zr-h.dat"));
    const PhaseModels models(sys);
    const int p = phase_of(sys, "ZRH2_DELTA");
    ASSERT_GE(p, 0);
    const PhaseModel& m = models[p];
    const std::size_t n = sz(m.layout().variables);  // Zr | H, Va
    ASSERT_EQ(n, 3u);
    const double T1 = 600.0, T2 = 610.0;
    std::vector<double> w = {1.0 / 3.0, 2.0 / 3.0, 0.0};  // ZrH2
    const double dH = m.excess(T2, w).g / (kR * T2) - m.excess(T1, w).g / (kR * T1);
    w = {1.0 / 3.0, 0.0, 2.0 / 3.0};  // Zr:Va2
    const double dVa = m.excess(T2, w).g / (kR * T2) - m.excess(T1, w).g / (kR * T1);
    // The linear part of an end member per mol of sites: its change spread
    // over its constituents (here all on the interstitial sublattice).
    const double A = m.layout().formula_sites();
    std::vector<double> linear = {0.0, -dH * A / 2.0, -dVa * A / 2.0};
    const std::vector<char> active(n, 1);
    const double joint = m.least_excess_change(T1, T2, linear, active);
    const double apart = m.excess_change_bound(T1, T2, active);
    EXPECT_GT(apart, 0.15);
    // Only the record's change remains: its sets' changes times its
    // largest product y_H y_Va = 1/4, per mol of sites.
    const Phase& ph = sys.phases[sz(p)];
    ASSERT_EQ(ph.excess.size(), 1u);
    double record = 0.0;
    for (const auto& L : ph.excess[0].sets) {
        const auto value = [&](double T) { return L[0] + L[1] * T + L[2] * T * std::log(T) + L[3] * T * T + L[4] * T * T * T + L[5] / T; };
        record += std::abs(value(T2) / (kR * T2) - value(T1) / (kR * T1));
    }
    EXPECT_NEAR(joint, -0.25 * record / A, 1e-12);
}

// The one-sided bound of a substitutional mixture (Redlich-Kister terms of
// even and odd order, ternary and quaternary terms, Kohler polynomials,
// Toop-like sets, weights, magnetic terms) over temperature steps up and
// down, near and far, with random linear parts: never above the least
// change sampled, and sharper than the two-sided bound where terms of both
// signs move apart.
TEST(ExcessChangeBound, MixturesOneSidedBoundHoldsOverTemperatureSteps) {
    const std::vector<std::string> files = {
        example("hard/hard-quaternary.dat"), example("hard/hard-ternary.dat"), example("ag-cu-example.dat"),
        example("fe-sgte.dat"), test_data("asym-gap.dat"),
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/qkto-overrides.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/qkto-liquid.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/nonideal-records.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_solver/data/liquid-gap.dat"};
    const std::vector<std::pair<double, double>> pairs = {
        {1000.0, 1010.0}, {1010.0, 1000.0}, {600.0, 601.0}, {1500.0, 1300.0}, {700.0, 1800.0}};
    std::mt19937_64 rng(17);
    std::normal_distribution<double> normal(0.0, 1.0);
    int tested = 0, sharper = 0;
    for (const std::string& file : files) {
        const System sys = read_dat(file);
        const PhaseModels models(sys);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const PhaseModel& m = models[p];
            const Phase& ph = sys.phases[sz(p)];
            if (m.layout().ideal || m.layout().pure || m.layout().groups() != 1 || !m.layout().identity) continue;
            if (ph.model != Model::rkmp && ph.model != Model::qkto) continue;
            ++tested;
            const std::size_t n = sz(m.layout().variables);
            for (int off = -1; off < static_cast<int>(n); ++off) {
                std::vector<char> active(n, 1);
                if (off >= 0) active[sz(off)] = 0;
                if (n == 1 && off == 0) continue;  // nothing left
                for (const auto& [T1, T2] : pairs) {
                    for (double spread : {0.0, 0.05}) {
                        std::vector<double> linear(n);
                        for (double& c : linear) c = spread * normal(rng);
                        const double joint = m.least_excess_change(T1, T2, linear, active);
                        ASSERT_TRUE(std::isfinite(joint)) << file << " " << ph.name << " off " << off;
                        const Sampled s = sample(m, T1, T2, active, linear, rng);
                        EXPECT_GE(s.least_joint, joint - 1e-12 * (1.0 + std::abs(joint)))
                            << file << " " << ph.name << " T " << T1 << " -> " << T2 << " off " << off;
                        double least_linear = 1e300;
                        for (std::size_t i = 0; i < n; ++i)
                            if (active[i]) least_linear = std::min(least_linear, linear[i]);
                        if (joint > least_linear - m.excess_change_bound(T1, T2, active) + 1e-9) ++sharper;
                    }
                }
            }
        }
    }
    EXPECT_GE(tested, 12);
    EXPECT_GE(sharper, 100);
}

// asym-gap's binary, L0 = 24000 and L1 = 6000 J/mol, both constant: heated,
// the even term's remainder over RT falls by at most L0/4 (1/(R T2) -
// 1/(R T1)) (at x = 1/2) and the odd one is counted either way; cooled,
// only the odd one can lower it. The linear part adds its least value.
TEST(ExcessChangeBound, BinaryOneSidedBoundByHand) {
    const System sys = read_dat(test_data("asym-gap.dat"));
    const PhaseModels models(sys);
    const PhaseModel& m = models[0];
    const std::vector<char> active(2, 1);
    const std::vector<double> none(2, 0.0);
    const double L0 = 24000.0, L1 = 6000.0;
    const double heat = (1.0 / (kR * 1010.0) - 1.0 / (kR * 1000.0));
    EXPECT_NEAR(m.least_excess_change(1000.0, 1010.0, none, active), 0.25 * (L0 + L1) * heat, 1e-12);
    EXPECT_NEAR(m.least_excess_change(1010.0, 1000.0, none, active), 0.25 * L1 * heat, 1e-12);
    const std::vector<double> linear = {0.01, -0.02};
    EXPECT_NEAR(m.least_excess_change(1010.0, 1000.0, linear, active), -0.02 + 0.25 * L1 * heat, 1e-12);
}

}  // namespace
}  // namespace eqcore::robust
