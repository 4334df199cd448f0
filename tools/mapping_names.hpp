// The host component names ("mapping names") that reach each species of a
// data file through the plug-in's component mapping: "CO2:G1" for a gas
// species, "AL2O3:S1" or "FEO:L1" for a stoichiometric phase, "CU:LIQU" for
// a member of the solution phase whose code is LIQU. Each name is built from
// the species name and then checked with the mapping's own name rules, so
// that a name listed here maps to that species and to no other.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/system.hpp"

namespace eqlink_tool {

// The code and phase kind the solution dictionary gives a solution phase.
struct SolutionCode {
    std::string code;  // 4 characters
    int kind = 2;      // 1 vapour, 2 liquid, 3 solid
};
using CodeLookup = std::function<SolutionCode(const std::string& phase_name)>;
// Without a dictionary entry: the first four characters of the phase name,
// liquid, as the mapping does.
SolutionCode default_code(const std::string& phase_name);

struct MappingName {
    int phase = 0;        // from 0
    int constituent = 0;  // within the phase, from 0
    std::string name;     // empty when no name built from the species reaches it
    int kind = 0;         // phase kind of the map record: 1 vapour, 2 liquid, 3 solid, 0 unknown
    double factor = 1.0;  // formula units of the species in one of the component ("(AlO1.5):2")
};

// One entry per species of every phase that takes part in calculations, in
// phase order.
std::vector<MappingName> mapping_names(const eqcore::System& sys, const CodeLookup& code_of);

// The names nearest to `name` (at most `count`, nearest first, compared
// without regard to case).
std::vector<std::string> nearest_names(const std::vector<MappingName>& names,
                                       const std::string& name, std::size_t count);

}  // namespace eqlink_tool
