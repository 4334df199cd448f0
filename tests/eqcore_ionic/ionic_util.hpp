// Helpers of the ionic-liquid tests.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "data/read_dat.hpp"
#include "solver/solver.hpp"

namespace eqcore::testing {

inline std::string ionic_file(const std::string& name) { return std::string(EQCORE_IONIC_TEST_DIR) + "/" + name; }

inline int phase_named(const System& sys, const std::string& name) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].name == name) return p;
    ADD_FAILURE() << "no phase " << name;
    return 0;
}

// Equilibrium of element amounts b at T (K), 1 bar, every phase entered.
inline EquilibriumResult equilibrium(const System& sys, const std::vector<double>& b, double T) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    pr.element_amount = b;
    Conditions c;
    c.T = T;
    Solver s;
    return s.equilibrate(pr, c);
}

}  // namespace eqcore::testing
