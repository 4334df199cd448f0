// Helpers of the quasichemical-liquid tests.
#pragma once

#include <cmath>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "data/read_dat.hpp"

namespace eqcore::testing {

inline std::string qc_file(const std::string& name) { return std::string(EQCORE_QC_DATA_DIR) + "/" + name; }

inline System qc_load(const std::string& name) { return read_dat(qc_file(name)); }

inline System qc_parse(const std::string& text) {
    std::istringstream in(text);
    return read_dat(in, "qc.dat");
}

inline int qc_phase(const System& sys, const std::string& name) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].name == name) return p;
    ADD_FAILURE() << "no phase " << name;
    return 0;
}

}  // namespace eqcore::testing
