// What the fuzz targets do with a system a reader accepted: evaluate every
// phase (a reader must never accept what a model cannot evaluate) and check
// that it survives the binary format unchanged.
#pragma once

#include <cstdlib>
#include <sstream>
#include <vector>

#include "data/cst.hpp"
#include "thermo/phase_props.hpp"

namespace eqcore::fuzz {

inline void exercise(const System& sys) {
    for (int p = 0; p < sys.phase_count(); ++p) {
        const auto n = static_cast<std::size_t>(sys.phases[static_cast<std::size_t>(p)].count);
        std::vector<double> amounts(n, 1.0), mu(n), dmu(n * n);
        for (double T : {298.15, 1500.0}) phase_props(sys, p, T, 1e5, amounts, mu, dmu);
    }
    std::ostringstream out;
    write_cst(sys, CstHeader{}, out);
    if (!(read_cst_bytes(out.str(), "round trip").system == sys)) std::abort();
}

}  // namespace eqcore::fuzz
