// The stress harness in CI: random states over every example data file, each
// solved cold and warm. Every state must be accepted or fail with a clear
// error; a wrong answer reported as success fails the test with the state
// that reproduces it. EQCORE_STRESS_STATES sets the states per file (the
// sanitizer build runs fewer by default).
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "check/stress.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

int states_per_file() {
    if (const char* v = std::getenv("EQCORE_STRESS_STATES")) return std::max(1, std::atoi(v));
    return EQCORE_STRESS_DEFAULT_STATES;
}

class StressHarness : public ::testing::TestWithParam<const char*> {};

TEST_P(StressHarness, EveryStateAcceptedOrClearlyFailed) {
    const std::string file = GetParam();
    // The example files by name; the test data files by their path under tests/.
    const System sys = read_dat(file.rfind("tests/", 0) == 0 ? std::string(EQCORE_TESTS_DIR) + file.substr(5) : example(file));
    std::mt19937_64 rng(20261206);
    Solver solver;
    const int n = states_per_file();
    int passed = 0, failed = 0, wrong = 0, disagree = 0;
    for (int i = 0; i < n; ++i) {
        const StressState st = random_state(sys, rng, static_cast<FeedKind>(i % kFeedKinds), file);
        const EquilibriumProblem pr = problem_of(sys, st);
        const Conditions c = conditions_of(st);
        const EquilibriumResult cold = solve_cold(solver, pr, c);
        prepare_warm(solver, pr, c, st.T_near);
        const EquilibriumResult warm = solver.equilibrate(pr, c);
        for (const EquilibriumResult* r : {&cold, &warm}) {
            const Judgement j = judge(pr, c, *r);
            const char* how = r == &cold ? "cold" : "warm";
            switch (j.verdict) {
                case Verdict::passed: ++passed; break;
                case Verdict::failed: ++failed; break;
                case Verdict::wrong:
                    ++wrong;
                    ADD_FAILURE() << "wrong answer (" << how << "): " << st.describe(sys) << "\n" << j.detail;
                    break;
            }
        }
        if (cold.succeeded() && warm.succeeded() && result_difference(cold, warm, &sys) > 1e-9) {
            ++disagree;
            ADD_FAILURE() << "cold and warm differ by " << result_difference(cold, warm, &sys) << ": " << st.describe(sys);
        }
    }
    RecordProperty("passed", passed);
    RecordProperty("failed", failed);
    std::printf("%s: %d solves, %d passed, %d failed with an error, %d wrong, %d cold/warm disagreements\n",
                file.c_str(), 2 * n, passed, failed, wrong, disagree);
    EXPECT_EQ(wrong, 0);
    // Failing with an error is allowed, but must stay the exception (about
    // 0.1% of the solves over 100 000 states on most files, nearly all with
    // an element at a trace; up to 2% on the slag and ionic melt files). Two
    // solves of slack keep a file near its usual rate from failing the test
    // on a small sample (the sanitizer build runs 25 states).
    EXPECT_LE(failed, 2 * n / 50 + 2) << "more than 2% of the solves failed";
}

