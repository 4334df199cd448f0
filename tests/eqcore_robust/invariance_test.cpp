// Invariances: the answer must not depend on the order constituents, phases
// and elements are read in, on which species bring the elements, or on the
// start (cold or warm). 1e-9 relative.
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

#include <gtest/gtest.h>

#include "check/stress.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

template <class T>
std::vector<int> shuffled(int n, T& rng) {
    std::vector<int> p(sz(n));
    std::iota(p.begin(), p.end(), 0);
    std::shuffle(p.begin(), p.end(), rng);
    return p;
}

// A copy of `s` with the elements, the constituents of every mixture, the
// condensed mixtures among themselves and the stoichiometric phases among
// themselves in random order (the gas stays first, as files write it).
System permuted(const System& s, std::mt19937_64& rng) {
    System t;
    t.title = s.title;
    t.comment = s.comment;
    const std::vector<int> pe = shuffled(s.element_count(), rng);  // old element -> new
    t.elements.resize(s.elements.size());
    for (int j = 0; j < s.element_count(); ++j) t.elements[sz(pe[sz(j)])] = s.elements[sz(j)];
    std::vector<int> mixtures, pures;
    for (int p = 0; p < s.phase_count(); ++p)
        if (!(p == 0 && s.phases[0].is_gas())) (s.phases[sz(p)].is_mixture() ? mixtures : pures).push_back(p);
    std::shuffle(mixtures.begin(), mixtures.end(), rng);
    std::shuffle(pures.begin(), pures.end(), rng);
    std::vector<int> order;
    if (s.phase_count() > 0 && s.phases[0].is_gas()) order.push_back(0);
    order.insert(order.end(), mixtures.begin(), mixtures.end());
    order.insert(order.end(), pures.begin(), pures.end());
    for (int p : order) {
        Phase ph = s.phases[sz(p)];
        const std::vector<int> pc = shuffled(ph.count, rng);  // old local -> new local
        ph.first = static_cast<int>(t.constituents.size());
        for (Interaction& in : ph.excess)
            for (int& i : in.index) i = pc[sz(i)];
        std::vector<Constituent> cs(sz(ph.count));
        for (int k = 0; k < ph.count; ++k) {
            Constituent c = s.constituent(p, k);
            c.phase = static_cast<int>(t.phases.size());
            for (int j = 0; j < s.element_count(); ++j) c.stoich[sz(pe[sz(j)])] = s.constituent(p, k).stoich[sz(j)];
            cs[sz(pc[sz(k)])] = std::move(c);
        }
        t.constituents.insert(t.constituents.end(), cs.begin(), cs.end());
        t.phases.push_back(std::move(ph));
    }
    return t;
}

int find(const System& s, const std::string& phase, const std::string& name) {
    for (std::size_t g = 0; g < s.constituents.size(); ++g)
        if (s.constituents[g].name == name && s.phases[sz(s.constituents[g].phase)].name == phase) return static_cast<int>(g);
    return -1;
}

::testing::AssertionResult near(double a, double b, double rel, double abs) {
    if (std::abs(a - b) <= rel * std::max(std::abs(a), std::abs(b)) + abs) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " vs " << b;
}

class PermutedFile : public ::testing::TestWithParam<const char*> {};

TEST_P(PermutedFile, SameAnswerInAnyOrder) {
    const System sys = read_dat(example(GetParam()));
    std::mt19937_64 rng(77);
    const System alt = permuted(sys, rng);
    Solver a, b;
    int unsolved = 0;
    for (int i = 0; i < 24; ++i) {
        const StressState st = random_state(sys, rng, static_cast<FeedKind>(i % kFeedKinds), GetParam());
        StressState st2 = st;
        for (auto& [g, n] : st2.feed) {
            const Constituent& c = sys.constituents[sz(g)];
            g = find(alt, sys.phases[sz(c.phase)].name, c.name);
        }
        const EquilibriumProblem pa = problem_of(sys, st), pb = problem_of(alt, st2);
        const EquilibriumResult ra = solve_cold(a, pa, conditions_of(st));
        const EquilibriumResult rb = solve_cold(b, pb, conditions_of(st2));
        if (!ra.succeeded() || !rb.succeeded()) {
            // The comparison needs both; a failure is reported with its state.
            ++unsolved;
            std::printf("not solved in %s order: %s\n", ra.succeeded() ? "permuted" : "file", st.describe(sys).c_str());
            continue;
        }
        EXPECT_TRUE(accepted(pb, rb)) << st.describe(sys);
        double total = 0.0;
        for (double v : ra.amount) total += v;
        for (std::size_t g = 0; g < sys.constituents.size(); ++g) {
            const Constituent& c = sys.constituents[g];
            const int h = find(alt, sys.phases[sz(c.phase)].name, c.name);
            EXPECT_TRUE(near(ra.amount[g], rb.amount[sz(h)], 1e-9, 1e-15 * total))
                << c.name << " in " << sys.phases[sz(c.phase)].name << ": " << st.describe(sys);
        }
        EXPECT_TRUE(near(ra.G, rb.G, 1e-9, 0.0)) << st.describe(sys);
    }
    EXPECT_EQ(unsolved, 0) << "states not solved in one of the orders";
}

