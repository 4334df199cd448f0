// States that follow one another closely (a temperature sweep, a feed that
// drifts), each started from the previous result: the solver then searches
// the absent mixtures only where its remembered minima cannot rule them
// out. Every warm answer must be the cold one and pass the acceptance check
// (whose own search over each mixture's compositions is exhaustive), also
// after a jump to an unrelated state. And the bound on how far a mixture's
// remainder moves with temperature, which that rests on, holds at random
// compositions.
#include <cmath>
#include <random>
#include <sstream>
#include <vector>

#include "robust_util.hpp"
#include "thermo/models.hpp"

namespace eqcore::robust {
namespace {

struct Sweep {
    const char* file;
    std::vector<double> b;  // element amounts
    double T0, T1, dT;
};

// Warm along the sweep, each state also solved cold: same G, both accepted.
std::vector<std::string> sweep_faults(const Sweep& s) {
    const System sys = read_dat(example(s.file));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = s.b;
    Solver warm;
    std::vector<std::string> faults;
    for (double T = s.T0; s.dT > 0 ? T <= s.T1 : T >= s.T1; T += s.dT) {
        Solver fresh;
        const EquilibriumResult w = warm.equilibrate(pr, at(T));
        const EquilibriumResult c = fresh.equilibrate(pr, at(T));
        std::ostringstream where;
        where.precision(10);
        where << s.file << " T=" << T << ": ";
        // What is judged here is the warm answer: a cold solve that fails
        // cleanly leaves nothing to compare it with.
        if (!c.succeeded()) continue;
        if (!w.succeeded()) {
            faults.push_back(where.str() + "warm failed: " + w.message);
            continue;
        }
        if (std::abs(w.G - c.G) > 1e-7 * std::abs(c.G) + 1e-6)
            faults.push_back(where.str() + "warm G " + std::to_string(w.G) + " cold G " + std::to_string(c.G));
        if (const AcceptanceReport rep = check_equilibrium(pr, w); !rep.ok) faults.push_back(where.str() + rep.summary());
    }
    return faults;
}

TEST(NearbyStates, TemperatureSweepsWarmAreTheColdAnswersAndAccepted) {
    const std::vector<Sweep> sweeps = {
        {"hard/hard-quaternary.dat", {0.4, 0.6, 0.0, 0.0}, 700.0, 1700.0, 7.0},
        {"hard/hard-quaternary.dat", {0.25, 0.25, 0.25, 0.25}, 1500.0, 800.0, -9.0},
        {"hard/hard-quaternary.dat", {0.1, 0.2, 0.3, 0.4}, 900.0, 2100.0, 13.0},
        {"hard/hard-ternary.dat", {0.1, 0.1, 0.8}, 700.0, 1600.0, 6.0},
        {"hard/hard-ternary.dat", {0.6, 0.05, 0.35}, 1600.0, 700.0, -8.0},
        {"fe-c.dat", {0.95, 0.05}, 800.0, 1300.0, 5.0},
        {"zr-h.dat", {0.8, 0.2}, 450.0, 1000.0, 5.0},
    };
    for (const Sweep& s : sweeps) {
        const std::vector<std::string> faults = sweep_faults(s);
        std::ostringstream all;
        for (const std::string& f : faults) all << "\n  " << f;
        EXPECT_TRUE(faults.empty()) << faults.size() << " faults:" << all.str();
    }
}

// The feed drifts at one temperature (the potentials move, the standard
// potentials and remainders do not).
TEST(NearbyStates, DriftingFeedWarmIsTheColdAnswerAndAccepted) {
    const System sys = read_dat(example("hard/hard-ternary.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    Solver warm;
    for (double T : {800.0, 1000.0, 1300.0}) {
        for (int k = 0; k <= 40; ++k) {
            const double t = k / 40.0;  // from Ag-rich to Ni-rich through the middle
            pr.element_amount = {0.8 * (1.0 - t) + 0.05 * t, 0.1 + 0.25 * std::sin(3.14159 * t), 0.1 * (1.0 - t) + 0.9 * t};
            const EquilibriumResult w = warm.equilibrate(pr, at(T));
            const EquilibriumResult c = Solver().equilibrate(pr, at(T));
            ASSERT_TRUE(w.succeeded() && c.succeeded()) << "T " << T << " step " << k << ": " << w.message << c.message;
            EXPECT_NEAR(w.G, c.G, 1e-7 * std::abs(c.G) + 1e-6) << "T " << T << " step " << k;
            EXPECT_TRUE(accepted(pr, w)) << "T " << T << " step " << k;
        }
    }
}

// A warm start from an unrelated state: a copy of a present phase had one
// minimum there (the present copy's composition), and at the new feed the
// second bcc must still be found (it forms far from where the first sat).
TEST(NearbyStates, CopyFormsAfterAJumpFromAnUnrelatedState) {
    const System sys = read_dat(example("hard/hard-ternary.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    Solver warm;
    pr.element_amount = {0.1, 0.8, 0.1};
    ASSERT_TRUE(warm.equilibrate(pr, at(1000.0)).succeeded());
    pr.element_amount = {0.1, 0.1, 0.8};
    const EquilibriumResult w = warm.equilibrate(pr, at(1000.0));
    ASSERT_TRUE(w.succeeded()) << w.message;
    EXPECT_TRUE(accepted(pr, w));
    EXPECT_TRUE(w.phases[static_cast<std::size_t>(phase_of(sys, "BCC#1"))].present);
    EXPECT_TRUE(w.phases[static_cast<std::size_t>(phase_of(sys, "BCC#2"))].present);
    EXPECT_NEAR(w.G, Solver().equilibrate(pr, at(1000.0)).G, 1e-6);
}

// 40 K colder than the state the warm start comes from, a gap opens in the
// bcc beside the present copy: the second copy forms 0.0008 RT per mol
// below the tangent plane, in what was the present copy's basin. The
// remembered minimum at the copy's composition says nothing of that basin
// once the potentials have moved, so the warm start must search it again.
TEST(NearbyStates, GapOpensBesideAPresentCopyAsTheTemperatureFalls) {
    const System sys = read_dat(example("hard/hard-ternary.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    feed(pr, "FCC#1/Ag(fcc)", 0.064124296591128727);
    feed(pr, "AgNi(s)", 4.9810738529260048);
    feed(pr, "LIQUID/Ag(liq)", 4.262030419117627);
    feed(pr, "FCC#1/Ni(fcc)", 0.46333870639825453);
    feed(pr, "BCC#2/Cu(bcc)", 2.0440892549772953);
    const double P = 489408.16816467285;
    Solver warm;
    ASSERT_TRUE(warm.equilibrate(pr, at(1155.2188309288151, P)).succeeded());
    const EquilibriumResult w = warm.equilibrate(pr, at(1115.8980144378054, P));
    ASSERT_TRUE(w.succeeded()) << w.message;
    EXPECT_TRUE(accepted(pr, w));
    EXPECT_TRUE(w.phases[static_cast<std::size_t>(phase_of(sys, "BCC#2"))].present);
    EXPECT_NEAR(w.G, Solver().equilibrate(pr, at(1115.8980144378054, P)).G, 1e-6);
}

// sup_w |g_ex(T2, w)/(R T2) - g_ex(T1, w)/(R T1)| <= the model's bound, on
// random compositions of every mixture of the hard files (Redlich-Kister
// with ternary terms, Kohler polynomials with exponents above 1, Toop-like
// groups and weights), of all constituents and of pairs only.
TEST(ExcessChangeBound, HoldsAtRandomCompositions) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (const char* file : {"hard/hard-quaternary.dat", "hard/hard-ternary.dat"}) {
        const System sys = read_dat(example(file));
        const PhaseModels models(sys);
        for (int p = 0; p < sys.phase_count(); ++p) {
            const PhaseModel& m = models[p];
            if (m.layout().ideal || m.layout().pure) continue;
            const std::size_t n = static_cast<std::size_t>(m.layout().variables);
            for (int pair = -1; pair < static_cast<int>(n) - 1; ++pair) {
                std::vector<char> active(n, 1);
                if (pair >= 0)
                    for (std::size_t i = 0; i < n; ++i) active[i] = i == static_cast<std::size_t>(pair) || i == static_cast<std::size_t>(pair) + 1;
                for (const auto& [T1, T2] : {std::pair{1000.0, 1010.0}, std::pair{700.0, 1500.0}}) {
                    const double bound = m.excess_change_bound(T1, T2, active);
                    ASSERT_TRUE(std::isfinite(bound)) << sys.phases[static_cast<std::size_t>(p)].name;
                    EXPECT_EQ(m.excess_change_bound(T1, T1, active), 0.0);
                    double worst = 0.0;
                    for (int k = 0; k < 3000; ++k) {
                        std::vector<double> w(n, 0.0);
                        double sum = 0.0;
                        for (std::size_t i = 0; i < n; ++i) {
                            // Corners and edges too: some fractions driven to 0.
                            w[i] = active[i] ? (u(rng) < 0.2 ? 0.0 : -std::log(u(rng) + 1e-300)) : 0.0;
                            sum += w[i];
                        }
                        if (!(sum > 0.0)) continue;
                        for (double& x : w) x /= sum;
                        const double d = m.excess(T2, w).g / (kR * T2) - m.excess(T1, w).g / (kR * T1);
                        worst = std::max(worst, std::abs(d));
                    }
                    EXPECT_LE(worst, bound * (1.0 + 1e-12) + 1e-15) << sys.phases[static_cast<std::size_t>(p)].name;
                }
            }
        }
    }
}

}  // namespace
}  // namespace eqcore::robust