// Ag and Ni 1:1 in the hard ternary file: the fcc gap is symmetric, so its
// two copies hold equal amounts of mirrored compositions. The same answer
// with the copies' labels swapped is the same answer; pairing copies by
// amount alone once counted it as a cold/warm difference of 1.
TEST(ResultDifference, CopiesOfEqualAmountsArePairedByComposition) {
    const System sys = read_dat(example("hard/hard-ternary.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = {1.0, 0.0, 1.0};
    const EquilibriumResult r = Solver().equilibrate(pr, at(614.66305331786805));
    ASSERT_TRUE(r.succeeded()) << r.message;
    const Phase& f1 = sys.phases[static_cast<std::size_t>(phase_of(sys, "FCC#1"))];
    const Phase& f2 = sys.phases[static_cast<std::size_t>(phase_of(sys, "FCC#2"))];
    ASSERT_TRUE(r.phases[static_cast<std::size_t>(phase_of(sys, "FCC#1"))].present);
    ASSERT_TRUE(r.phases[static_cast<std::size_t>(phase_of(sys, "FCC#2"))].present);
    EquilibriumResult swapped = r;
    for (int k = 0; k < f1.count; ++k)
        std::swap(swapped.amount[static_cast<std::size_t>(f1.first + k)], swapped.amount[static_cast<std::size_t>(f2.first + k)]);
    std::swap(swapped.phases[static_cast<std::size_t>(phase_of(sys, "FCC#1"))],
              swapped.phases[static_cast<std::size_t>(phase_of(sys, "FCC#2"))]);
    EXPECT_EQ(result_difference(r, swapped, &sys), 0.0);
    EXPECT_GT(result_difference(r, swapped), 0.5);  // without the system, copies are not matched
}

// Exactly (Mn,Ca)O in the ionic melt: the vacancy records are fixed only by
// the O and metal balances, which hold to their rounding, so cold and warm
// answers may put 1e-19 or 1e-46 mol there. A difference below 1e-14 of
// the scarcest element of a constituent is below what its balances
// resolve and does not count; one above it does, however small.
TEST(ResultDifference, TracesCountDownToWhatTheirElementsResolve) {
    const System sys = read_dat(std::string(EQCORE_TESTS_DIR) + "/eqcore_ionic/data/ionic_melt.dat");
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    const int slag = phase_of(sys, "SLAG");
    ASSERT_GE(slag, 0);
    const Phase& ph = sys.phases[static_cast<std::size_t>(slag)];
    std::size_t mnva = 0, mno = 0;
    for (int k = 0; k < ph.count; ++k) {
        const std::string& name = sys.constituents[static_cast<std::size_t>(ph.first + k)].name;
        if (name == "Mn+2:Va") mnva = static_cast<std::size_t>(ph.first + k);
        if (name == "Mn+2:O-2") mno = static_cast<std::size_t>(ph.first + k);
    }
    ASSERT_GT(mnva, 0u);
    ASSERT_GT(mno, 0u);
    pr.add("feed", slag, static_cast<int>(mno - static_cast<std::size_t>(ph.first)), 0.0034453923299584801);
    const EquilibriumResult r = Solver().equilibrate(pr, at(3612.4422705677716, 3661206.638814094));
    ASSERT_TRUE(r.succeeded()) << r.message;
    std::size_t mn = 0;
    while (mn < sys.elements.size() && sys.elements[mn].symbol != "Mn") ++mn;
    ASSERT_LT(mn, sys.elements.size());
    const double b_mn = r.element_amount[mn];
    EquilibriumResult other = r;
    other.amount[mnva] = r.amount[mnva] + 0.5e-14 * b_mn;
    EXPECT_LE(result_difference(r, other, &sys), 1e-9);
    other.amount[mnva] = r.amount[mnva] + 4e-14 * b_mn;
    EXPECT_GT(result_difference(r, other, &sys), 0.5);
}

// A printed state line reproduces its state exactly. The ionic liquid of
// ionic_example_2 has two constituents named S (the neutral's record per
// cation): the line names them by their number within the phase, so both
// read back as themselves; a phase without repeated names keeps its line
// as before (old lines still replay); a wrong word is named.
TEST(StressLine, RepeatedConstituentNamesReadBackAsThemselves) {
    const System sys = read_dat(std::string(EQCORE_TESTS_DIR) + "/eqcore_ionic/data/ionic_example_2.dat");
    const int liq = phase_of(sys, "LIQUID_I2");
    ASSERT_GE(liq, 0);
    const int first = sys.phases[static_cast<std::size_t>(liq)].first;
    std::vector<int> named_s;
    for (int k = 0; k < sys.phases[static_cast<std::size_t>(liq)].count; ++k)
        if (sys.constituents[static_cast<std::size_t>(first + k)].name == "S") named_s.push_back(first + k);
    ASSERT_EQ(named_s.size(), 2u);

    StressState st;
    st.label = "tests/eqcore_ionic/data/ionic_example_2.dat";
    st.T = 1262.5559454295858;
    st.P = 3261.0740527459061;
    st.T_near = 1259.0645826393527;
    st.feed = {{named_s[1], 2.7177682196638898e-05}, {constituent_of(sys, "Cu(s)"), 0.01065855833683073},
               {named_s[0], 0.0001070607951542698}, {named_s[1], 0.00039348194282950424}};
    const std::string line = st.describe(sys);
    EXPECT_NE(line.find(" LIQUID_I2/S[" + std::to_string(named_s[0] - first + 1) + "] "), std::string::npos) << line;
    EXPECT_NE(line.find(" LIQUID_I2/S[" + std::to_string(named_s[1] - first + 1) + "] "), std::string::npos) << line;
    EXPECT_NE(line.find(" Cu(s)/Cu(s) 0.01065855833683073 "), std::string::npos) << line;

    StressState back;
    ASSERT_EQ(read_state(sys, line, back), "");
    EXPECT_EQ(back.label, st.label);
    EXPECT_EQ(back.kind, st.kind);
    EXPECT_EQ(back.T, st.T);
    EXPECT_EQ(back.P, st.P);
    EXPECT_EQ(back.T_near, st.T_near);
    EXPECT_EQ(back.feed, st.feed);
    EXPECT_EQ(back.describe(sys), line);

    // Every random state of the file, of every kind, reads back as itself.
    std::mt19937_64 rng(2);
    for (int i = 0; i < 120; ++i) {
        const StressState r = random_state(sys, rng, static_cast<FeedKind>(i % kFeedKinds), st.label);
        StressState again;
        ASSERT_EQ(read_state(sys, r.describe(sys), again), "") << r.describe(sys);
        EXPECT_EQ(again.feed, r.feed) << r.describe(sys);
        EXPECT_EQ(again.T, r.T);
    }

    // What is wrong in a line is named.
    EXPECT_EQ(read_state(sys, st.label + " mixed T=1000 K P=1e5 Pa (warm from 990 K) feed: LIQUID_I2/S[9] 1", back),
              "no constituent LIQUID_I2/S[9]");
    EXPECT_EQ(read_state(sys, st.label + " mixed T=1000 K P=1e5 Pa (warm from 990 K) feed: Cu(s)/Cu(s) 1x", back),
              "amount 1x of Cu(s)/Cu(s) is not a number of mol");
    EXPECT_EQ(read_state(sys, st.label + " blended T=1000 K P=1e5 Pa (warm from 990 K) feed: Cu(s)/Cu(s) 1", back),
              "unknown feed kind blended");
}

INSTANTIATE_TEST_SUITE_P(ExampleFiles, StressHarness,
                         ::testing::Values("h-o.dat", "c-h-o-n.dat", "n-o-example.dat", "ag-cu-example.dat", "fe-sgte.dat",
                                           "al-mg.dat", "zr-h.dat", "fe-c.dat", "hard/hard-quaternary.dat",
                                           "hard/hard-ternary.dat", "ga-in-qc.dat",
                                           "tests/eqcore_quasichem/data/qc_slag.dat",
                                           "tests/eqcore_ionic/data/ionic_melt.dat"),
                         file_test_name);

}  // namespace
}  // namespace eqcore::robust
