// Helpers of the robustness tests: the example systems, feeds by name, and
// the acceptance check as a gtest assertion.
#pragma once

#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "check/acceptance.hpp"
#include "data/read_dat.hpp"
#include "solver/solver.hpp"
#include "solver_test_util.hpp"

namespace eqcore::robust {

// Example files and constituent lookup by name, shared with the solver tests.
using testing::constituent_of;
using testing::example;
using testing::phase_of;

inline std::string test_data(const std::string& file) { return std::string(EQCORE_ROBUST_TEST_DIR) + "/data/" + file; }

inline double amount_of(const System& sys, const EquilibriumResult& r, const std::string& name) {
    const int g = constituent_of(sys, name);
    EXPECT_GE(g, 0) << "no constituent " << name;
    return g < 0 ? 0.0 : r.amount[static_cast<std::size_t>(g)];
}

// Adds `mol` of a constituent to the stream "feed" at 298.15 K and 1 bar.
inline void feed(EquilibriumProblem& pr, const std::string& name, double mol) {
    const System& sys = *pr.system;
    const int g = constituent_of(sys, name);
    ASSERT_GE(g, 0) << "no constituent " << name;
    const int p = sys.constituents[static_cast<std::size_t>(g)].phase;
    pr.add("feed", p, g - sys.phases[static_cast<std::size_t>(p)].first, mol);
}

inline ::testing::AssertionResult accepted(const EquilibriumProblem& pr, const EquilibriumResult& r,
                                           const AcceptanceOptions& opt = {}) {
    const AcceptanceReport rep = check_equilibrium(pr, r, opt);
    if (rep.ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << rep.summary();
}

// A converged result the check accepts whose G is the brute-force minimum:
// not above it, and below it only by the brute force's resolution.
inline ::testing::AssertionResult at_brute_minimum(const EquilibriumProblem& pr, const EquilibriumResult& r,
                                                   double brute) {
    if (!r.succeeded()) return ::testing::AssertionFailure() << r.message;
    ::testing::AssertionResult a = accepted(pr, r);
    if (!a) return a;
    if (!(r.G <= brute + 1e-9 && r.G >= brute - 1e-3))
        return ::testing::AssertionFailure() << "G " << r.G << " J, brute-force minimum " << brute << " J";
    return ::testing::AssertionSuccess();
}

// Test names of the tests run on each data file ("c-h-o-n.dat" -> c_h_o_n_dat).
inline std::string file_test_name(const ::testing::TestParamInfo<const char*>& p) {
    std::string s = p.param;
    for (char& ch : s)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return s;
}

inline Conditions at(double T, double P = kPstd) {
    Conditions c;
    c.T = T;
    c.P = P;
    return c;
}

// Cold, and warm from 30 K below and above.
inline std::vector<EquilibriumResult> cold_and_warm(const EquilibriumProblem& pr, double T) {
    std::vector<EquilibriumResult> out;
    out.push_back(Solver().equilibrate(pr, at(T)));
    for (double dT : {-30.0, 30.0}) {
        Solver s;
        s.equilibrate(pr, at(T + dT));
        out.push_back(s.equilibrate(pr, at(T)));
    }
    return out;
}

}  // namespace eqcore::robust
