// The proof that lets a warm start skip the full search of an absent copy
// whose remembered minimum sat at a present copy's composition: a bound on
// the curvature of the remainder (PhaseModel::excess_curvature_bound)
// against brute force at random compositions and directions, and warm
// temperature steps on files whose copies sit beside gaps, each absent copy
// sampled over its whole composition range and never found below the
// distance the solver reports (nor below the tangent plane).
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "robust_util.hpp"
#include "thermo/models.hpp"

namespace eqcore::robust {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Random fractions over the active variables: some driven to 0 or near it
// (where a Kohler term's second derivatives jump), the rest spread.
void random_composition(const std::vector<char>& active, std::mt19937_64& rng, std::vector<double>& w) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double sum = 0.0;
    for (std::size_t i = 0; i < active.size(); ++i) {
        const double r = u(rng);
        w[i] = !active[i] ? 0.0 : r < 0.15 ? 0.0 : r < 0.3 ? 1e-9 * u(rng) : -std::log(u(rng) + 1e-300);
        sum += w[i];
    }
    if (!(sum > 0.0)) {
        for (std::size_t i = 0; i < active.size(); ++i) w[i] = active[i] ? 1.0 : 0.0;
        sum = 0.0;
        for (double x : w) sum += x;
    }
    for (double& x : w) x /= sum;
}

// A unit direction among the active variables that keeps their sum.
void random_direction(const std::vector<char>& active, std::mt19937_64& rng, std::vector<double>& d) {
    std::normal_distribution<double> normal(0.0, 1.0);
    double mean = 0.0, on = 0.0, norm = 0.0;
    for (std::size_t i = 0; i < active.size(); ++i) {
        d[i] = active[i] ? normal(rng) : 0.0;
        mean += d[i];
        on += active[i] ? 1.0 : 0.0;
    }
    for (std::size_t i = 0; i < active.size(); ++i) {
        d[i] = active[i] ? d[i] - mean / on : 0.0;
        norm += d[i] * d[i];
    }
    for (double& x : d) x /= std::sqrt(norm);
}

// u' H u for the n x n row-major H.
double quadratic(const std::vector<double>& H, const std::vector<double>& u) {
    const std::size_t n = u.size();
    double q = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) q += u[i] * H[i * n + j] * u[j];
    return q;
}

// Every one-group mixture of the files, with all constituents and with
// each adjacent pair active, at 600, 1000 and 1800 K: fn(file, phase name,
// model, active, T).
template <class Fn>
void each_mixture_case(const std::vector<std::string>& files, Fn fn) {
    for (const std::string& file : files) {
        const System sys = read_dat(file);
        const PhaseModels models(sys);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const PhaseModel& m = models[p];
            if (m.layout().ideal || m.layout().pure || m.layout().groups() != 1) continue;
            const std::size_t n = sz(m.layout().variables);
            for (int pair = -1; pair < static_cast<int>(n) - 1; ++pair) {
                std::vector<char> active(n, 1);
                if (pair >= 0)
                    for (std::size_t i = 0; i < n; ++i) active[i] = i == sz(pair) || i == sz(pair) + 1;
                for (double T : {600.0, 1000.0, 1800.0}) fn(file, sys.phases[sz(p)].name, m, active, T);
            }
        }
    }
}

