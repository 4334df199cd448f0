// Component formulas and the molecular weights computed from them, checked
// against hand-computed sums of the 2007 standard atomic weights.
#include <gtest/gtest.h>

#include <string>

#include "formula.hpp"
#include "setup_error.hpp"

namespace {

using elvar::parse_formula;

std::string atoms_of(const std::string& formula) {
    std::string s;
    for (const auto& a : parse_formula(formula).atoms)
        s += std::to_string(a.z) + "x" + std::to_string(a.count).substr(0, 5) + " ";
    return s;
}

TEST(Formula, MolecularWeights) {
    EXPECT_NEAR(parse_formula("CH4").molecular_weight(), 12.0107 + 4 * 1.00794, 1e-12);
    EXPECT_NEAR(parse_formula("AL2O3").molecular_weight(), 101.9612772, 1e-9);
    EXPECT_NEAR(parse_formula("Al2O3").molecular_weight(), 101.9612772, 1e-9);
    EXPECT_NEAR(parse_formula("Fe0.947O").molecular_weight(), 68.884615, 1e-9);
    EXPECT_NEAR(parse_formula("Ca(OH)2").molecular_weight(), 74.09268, 1e-9);
    EXPECT_NEAR(parse_formula("CH3COOH").molecular_weight(), 60.05196, 1e-9);
}

TEST(Formula, UpperCaseLetterPairs) {
    // Pairs where one letter alone is no element read as one symbol.
    EXPECT_EQ(atoms_of("AL2O3"), "13x2.000 8x3.000 ");
    EXPECT_EQ(atoms_of("FEO"), "26x1.000 8x1.000 ");
    EXPECT_EQ(atoms_of("CAO"), "20x1.000 8x1.000 ");
    // Pairs of one-letter elements are two atoms ...
    EXPECT_EQ(atoms_of("CO2"), "6x1.000 8x2.000 ");
    EXPECT_EQ(atoms_of("HNO3"), "1x1.000 7x1.000 8x3.000 ");
    EXPECT_EQ(atoms_of("CS2"), "6x1.000 16x2.000 ");
    // ... except the common metals.
    EXPECT_EQ(atoms_of("SIO2"), "14x1.000 8x2.000 ");
    EXPECT_EQ(atoms_of("CUO"), "29x1.000 8x1.000 ");
    // Mixed case is read as written.
    EXPECT_EQ(atoms_of("CoO"), "27x1.000 8x1.000 ");
}

TEST(Formula, BadFormulasNameTheFaultAndItsPosition) {
    const struct {
        const char* formula;
        const char* expected;
    } cases[] = {
        {"", "empty"},
        {"Xx2", "unknown element symbol \"Xx\" at character 1"},
        {"H2Q", "unknown element symbol \"Q\" at character 3"},
        {"C(H4", "unclosed \"(\" at character 2"},
        {"H2O)", "unmatched \")\" at character 4"},
        {"C0H4", "count \"0\" is not positive at character 2"},
        {"C1.2.3", "bad count \"1.2.3\" at character 2"},
        {"C H4", "expected an element symbol at character 2"},
        {"()2", "empty parentheses at character 1"},
        {"HHeLiBeBCNOFNeNaMgAl", "more than twelve elements at character 19"},
    };
    for (const auto& c : cases) {
        try {
            parse_formula(c.formula);
            ADD_FAILURE() << "accepted \"" << c.formula << "\"";
        } catch (const elvar::SetupError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.formula << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + c.formula + "\""), std::string::npos);
        }
    }
    // Twelve distinct elements are the most a component holds.
    EXPECT_EQ(parse_formula("HHeLiBeBCNOFNeNaMg").atoms.size(), 12u);
}

}  // namespace
