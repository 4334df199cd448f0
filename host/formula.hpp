// Chemical formulas of host components: "CH4", "AL2O3", "Fe0.947O",
// "Ca(OH)2". A formula with any lower-case letter is read case-sensitively
// ("Co" cobalt, "CO" carbon and oxygen). An all-upper-case formula, as
// simulators usually write them, reads a letter pair as one two-letter
// symbol when one of its letters is not an element by itself ("AL", "FE",
// "CL") or when it is one of the metals Si, Cu, Ni, Pb, Sn, Sb, Nb, Bi, In,
// Pu, Yb; any other pair of one-letter elements is two atoms ("CO2", "NO",
// "HF", "CS2"). Write the formula in mixed case for anything else.
#pragma once

#include <string_view>
#include <vector>

namespace elvar {

inline constexpr int kMaxFormulaElements = 12;

struct Atoms {
    int z;         // atomic number
    double count;  // atoms of this element in one formula unit
};

struct Formula {
    std::vector<Atoms> atoms;  // distinct elements in order of first appearance
    double molecular_weight() const;  // kg/kmol, from the standard atomic weights
};

// Reads a formula. Throws SetupError naming the formula and the character
// position of the fault (unknown symbol, bad count, unbalanced parenthesis,
// more than twelve elements, empty formula).
Formula parse_formula(std::string_view text);

}  // namespace elvar