// The curvature bound (PhaseModel::excess_curvature_bound) against the
// model's own Hessian at random compositions (corners, edges and traces
// included) along random directions that keep the sum.
TEST(ExcessCurvatureBound, HoldsAtRandomCompositionsAndDirections) {
    std::mt19937_64 rng(11);
    const std::vector<std::string> files = {
        example("hard/hard-quaternary.dat"), example("hard/hard-ternary.dat"), example("ag-cu-example.dat"),
        test_data("asym-gap.dat"), std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/qkto-overrides.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/qkto-liquid.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/nonideal-records.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_solver/data/liquid-gap.dat"};
    int bounded = 0;
    each_mixture_case(files, [&](const std::string& file, const std::string& phase, const PhaseModel& m,
                                 const std::vector<char>& active, double T) {
        const double bound = m.excess_curvature_bound(T, active);
        if (!std::isfinite(bound)) return;
        ++bounded;
        const std::size_t n = active.size();
        double worst = 0.0;
        std::vector<double> w(n), u(n), grad(n), hess(n * n);
        for (int k = 0; k < 1500; ++k) {
            random_composition(active, rng, w);
            m.excess(T, w, grad, hess);
            random_direction(active, rng, u);
            worst = std::max(worst, std::abs(quadratic(hess, u)) / (kR * T));
        }
        EXPECT_LE(worst, bound * (1.0 + 1e-9) + 1e-12) << file << " " << phase << " T " << T;
    });
    EXPECT_GE(bounded, 40);
}

// The bound of the curvature's change (PhaseModel::excess_third_bound)
// against central differences of the model's own Hessian along random
// directions v at random inner compositions: |d/ds u'H(w + s v)u| / (RT
// |u|^2 |v|) never exceeds it. The phases: every one-group Redlich-Kister
// mixture of the files (binary terms of several orders, ternary terms of
// one and three sets), with all constituents and with adjacent pairs.
TEST(ExcessThirdBound, HoldsAtRandomCompositionsAndDirections) {
    std::mt19937_64 rng(23);
    const std::vector<std::string> files = {
        example("hard/hard-quaternary.dat"), example("hard/hard-ternary.dat"), example("ag-cu-example.dat"),
        test_data("asym-gap.dat"), std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/nonideal-records.dat",
        std::string(EQCORE_TESTS_DIR) + "/eqcore_solver/data/liquid-gap.dat"};
    int bounded = 0;
    double tightest = 0.0;  // the largest ratio of a sampled change to its bound
    each_mixture_case(files, [&](const std::string& file, const std::string& phase, const PhaseModel& m,
                                 const std::vector<char>& active, double T) {
        const double bound = m.excess_third_bound(T, active);
        if (!std::isfinite(bound)) return;
        ++bounded;
        const std::size_t n = active.size();
        double on = 0.0;
        for (char a : active) on += a ? 1.0 : 0.0;
        double worst = 0.0;
        std::vector<double> w(n), at(n), u(n), v(n), grad(n), hess(n * n);
        auto curvature = [&](double s) {
            for (std::size_t i = 0; i < n; ++i) at[i] = w[i] + s * v[i];
            m.excess(T, at, grad, hess);
            return quadratic(hess, u);
        };
        for (int k = 0; k < 600; ++k) {
            // Inner compositions (every active fraction >= 1e-3 / n), so that w +- h v stays inside.
            random_composition(active, rng, w);
            for (std::size_t i = 0; i < n; ++i) w[i] = active[i] ? (1.0 - 1e-3) * w[i] + 1e-3 / on : 0.0;
            random_direction(active, rng, u);
            random_direction(active, rng, v);
            const double h = 1e-6;
            worst = std::max(worst, std::abs(curvature(h) - curvature(-h)) / (2.0 * h * kR * T));
        }
        EXPECT_LE(worst, bound * (1.0 + 1e-6) + 1e-6) << file << " " << phase << " T " << T;
        if (bound > 0.0) tightest = std::max(tightest, worst / bound);
    });
    EXPECT_GE(bounded, 30);
    // The bound is of use only if it is not far above what the terms reach.
    EXPECT_GE(tightest, 0.3);
}

// The bound of the curvature's change where every fraction is at least
// least_k = max(0, w_k - R) (PhaseModel::excess_third_bound_above): central
// differences of the model's Hessian at random points of that region, on
// the polynomial phases of the hard files and a polynomial liquid, whose
// asymmetric binary terms (a negative power of x_i + x_j) have no bound
// over the whole simplex.
TEST(ExcessThirdBound, HoldsWhereTheFractionsAreKeptFromZero) {
    std::mt19937_64 rng(29);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    const std::vector<std::string> files = {example("hard/hard-quaternary.dat"), example("hard/hard-ternary.dat"),
                                            std::string(EQCORE_TESTS_DIR) + "/eqcore_data/data/qkto-liquid.dat"};
    int bounded = 0, only_local = 0;
    double tightest = 0.0;
    each_mixture_case(files, [&](const std::string& file, const std::string& phase, const PhaseModel& m,
                                 const std::vector<char>& active, double T) {
        const std::size_t n = active.size();
        double on = 0.0;
        for (char a : active) on += a ? 1.0 : 0.0;
        std::vector<double> w(n), least(n), at(n), u(n), v(n), grad(n), hess(n * n);
        auto curvature = [&](double s) {
            for (std::size_t i = 0; i < n; ++i) at[i] = w[i] + s * v[i];
            m.excess(T, at, grad, hess);
            return quadratic(hess, u);
        };
        for (int c = 0; c < 8; ++c) {
            // A centre with every active fraction >= 0.02, and R within it
            // or up to 0.1 (the region then reaches 0 in some fractions).
            random_composition(active, rng, w);
            for (std::size_t i = 0; i < n; ++i) w[i] = active[i] ? 0.9 * w[i] + 0.1 / on : 0.0;
            double lowest = 1.0;
            for (std::size_t i = 0; i < n; ++i)
                if (active[i]) lowest = std::min(lowest, w[i]);
            const double R = c % 2 == 0 ? 0.5 * lowest : 0.1;
            for (std::size_t i = 0; i < n; ++i) least[i] = std::max(0.0, w[i] - R);
            const double bound = m.excess_third_bound_above(T, active, least);
            if (!std::isfinite(bound)) continue;
            ++bounded;
            if (!std::isfinite(m.excess_third_bound(T, active))) ++only_local;
            const std::vector<double> centre = w;
            double worst = 0.0;
            for (int k = 0; k < 200; ++k) {
                // A point of the ball of radius R around the centre (its
                // fractions then stay >= least), and directions there.
                random_direction(active, rng, v);
                const double r = R * unif(rng);
                for (std::size_t i = 0; i < n; ++i) w[i] = centre[i] + r * v[i];
                bool inside = true;
                for (std::size_t i = 0; i < n; ++i) inside = inside && w[i] >= least[i] && (!active[i] || w[i] > 1e-5);
                if (!inside) continue;
                random_direction(active, rng, u);
                random_direction(active, rng, v);
                const double h = 1e-6;
                worst = std::max(worst, std::abs(curvature(h) - curvature(-h)) / (2.0 * h * kR * T));
            }
            w = centre;
            EXPECT_LE(worst, bound * (1.0 + 1e-6) + 1e-6) << file << " " << phase << " T " << T << " R " << R;
            if (bound > 0.0) tightest = std::max(tightest, worst / bound);
        }
    });
    EXPECT_GE(bounded, 30);
    EXPECT_GE(only_local, 10);
    EXPECT_GE(tightest, 0.2);
}

// Hard-quaternary's liquid holds x_Rh x_Ir^2 / (x_Rh + x_Ir): its third
// derivatives grow as 1 / (x_Rh + x_Ir), so there is no bound where those
// two may both reach 0 (none is given over the whole simplex); keeping
// their sum from 0 gives one, which falls as the sum grows.
TEST(ExcessThirdBound, AsymmetricBinaryNeedsItsSumKeptFromZero) {
    const System sys = read_dat(example("hard/hard-quaternary.dat"));
    const PhaseModels models(sys);
    const PhaseModel& liquid = models[phase_of(sys, "LIQUID")];
    const std::vector<char> all(4, 1);
    EXPECT_TRUE(std::isinf(liquid.excess_third_bound(1000.0, all)));
    EXPECT_TRUE(std::isinf(liquid.excess_third_bound_above(1000.0, all, std::vector<double>{0.2, 0.2, 0.0, 0.0})));
    const double near = liquid.excess_third_bound_above(1000.0, all, std::vector<double>{0.0, 0.0, 0.05, 0.05});
    const double far = liquid.excess_third_bound_above(1000.0, all, std::vector<double>{0.0, 0.0, 0.2, 0.2});
    EXPECT_TRUE(std::isfinite(near));
    EXPECT_GT(near, far);
    // Near x_Rh + x_Ir = 0.1 the third derivative along the Rh-Ir edge,
    // 6 c^3 L / (x_Rh + x_Ir) with c = 1/sqrt(2) (the term is cubic along
    // it), stays within the bound and reaches a fair part of it.
    const std::vector<double> least = {0.0, 0.0, 0.025, 0.025};
    const double bound = liquid.excess_third_bound_above(1000.0, all, least);
    const double RT = kR * 1000.0, c = 1.0 / std::sqrt(2.0);
    double worst = 0.0;
    std::vector<double> w(4), grad(4), hess(16), u = {0.0, 0.0, c, -c};
    auto curvature = [&](double t, double xRh) {
        w = {0.45, 0.45, xRh + c * t, 0.1 - xRh - c * t};
        liquid.excess(1000.0, w, grad, hess);
        return quadratic(hess, u);
    };
    for (double xRh = 0.03; xRh <= 0.07; xRh += 0.01) {
        const double h = 1e-5;
        const double change = std::abs(curvature(h, xRh) - curvature(-h, xRh)) / (2.0 * h * RT);
        EXPECT_NEAR(change, 6.0 * c * c * c * 4000.0 / (0.1 * RT), 1e-4 * change);
        worst = std::max(worst, change);
    }
    EXPECT_LE(worst, bound);
    // With Rh and Ir alone (s = 1) only that term counts: the bound, kept
    // from 0 by s >= 0.8, is a fair multiple of 6 c^3 L / RT.
    // The bound sums the sizes of the term's derivatives without their
    // cancellations: loose, but it scales as 1 / s exactly.
    const std::vector<char> rh_ir = {0, 0, 1, 1};
    const double pair = liquid.excess_third_bound_above(1000.0, rh_ir, std::vector<double>{0.0, 0.0, 0.4, 0.4});
    const double edge = 6.0 * c * c * c * 4000.0 / RT;
    EXPECT_LE(edge, pair);
    EXPECT_GE(edge, 0.02 * pair);
    EXPECT_NEAR(liquid.excess_third_bound_above(1000.0, rh_ir, std::vector<double>{0.0, 0.0, 0.05, 0.05}), 8.0 * pair,
                1e-9 * pair);
}

// A binary of one regular term (hard-quaternary's bcc, Au-Pt only: -8000 J
// x_Au x_Pt): the curvature along the binary is -L/RT everywhere, and the
// bound is exactly |L|/RT.
TEST(ExcessCurvatureBound, RegularBinaryIsExact) {
    const System sys = read_dat(example("hard/hard-quaternary.dat"));
    const PhaseModels models(sys);
    const PhaseModel& bcc = models[phase_of(sys, "BCC#1")];
    EXPECT_NEAR(bcc.excess_curvature_bound(1000.0, std::vector<char>{1, 1, 0, 0}), 8000.0 / (kR * 1000.0), 1e-12);
}

// The distance of phase p at mole fractions y against the result's
// potentials, /RT per mol: sum y_i (G°_i + RT ln y_i - mu_i) + g_ex(y).
double distance(const System& sys, const PhaseModel& m, int p, const EquilibriumResult& r, const std::vector<double>& y) {
    const std::size_t n = y.size();
    std::vector<StandardProps> st(n);
    m.constituent_standard(r.T, std::log(r.T), st);
    const double RT = kR * r.T;
    const int first = sys.phases[sz(p)].first;
    double D = m.excess(r.T, y).g / RT;
    for (std::size_t i = 0; i < n; ++i)
        if (y[i] > 0.0) D += y[i] * (st[i].g / RT + std::log(y[i]) - r.mu[sz(first) + i] / RT);
    return D;
}

// Warm steps up and down (small and large) across the gaps of the hard
// files, each state's every absent copy of a phase with a present copy
// sampled over its compositions: a grid along every edge and random points
// inside, densest beside the present copy. No point lies below the tangent
// plane, nor below the least distance the solver reports; and each warm
// answer is the cold one.
TEST(OwnBasin, WarmStepsBesideAPresentCopyMissNoPhase) {
    struct Path {
        const char* file;
        std::vector<double> b;
        std::vector<double> T;
    };
    const std::vector<Path> paths = {
        {"hard/hard-quaternary.dat", {0.4, 0.6, 0.0, 0.0}, {1000, 1010, 1000, 990, 960, 900, 940, 1100, 1300, 1280, 1500, 1450, 800, 830, 700}},
        {"hard/hard-quaternary.dat", {0.25, 0.25, 0.25, 0.25}, {1000, 1010, 1000, 950, 1200, 1190}},
        // The first of three bcc copies present beside fcc: the two absent
        // copies, one function, share one search.
        {"hard/hard-quaternary.dat", {0.3, 0.0, 0.7, 0.0}, {1200, 1210, 1200, 1000, 990, 800, 810}},
        {"hard/hard-ternary.dat", {0.1, 0.1, 0.8}, {1000, 1010, 990, 960, 900, 1200, 1180}},
        {"hard/hard-ternary.dat", {0.6, 0.05, 0.35}, {1200, 1190, 1150, 1120, 1100, 1060, 1000, 1010}},
        // A strong positive binary with a cubic term, its gap opening below
        // about 1500 K: the copy's own basin splits as the temperature falls.
        {"asym-gap.dat", {0.3, 0.7}, {1700, 1600, 1550, 1500, 1490, 1480, 1460, 1440, 1400, 1300, 1290, 1000, 1010}},
        {"asym-gap.dat", {0.6, 0.4}, {1700, 1550, 1520, 1510, 1500, 1495, 1480, 1450, 1420, 1200, 1190}},
        {"asym-gap.dat", {0.85, 0.15}, {1600, 1450, 1400, 1390, 1380, 1350, 1300, 1250, 1100}},
    };
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    for (const Path& path : paths) {
        const std::string file = std::string(path.file).rfind("hard/", 0) == 0 ? example(path.file) : test_data(path.file);
        const System sys = read_dat(file);
        const PhaseModels models(sys);
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = path.b;
        Solver warm;
        for (double T : path.T) {
            const EquilibriumResult w = warm.equilibrate(pr, at(T));
            const EquilibriumResult c = Solver().equilibrate(pr, at(T));
            ASSERT_TRUE(w.succeeded() && c.succeeded()) << path.file << " T " << T;
            EXPECT_NEAR(w.G, c.G, 1e-7 * std::abs(c.G) + 1e-6) << path.file << " T " << T;
            for (int p = 0; p < sys.phase_count(); ++p) {
                const std::string& name = sys.phases[sz(p)].name;
                const std::size_t hash = name.find('#');
                if (hash == std::string::npos || w.phases[sz(p)].present || !w.phases[sz(p)].considered) continue;
                // A present copy of the same phase, and its fractions.
                std::vector<double> at_copy;
                for (int o = 0; o < sys.phase_count() && at_copy.empty(); ++o) {
                    const std::string& other = sys.phases[sz(o)].name;
                    if (o == p || !w.phases[sz(o)].present || other.compare(0, hash + 1, name, 0, hash + 1) != 0) continue;
                    const int f = sys.phases[sz(o)].first;
                    for (int i = 0; i < sys.phases[sz(o)].count; ++i) at_copy.push_back(w.mole_fraction[sz(f + i)]);
                }
                if (at_copy.empty()) continue;
                const PhaseModel& m = models[p];
                const std::size_t n = at_copy.size();
                // The constituents whose elements the material holds.
                std::vector<char> on(n, 0);
                for (std::size_t i = 0; i < n; ++i) on[i] = at_copy[i] > 0.0;
                const double reported = -w.phases[sz(p)].driving_force / (kR * T);
                double least = 1e300;
                std::vector<double> y(n);
                for (int k = 0; k < 40000; ++k) {
                    // Half near the copy (within 0.3 in each fraction), half anywhere.
                    double sum = 0.0;
                    for (std::size_t i = 0; i < n; ++i) {
                        const double r = k % 2 == 0 ? std::max(0.0, at_copy[i] + 0.3 * (2.0 * unif(rng) - 1.0))
                                                    : -std::log(unif(rng) + 1e-300);
                        y[i] = on[i] ? r : 0.0;
                        sum += y[i];
                    }
                    if (!(sum > 0.0)) continue;
                    for (double& v : y) v /= sum;
                    least = std::min(least, distance(sys, m, p, w, y));
                }
                EXPECT_GE(least, -1e-7) << path.file << " T " << T << " " << name << " forms below the plane";
                EXPECT_GE(least, reported - 1e-7) << path.file << " T " << T << " " << name;
            }
        }
    }
}

// Cold and warm states of the hard quaternary file (its descents stop where
// they enter a proven ball around a minimum found before): every absent
// non-ideal mixture sampled over its compositions never lies below the
// least distance the solver reports, and its reported composition has that
// distance.
TEST(OwnBasin, NoAbsentMixtureLiesBelowItsReportedDistance) {
    const System sys = read_dat(example("hard/hard-quaternary.dat"));
    const PhaseModels models(sys);
    const std::vector<std::vector<double>> feeds = {
        {0.25, 0.25, 0.25, 0.25}, {0.1, 0.2, 0.3, 0.4}, {0.7, 0.1, 0.1, 0.1}, {0.05, 0.05, 0.45, 0.45}};
    std::mt19937_64 rng(31);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    for (const std::vector<double>& b : feeds) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = b;
        Solver warm;
        for (double T : {1000.0, 1010.0, 1400.0, 800.0}) {
            const EquilibriumResult w = warm.equilibrate(pr, at(T));
            const EquilibriumResult c = Solver().equilibrate(pr, at(T));
            ASSERT_TRUE(w.succeeded() && c.succeeded()) << "T " << T;
            EXPECT_NEAR(w.G, c.G, 1e-7 * std::abs(c.G) + 1e-6) << "T " << T;
            for (const EquilibriumResult* r : {&w, &c}) {
                for (int p = 0; p < sys.phase_count(); ++p) {
                    const PhaseModel& m = models[p];
                    const PhaseResult& ph = r->phases[sz(p)];
                    if (ph.present || !ph.considered || m.layout().ideal || m.layout().pure) continue;
                    const std::size_t n = sz(sys.phases[sz(p)].count);
                    const int first = sys.phases[sz(p)].first;
                    const double reported = -ph.driving_force / (kR * T);
                    std::vector<double> y(n);
                    for (std::size_t i = 0; i < n; ++i) y[i] = r->mole_fraction[sz(first) + i];
                    EXPECT_NEAR(distance(sys, m, p, *r, y), reported, 1e-7) << sys.phases[sz(p)].name << " T " << T;
                    double least = 1e300;
                    for (int k = 0; k < 20000; ++k) {
                        double sum = 0.0;
                        for (std::size_t i = 0; i < n; ++i) {
                            y[i] = -std::log(unif(rng) + 1e-300) * (k % 3 == 0 ? unif(rng) * unif(rng) : 1.0);
                            sum += y[i];
                        }
                        for (double& v : y) v /= sum;
                        least = std::min(least, distance(sys, m, p, *r, y));
                    }
                    EXPECT_GE(least, reported - 1e-7) << sys.phases[sz(p)].name << " T " << T;
                }
            }
        }
    }
}

}  // namespace
}  // namespace eqcore::robust
