// The internal distribution solve of a quasichemical liquid on hard inputs:
// an end member at a trace (its element held to its own precision, its
// potential following Henry's law), warm starts from the solver's last
// solution against a solver without one, and the remainder at quadruplets
// at the smallest amounts a double holds.
#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "qc_util.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/quasichem.hpp"
#include "thermo/quasichem_distribution.hpp"

namespace eqcore {
namespace {

using testing::qc_load;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

// Element amounts held by quadruplet amounts v.
std::vector<double> elements_of(const QuasichemModel& m, const std::vector<double>& v) {
    const ModelLayout& l = m.layout();
    std::vector<double> b(sz(l.elements), 0.0);
    for (int k = 0; k < l.variables; ++k)
        for (int e = 0; e < l.elements; ++e) b[sz(e)] += v[sz(k)] * l.row_of(k)[e];
    return b;
}

// End-member potentials at end-member amounts n, by a solver of its own.
std::vector<double> potentials(const QuasichemModel& m, double T, const std::vector<double>& n) {
    std::vector<double> mu(n.size());
    phase_props(m, T, 1e5, n, mu);
    return mu;
}

// MgO at 1e-9 of the slag: every element's balance to 1e-12 of its own
// amount (Mg included), and the potential of MgO against Henry's law:
// doubling a trace raises it by RT ln 2.
TEST(QuasichemDistribution, TraceEndMemberKeepsItsOwnPrecision) {
    const System sys = qc_load("qc_slag.dat");
    const QuasichemModel m(sys, 0);
    const double T = 1600.0, RT = kR * T;
    for (double trace : {1e-9, 1e-13}) {
        const std::vector<double> n = {0.5, trace, 0.3, 0.2};
        std::vector<double> v(sz(m.layout().variables)), vpure(v.size());
        ASSERT_TRUE(internal_equilibrium(m, T, n, v));
        m.internal_amounts(n, vpure);
        const std::vector<double> want = elements_of(m, vpure), got = elements_of(m, v);
        for (std::size_t e = 0; e < want.size(); ++e)
            EXPECT_NEAR(got[e], want[e], 1e-12 * want[e]) << sys.elements[e].symbol << " at trace " << trace;
        std::vector<double> n2 = n;
        n2[1] = 2.0 * trace;
        const double rise = (potentials(m, T, n2)[1] - potentials(m, T, n)[1]) / RT;
        EXPECT_NEAR(rise, std::log(2.0), 1e-6) << "trace " << trace;
    }
}

// One model solving a path of compositions (nearby, far, traces, back)
// from its last solution each time, against a solver without one: the same
// distribution.
TEST(QuasichemDistribution, WarmStartsReachTheColdSolution) {
    const System sys = qc_load("qc_slag.dat");
    const QuasichemModel m(sys, 0);
    const std::vector<std::vector<double>> path = {
        {0.4, 0.2, 0.05, 0.3}, {0.41, 0.2, 0.05, 0.3}, {0.4, 0.2, 0.05, 0.3}, {0.01, 0.5, 0.3, 0.9},
        {0.4, 1e-10, 0.05, 0.3}, {0.4, 0.2, 0.05, 0.3}, {1e-12, 1e-12, 1.0, 1e-12}, {0.3, 0.3, 0.3, 0.3}};
    const std::size_t K = sz(m.layout().variables);
    for (double T : {1300.0, 1600.0, 1600.0, 2100.0})
        for (const std::vector<double>& n : path) {
            std::vector<double> warm(K), cold(K);
            ASSERT_TRUE(internal_equilibrium(m, T, n, warm));
            QuasichemDistribution fresh(m);
            ASSERT_TRUE(fresh.solve(T, n, cold, {}));
            for (std::size_t k = 0; k < K; ++k) EXPECT_NEAR(warm[k], cold[k], 1e-9 * cold[k] + 1e-300) << k;
        }
}

// A trace at one end of the binary liquid, then the same trace at the
// other end: the start from the last solution fails there, and the solve
// must then start afresh rather than report no distribution.
TEST(QuasichemDistribution, TraceMovedToTheOtherEnd) {
    const System sys = qc_load("qc_example_1.dat");
    const QuasichemModel m(sys, testing::qc_phase(sys, "LIQ_Q1"));
    const std::size_t K = sz(m.layout().variables);
    for (const double trace : {1e-31, 1e-32, 1e-40})
        for (const std::vector<double>& n : {std::vector<double>{1.0, trace}, std::vector<double>{trace, 1.0}}) {
            std::vector<double> warm(K), cold(K);
            ASSERT_TRUE(internal_equilibrium(m, 300.0, n, warm)) << "trace " << trace;
            QuasichemDistribution fresh(m);
            ASSERT_TRUE(fresh.solve(300.0, n, cold, {}));
            for (std::size_t k = 0; k < K; ++k) EXPECT_NEAR(warm[k], cold[k], 1e-9 * cold[k] + 1e-300) << k;
        }
}

// Sweeps of nearby compositions at one temperature (each solve starting
// from the last one's factorisation and taking chord steps), majors and a
// trace moving, on every liquid of the example files: each distribution and
// each derivative of the potentials equals that of a solver without a
// previous solution.
TEST(QuasichemDistribution, NearbySweepsReachTheColdSolutionAndDerivatives) {
    for (const char* file : {"qc_slag.dat", "qc_example_1.dat", "qc_example_2.dat", "qc_example_3.dat"}) {
        const System sys = qc_load(file);
        const QuasichemModel m(sys, 0);
        const std::size_t K = sz(m.layout().variables), M = sz(m.layout().constituents());
        for (double trace : {1.0, 1e-7}) {
            for (int i = 0; i < 12; ++i) {
                const double f = 1.0 + 0.013 * (i < 6 ? i : 12 - i);
                std::vector<double> n(M);
                for (std::size_t a = 0; a < M; ++a)
                    n[a] = (0.2 + 0.1 * static_cast<double>(a)) * (a % 2 ? 1.0 / f : f) * (a == 0 ? trace : 1.0);
                std::vector<double> warm(K), cold(K), dwarm(M * M), dcold(M * M);
                ASSERT_TRUE(internal_equilibrium(m, 1500.0, n, warm, i % 3 == 2 ? dwarm : std::span<double>{}))
                    << file << " step " << i;
                QuasichemDistribution fresh(m);
                ASSERT_TRUE(fresh.solve(1500.0, n, cold, dcold));
                for (std::size_t k = 0; k < K; ++k)
                    EXPECT_NEAR(warm[k], cold[k], 1e-9 * cold[k] + 1e-300) << file << " step " << i << " quadruplet " << k;
                if (i % 3 != 2) continue;
                double scale = 0.0;
                for (double x : dcold) scale = std::max(scale, std::abs(x));
                for (std::size_t q = 0; q < M * M; ++q)
                    EXPECT_NEAR(dwarm[q], dcold[q], 1e-7 * scale) << file << " step " << i << " entry " << q;
            }
        }
    }
}

// Moves of the material alternating between large and tiny (so that what
// the solver learnt from the last move about its chord steps is wrong for
// the next one in both directions), on every liquid of the example files:
// each distribution and its derivatives equal those of a solver without a
// previous solution.
TEST(QuasichemDistribution, AlternatingMoveSizesReachTheColdSolution) {
    const std::vector<double> moves = {0.05, 1e-9, 0.03, 1e-12, 0.08, 0.002, 1e-7, 0.1, 0.0, 0.04};
    for (const char* file : {"qc_slag.dat", "qc_example_1.dat", "qc_example_2.dat", "qc_example_3.dat"}) {
        const System sys = qc_load(file);
        const QuasichemModel m(sys, 0);
        const std::size_t K = sz(m.layout().variables), M = sz(m.layout().constituents());
        std::vector<double> n(M);
        for (std::size_t a = 0; a < M; ++a) n[a] = 0.3 + 0.1 * static_cast<double>(a);
        for (std::size_t i = 0; i < moves.size(); ++i) {
            for (std::size_t a = 0; a < M; ++a) n[a] *= a % 2 ? 1.0 / (1.0 + moves[i]) : 1.0 + moves[i];
            std::vector<double> warm(K), cold(K), dwarm(M * M), dcold(M * M);
            ASSERT_TRUE(internal_equilibrium(m, 1400.0, n, warm, i % 2 ? dwarm : std::span<double>{}))
                << file << " move " << i;
            QuasichemDistribution fresh(m);
            ASSERT_TRUE(fresh.solve(1400.0, n, cold, dcold));
            for (std::size_t k = 0; k < K; ++k)
                EXPECT_NEAR(warm[k], cold[k], 1e-9 * cold[k] + 1e-300) << file << " move " << i << " quadruplet " << k;
            if (i % 2 == 0) continue;
            double scale = 0.0;
            for (double x : dcold) scale = std::max(scale, std::abs(x));
            for (std::size_t q = 0; q < M * M; ++q)
                EXPECT_NEAR(dwarm[q], dcold[q], 1e-7 * scale) << file << " move " << i << " entry " << q;
        }
    }
}

// Quadruplets holding an ion at 1e-300 (the smallest fraction the solver
// keeps): the remainder, its gradient and its Hessian stay finite.
TEST(QuasichemDistribution, RemainderIsFiniteAtTheSmallestAmounts) {
    const System sys = qc_load("qc_slag.dat");
    const QuasichemModel m(sys, 0);
    const std::size_t K = sz(m.layout().variables);
    for (int trace = 0; trace < 4; ++trace) {
        std::vector<double> w(K, 0.0), g(K), h(K * K);
        double sum = 0.0;
        for (std::size_t k = 0; k < K; ++k) {
            const auto& ion = m.quads()[k].ion;
            const bool holds = ion[0] == trace || ion[1] == trace;
            w[k] = holds ? 2e-300 : 1.0;
            sum += w[k];
        }
        for (double& x : w) x /= sum;
        const ExcessResult r = m.excess(1500.0, w, g, h);
        EXPECT_TRUE(std::isfinite(r.g)) << "cation " << trace;
        for (double x : g) EXPECT_TRUE(std::isfinite(x)) << "cation " << trace;
        for (double x : h) EXPECT_TRUE(std::isfinite(x)) << "cation " << trace;
    }
}

}  // namespace
}  // namespace eqcore
