// Helpers shared by the data and model tests.
#pragma once

#include <cmath>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "data/read_dat.hpp"

namespace eqcore::testing {

inline std::string example(const std::string& file) { return std::string(EQLINK_EXAMPLES_DIR) + "/" + file; }

inline System load(const std::string& file) { return read_dat(example(file)); }

inline std::string test_data(const std::string& file) { return std::string(EQCORE_TEST_DATA_DIR) + "/" + file; }

inline System parse(const std::string& text, const std::string& name = "test.dat") {
    std::istringstream in(text);
    return read_dat(in, name);
}

// |a - b| <= rel * |b| (with an absolute floor for values near zero).
inline ::testing::AssertionResult near_rel(double a, double b, double rel, double abs_floor = 1e-12) {
    const double tol = std::max(rel * std::fabs(b), abs_floor);
    if (std::fabs(a - b) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " differs from " << b << " by " << (a - b) << " (tolerance " << tol
                                         << ")";
}

inline int phase_index(const System& sys, const std::string& name) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].name == name) return p;
    ADD_FAILURE() << "no phase " << name;
    return 0;
}

inline const Constituent& constituent(const System& sys, const std::string& phase, const std::string& name) {
    const int p = phase_index(sys, phase);
    for (int i = 0; i < sys.phases[static_cast<std::size_t>(p)].count; ++i)
        if (sys.constituent(p, i).name == name) return sys.constituent(p, i);
    ADD_FAILURE() << "no constituent " << name << " in " << phase;
    return sys.constituents.front();
}

}  // namespace eqcore::testing
