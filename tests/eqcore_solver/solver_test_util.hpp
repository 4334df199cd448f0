// Helpers of the solver tests: loading examples, building feeds, and an
// acceptance check of any result that does not depend on how the solver
// reached it.
#pragma once

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "data/read_dat.hpp"
#include "solver/solver.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace eqcore::testing {

inline std::string example(const std::string& file) { return std::string(EQLINK_EXAMPLES_DIR) + "/" + file; }
inline std::string reference(const std::string& file) { return std::string(EQLINK_TEST_REFERENCE_DIR) + "/" + file; }

inline int phase_of(const System& sys, const std::string& name) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].name == name) return p;
    return -1;
}

// Global index of a constituent: "PHASE/NAME", or a gas constituent's or a
// stoichiometric phase's bare name.
inline int constituent_of(const System& sys, const std::string& name) {
    const auto slash = name.find('/');
    if (slash != std::string::npos) {
        const int p = phase_of(sys, name.substr(0, slash));
        if (p < 0) return -1;
        for (int k = 0; k < sys.phases[static_cast<std::size_t>(p)].count; ++k)
            if (sys.constituent(p, k).name == name.substr(slash + 1)) return sys.phases[static_cast<std::size_t>(p)].first + k;
        return -1;
    }
    if (sys.phase_count() > 0 && sys.phases[0].is_gas())
        for (int k = 0; k < sys.phases[0].count; ++k)
            if (sys.constituent(0, k).name == name) return k;
    const int p = phase_of(sys, name);
    if (p >= 0 && !sys.phases[static_cast<std::size_t>(p)].is_mixture()) return sys.phases[static_cast<std::size_t>(p)].first;
    return -1;
}

// Adds `mol` of a constituent (as constituent_of names it) to stream "feed".
inline void feed(EquilibriumProblem& pr, const std::string& name, double mol, double T = kT298, double P = kPstd) {
    const System& sys = *pr.system;
    const int g = constituent_of(sys, name);
    ASSERT_GE(g, 0) << "no constituent " << name;
    const int p = sys.constituents[static_cast<std::size_t>(g)].phase;
    pr.add("feed", p, g - sys.phases[static_cast<std::size_t>(p)].first, mol, T, P);
}

inline ::testing::AssertionResult near_rel(double a, double b, double rel, double abs_floor = 0.0) {
    const double tol = std::max(rel * std::fabs(b), abs_floor);
    if (std::fabs(a - b) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " differs from " << b << " by " << (a - b) << " (tolerance " << tol
                                         << ")";
}

// Acceptance of an equilibrium, independent of the solver: element balances
// to 1e-12 relative; every constituent of a present phase at
// mu_i = sum_j a_ij pi_j (1e-8 RT; traces at the representable floor aside);
// no absent stoichiometric phase below its potential; sum n mu = G; phase
// properties equal to the model's.
inline void expect_equilibrium(const System& sys, const EquilibriumResult& r) {
    ASSERT_TRUE(r.succeeded()) << r.message;
    const double RT = kR * r.T;
    for (std::size_t j = 0; j < sys.elements.size(); ++j) {
        double s = 0.0;
        for (std::size_t g = 0; g < sys.constituents.size(); ++g) s += sys.constituents[g].stoich[j] * r.amount[g];
        EXPECT_TRUE(near_rel(s, r.element_amount[j], 1e-12, 1e-300)) << "balance of " << sys.elements[j].symbol;
    }
    double g_sum = 0.0;
    for (int p = 0; p < sys.phase_count(); ++p) {
        const Phase& ph = sys.phases[static_cast<std::size_t>(p)];
        const PhaseResult& pr = r.phases[static_cast<std::size_t>(p)];
        for (int k = 0; k < ph.count; ++k) {
            const std::size_t g = static_cast<std::size_t>(ph.first + k);
            double api = 0.0;
            for (std::size_t j = 0; j < sys.elements.size(); ++j) api += sys.constituents[g].stoich[j] * r.element_potential[j];
            if (pr.present) {
                EXPECT_LT(std::fabs(r.mu[g] - api), 1e-8 * RT) << sys.constituents[g].name << " in " << ph.name;
                EXPECT_GE(r.amount[g], 0.0);
                g_sum += r.amount[g] * r.mu[g];
            } else if (pr.considered && !ph.is_mixture()) {
                EXPECT_GE(gibbs0(sys.constituents[g], r.T) - api, -1e-8 * RT) << "absent " << ph.name << " would form";
            }
        }
        if (pr.considered && !pr.present) {
            EXPECT_LE(pr.driving_force, 1e-8 * RT) << "absent " << ph.name;
        }
    }
    EXPECT_TRUE(near_rel(g_sum, r.G, 1e-10, 1e-9)) << "sum n mu = G";
}

}  // namespace eqcore::testing
