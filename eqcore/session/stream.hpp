// A stream: material entering a calculation at its own temperature and
// pressure, as amounts of constituents.
#pragma once

#include <string>
#include <vector>

namespace eqcore {

enum class StreamProperty { H, S, G, V, Cp };

struct Stream {
    std::string name;           // without trailing blanks
    double T = 0.0;             // K
    double P = 0.0;             // Pa
    std::vector<double> n;      // mol of every constituent of the system (system order)
    std::vector<int> phases;    // phases that received an amount, in order of first use
};

}  // namespace eqcore