INSTANTIATE_TEST_SUITE_P(ExampleFiles, PermutedFile,
                         ::testing::Values("h-o.dat", "c-h-o-n.dat", "n-o-example.dat", "ag-cu-example.dat"), file_test_name);

// The same element amounts brought by different species give the same
// equilibrium (the heat differs; the state does not).
TEST(SameElements, FromDifferentFeedSpecies) {
    struct Case {
        const char* file;
        std::vector<std::vector<std::pair<const char*, double>>> feeds;
        std::vector<double> temperatures;
    };
    const std::vector<Case> cases = {
        {"c-h-o-n.dat",
         {{{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}},
          {{"CO2", 1.0}, {"H2O", 2.0}, {"N2", 7.52}},
          {{"C_graphite(s)", 1.0}, {"H2", 2.0}, {"O", 4.0}, {"N", 15.04}}},
         {400.0, 1500.0, 2500.0, 4000.0}},
        {"c-h-o-n.dat",  // carbon-rich: graphite at low temperature
         {{{"CH4", 1.0}, {"O2", 0.3}}, {{"CO", 0.6}, {"H2", 2.0}, {"C_graphite(s)", 0.4}}},
         {700.0, 1200.0, 3000.0}},
        {"h-o.dat",
         {{{"H2", 2.0}, {"O2", 1.0}}, {{"H2O", 2.0}}, {{"H2O2", 1.0}, {"H2", 1.0}}, {{"H2O_liquid(liq)", 2.0}}},
         {300.0, 350.0, 1500.0, 3500.0}},
    };
    int unsolved = 0;
    for (const Case& cs : cases) {
        const System sys = read_dat(example(cs.file));
        for (double T : cs.temperatures) {
            std::vector<EquilibriumResult> results;
            for (std::size_t fi = 0; fi < cs.feeds.size(); ++fi) {
                const auto& f = cs.feeds[fi];
                EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
                for (const auto& [name, n] : f) feed(pr, name, n);
                Solver solver;
                results.push_back(solver.equilibrate(pr, at(T)));
                if (!results.back().succeeded()) {
                    ++unsolved;
                    std::printf("not solved: %s at %g K, feed %zu: %s\n", cs.file, T, fi + 1,
                                results.back().message.c_str());
                    results.pop_back();
                    continue;
                }
                EXPECT_TRUE(accepted(pr, results.back())) << cs.file << " " << T << " K";
            }
            if (results.size() != cs.feeds.size()) continue;
            for (std::size_t i = 1; i < results.size(); ++i)
                EXPECT_LT(result_difference(results[0], results[i]), 1e-9)
                    << cs.file << " at " << T << " K, feed " << i + 1 << " against feed 1";
        }
    }
    EXPECT_EQ(unsolved, 0) << "calculations not solved";
}

// A temperature sweep solved warm (each from the previous) against each
// state solved cold.
TEST(ColdVersusWarm, TemperatureSweeps) {
    struct Case {
        const char* file;
        std::vector<std::pair<const char*, double>> feed;
    };
    const std::vector<Case> cases = {
        {"c-h-o-n.dat", {{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}}},
        {"c-h-o-n.dat", {{"CH4", 1.0}, {"O2", 0.4}}},
        {"h-o.dat", {{"H2", 2.0}, {"O2", 1.0}}},
        {"ag-cu-example.dat", {{"Ag(s)", 0.6}, {"Cu(s)", 0.4}}},
        {"n-o-example.dat", {{"N2", 1.0}, {"O2", 1.0}}},
    };
    int unsolved = 0;
    for (const Case& cs : cases) {
        const System sys = read_dat(example(cs.file));
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        for (const auto& [name, n] : cs.feed) feed(pr, name, n);
        Solver warm, cold;
        for (double T = 300.0; T <= 2990.0; T += 45.0) {
            const EquilibriumResult rw = warm.equilibrate(pr, at(T));
            const EquilibriumResult rc = solve_cold(cold, pr, at(T));
            if (!rw.succeeded() || !rc.succeeded()) {
                ++unsolved;
                std::printf("not solved: %s at %g K (%s): %s\n", cs.file, T, rw.succeeded() ? "cold" : "warm",
                            (rw.succeeded() ? rc : rw).message.c_str());
                continue;
            }
            EXPECT_TRUE(accepted(pr, rw)) << cs.file << " " << T << " K";
            EXPECT_LT(result_difference(rw, rc), 1e-9) << cs.file << " at " << T << " K";
        }
    }
    EXPECT_EQ(unsolved, 0) << "temperatures not solved";
}

}  // namespace
}  // namespace eqcore::robust
