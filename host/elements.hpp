// The chemical elements the host knows: symbol, atomic number and standard
// atomic weight. Used to read component formulas and to compute molecular
// weights that the user does not give.
#pragma once

#include <optional>
#include <string_view>

namespace elvar {

struct Element {
    std::string_view symbol;  // "H", "He", ... in their usual case
    int z;                    // atomic number, 1..108
    double mass;              // standard atomic weight, g/mol (= kg/kmol)
};

// The element with this symbol, compared exactly ("Co" is cobalt, "CO" none).
std::optional<Element> element_by_symbol(std::string_view symbol);
// The element with this atomic number (1..108).
std::optional<Element> element_by_z(int z);

}  // namespace elvar
