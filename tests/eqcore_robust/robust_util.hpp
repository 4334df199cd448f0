// Helpers of the robustness tests: the example systems, feeds by name, and
// the acceptance check as a gtest assertion.
#pragma once

#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "check/acceptance.hpp"
#include "data/read_dat.hpp"
#include "solver/solver.hpp"

namespace eqcore::robust {

inline std::string example(const std::string& file) { return std::string(EQLINK_EXAMPLES_DIR) + "/" + file; }
inline std::string test_data(const std::string& file) { return std::string(EQCORE_ROBUST_TEST_DIR) + "/data/" + file; }

inline int phase_of(const System& sys, const std::string& name) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].name == name) return p;
    return -1;
}

// Global index of constituent "PHASE/NAME", or a stoichiometric phase by its
// name, or a gas constituent by its bare name; -1 if none.
inline int constituent_of(const System& sys, const std::string& name) {
    const auto slash = name.find('/');
    const std::string phase = slash == std::string::npos ? std::string{} : name.substr(0, slash);
    const std::string con = slash == std::string::npos ? name : name.substr(slash + 1);
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        if (!phase.empty() ? ph.name != phase : !(ph.is_gas() || (!ph.is_mixture() && ph.name == con))) continue;
        for (int k = 0; k < ph.count; ++k)
            if (sys.constituent(p, k).name == con) return ph.first + k;
    }
    return -1;
}

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

}  // namespace eqcore::robust
