// The curvature bounds of a sublattice phase's remainder per formula unit
// in its site fractions (SublModel::excess_curvature_bound and
// excess_third_bound), on every sublattice file: against second
// differences of the remainder itself along random directions that keep
// every sublattice's sum, at random compositions near the corners too. The
// same differences check the scaling from the model's Hessian in the
// internal amounts to the site fractions (A share_i share_j), which the
// solver's own-basin proof rests on. A phase with a magnetic term gives no
// bound (its remainder has a kink where T* crosses T).
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "robust_util.hpp"
#include "thermo/models.hpp"
#include "thermo/subl.hpp"

namespace eqcore::robust {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct Case {
    const SublModel* model;
    std::string where;
};

// Random site fractions, each at least `floor`, some sublattices near a corner.
void random_fractions(const ModelLayout& l, std::mt19937_64& rng, double floor, std::vector<double>& y) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int g = 0; g < l.groups(); ++g) {
        const int b = l.group_first[sz(g)], e = l.group_first[sz(g) + 1];
        const bool corner = u(rng) < 0.3;
        double sum = 0.0;
        for (int i = b; i < e; ++i) sum += (y[sz(i)] = corner && i != b ? 1e-3 * u(rng) : -std::log(u(rng) + 1e-300));
        for (int i = b; i < e; ++i) y[sz(i)] = floor + (1.0 - floor * (e - b)) * y[sz(i)] / sum;
    }
}

// A unit direction that keeps every sublattice's sum (0 on a sublattice of one constituent).
void random_direction(const ModelLayout& l, std::mt19937_64& rng, std::vector<double>& d) {
    std::normal_distribution<double> normal(0.0, 1.0);
    double norm = 0.0;
    for (int g = 0; g < l.groups(); ++g) {
        const int b = l.group_first[sz(g)], e = l.group_first[sz(g) + 1];
        double mean = 0.0;
        for (int i = b; i < e; ++i) mean += (d[sz(i)] = e - b > 1 ? normal(rng) : 0.0);
        for (int i = b; i < e; ++i) d[sz(i)] -= mean / (e - b);
        for (int i = b; i < e; ++i) norm += d[sz(i)] * d[sz(i)];
    }
    for (double& x : d) x /= std::sqrt(norm);
}

// f(y) / RT: the remainder per formula unit at site fractions y.
double remainder(const SublModel& m, double T, const std::vector<double>& y) {
    const ModelLayout& l = m.layout();
    const double A = l.formula_sites();
    std::vector<double> w(y.size());
    for (int g = 0; g < l.groups(); ++g)
        for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) w[sz(i)] = l.sites[sz(g)] / A * y[sz(i)];
    return A * static_cast<const PhaseModel&>(m).excess(T, w).g / (kR * T);
}

// u' Hess_y(f / RT) u from the model's Hessian in the internal amounts:
// A (S u)' H (S u) / RT, S the groups' shares.
double curvature(const SublModel& m, double T, const std::vector<double>& y, const std::vector<double>& u) {
    const ModelLayout& l = m.layout();
    const std::size_t n = y.size();
    const double A = l.formula_sites();
    std::vector<double> w(n), su(n), grad(n), hess(n * n);
    for (int g = 0; g < l.groups(); ++g)
        for (int i = l.group_first[sz(g)]; i < l.group_first[sz(g) + 1]; ++i) {
            w[sz(i)] = l.sites[sz(g)] / A * y[sz(i)];
            su[sz(i)] = l.sites[sz(g)] / A * u[sz(i)];
        }
    static_cast<const PhaseModel&>(m).excess(T, w, grad, hess);
    double q = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) q += su[i] * hess[i * n + j] * su[j];
    return A * q / (kR * T);
}

std::vector<std::string> files() {
    return {example("zr-h.dat"),
            example("fe-c.dat"),
            example("fe-sgte.dat"),
            example("al-mg.dat"),
            std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/sublattice-models.dat",
            std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/example-c.dat",
            std::string(EQCORE_TESTS_DIR) + "/eqcore_solver/data/subl-gap.dat"};
}

TEST(SublCurvatureBound, HoldsAgainstDifferencesOfTheRemainderOnEverySublatticeFile) {
    std::mt19937_64 rng(5);
    int bounded = 0, magnetic = 0;
    double tightest = 0.0;
    for (const std::string& file : files()) {
        const System sys = read_dat(file);
        const PhaseModels models(sys);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const auto* m = dynamic_cast<const SublModel*>(&models[p]);
            if (!m) continue;
            const std::size_t n = sz(m->layout().variables);
            const std::vector<char> active(n, 1);
            for (double T : {400.0, 900.0, 1600.0}) {
                const std::string where = file + " " + sys.phases[sz(p)].name + " T " + std::to_string(T);
                const double M = m->excess_curvature_bound(T, active), third = m->excess_third_bound(T, active);
                if (m->magnetic().present()) {
                    EXPECT_FALSE(std::isfinite(M)) << where;
                    EXPECT_FALSE(std::isfinite(third)) << where;
                    ++magnetic;
                    continue;
                }
                ASSERT_TRUE(std::isfinite(M) && std::isfinite(third)) << where;
                ++bounded;
                std::vector<double> y(n), u(n), v(n), at(n);
                double worst2 = 0.0, worst3 = 0.0;
                for (int k = 0; k < 300; ++k) {
                    random_fractions(m->layout(), rng, 1e-3, y);
                    random_direction(m->layout(), rng, u);
                    random_direction(m->layout(), rng, v);
                    // Second difference of the remainder itself against the
                    // mapped Hessian, then both against the bound.
                    const double h = 1e-4;
                    for (std::size_t i = 0; i < n; ++i) at[i] = y[i] + h * u[i];
                    const double up = remainder(*m, T, at);
                    for (std::size_t i = 0; i < n; ++i) at[i] = y[i] - h * u[i];
                    const double down = remainder(*m, T, at);
                    const double diff = (up - 2.0 * remainder(*m, T, y) + down) / (h * h);
                    const double exact = curvature(*m, T, y, u);
                    EXPECT_NEAR(exact, diff, 1e-4 * (1.0 + std::abs(exact))) << where;
                    worst2 = std::max(worst2, std::abs(exact));
                    // The curvature's change along v.
                    const double s = 1e-6;
                    for (std::size_t i = 0; i < n; ++i) at[i] = y[i] + s * v[i];
                    const double cu = curvature(*m, T, at, u);
                    for (std::size_t i = 0; i < n; ++i) at[i] = y[i] - s * v[i];
                    const double cd = curvature(*m, T, at, u);
                    worst3 = std::max(worst3, std::abs(cu - cd) / (2.0 * s));
                }
                EXPECT_LE(worst2, M * (1.0 + 1e-9) + 1e-9) << where;
                EXPECT_LE(worst3, third * (1.0 + 1e-6) + 1e-5) << where;
                if (M > 0.0) tightest = std::max(tightest, worst2 / M);
            }
        }
    }
    EXPECT_GE(bounded, 20);
    EXPECT_GE(magnetic, 3);
    // Of use only if not far above what the terms reach somewhere.
    EXPECT_GE(tightest, 0.05);
}

}  // namespace
}  // namespace eqcore::robust
