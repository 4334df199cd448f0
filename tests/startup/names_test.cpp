// The name rules of the component mapping, one rule at a time.
#include <gtest/gtest.h>

#include "names.hpp"

namespace n = eqlink::names;

namespace {

bool gas_maps(std::string_view host, std::string_view constituent) {
    const n::GasHostName h = n::gas_host_name(host);
    return h.gas && h.known && n::gas_match(n::gas_constituent(constituent, h.dollar), h);
}

bool pure_maps(std::string_view host, std::string_view constituent) {
    return n::pure_match(n::pure_host_name(host), n::pure_constituent(constituent));
}

}  // namespace

TEST(GasNames, StateSuffixesSelectTheGasNumber) {
    EXPECT_TRUE(gas_maps("CO2:G1", "CO2"));
    EXPECT_TRUE(gas_maps("CO2:G1", "CO2(g)"));
    EXPECT_FALSE(gas_maps("CO2:G1", "CO2(g2)"));
    EXPECT_TRUE(gas_maps("CO2:G2", "CO2(g2)"));
    EXPECT_FALSE(gas_maps("CO2:G3", "CO2(g2)"));
    EXPECT_FALSE(gas_maps("CO2:G2", "CO2(g)"));
    EXPECT_FALSE(gas_maps("CO2:G1", "CO"));
}

TEST(GasNames, OnlyAGAfterTheLastColonWithinColumn27MakesAGas) {
    EXPECT_FALSE(n::gas_host_name("AL2O3:S1").gas);
    EXPECT_FALSE(n::gas_host_name("H2O").gas);
    EXPECT_TRUE(n::gas_host_name("A:B:G1").gas);
    EXPECT_EQ(n::gas_host_name("A:B:G1").base, "A:B");
    // A colon in column 28 is beyond the columns examined.
    EXPECT_FALSE(n::gas_host_name(std::string(27, 'X') + ":G1").gas);
    EXPECT_TRUE(n::gas_host_name(std::string(26, 'X') + ":G1").gas);
}

TEST(GasNames, DollarNamesTellCobaltFromCarbonMonoxide) {
    EXPECT_TRUE(gas_maps("CO$:G1", "Co"));
    EXPECT_FALSE(gas_maps("CO$:G1", "CO"));
    EXPECT_TRUE(gas_maps("CO:G1", "CO"));
    EXPECT_FALSE(gas_maps("CO:G1", "Co"));
    EXPECT_TRUE(gas_maps("HF$:G1", "Hf"));
    EXPECT_TRUE(gas_maps("HF:G1", "HF"));
    const n::GasHostName unknown = n::gas_host_name("XY$:G1");
    EXPECT_TRUE(unknown.gas);
    EXPECT_TRUE(unknown.dollar);
    EXPECT_FALSE(unknown.known);
    // Only the known names keep their case; others are upper-cased.
    EXPECT_TRUE(gas_maps("NACL:G1", "NaCl"));
}

TEST(GasNames, UnderscoreCutsTheConstituentName) {
    EXPECT_TRUE(gas_maps("H2O:G1", "H2O_vapour"));
    EXPECT_EQ(n::gas_constituent("H2O_vapour", false).name.substr(0, 4), "H2O ");
    EXPECT_FALSE(gas_maps("H2O:G1", "H2O2_vapour"));
}

TEST(SolutionNames, MembershipByCodeAfterTheColonOrAnywhere) {
    std::size_t p = 0;
    EXPECT_TRUE(n::solution_member("FEO:SLAG", "SLAG", p));
    EXPECT_EQ(p, 3u);
    EXPECT_FALSE(n::solution_member("FEO:LIQU", "SLAG", p));
    EXPECT_TRUE(n::solution_member("AG:LIQ", "LIQ ", p));
    EXPECT_EQ(p, 2u);
    // Without a colon the last occurrence of the code ends the base name.
    EXPECT_TRUE(n::solution_member("SIO2SLAG", "SLAG", p));
    EXPECT_EQ(p, 4u);
    EXPECT_FALSE(n::solution_member("SIO2", "SLAG", p));
}

TEST(SolutionNames, ConstituentRewriting) {
    const n::SolutionConstituent alo = n::solution_constituent("(AlO1.5):2.000");
    EXPECT_EQ(alo.name.substr(0, 7), "ALO1.5 ");
    EXPECT_TRUE(alo.factor_ok);
    EXPECT_DOUBLE_EQ(alo.factor, 2.0);
    EXPECT_DOUBLE_EQ(n::solution_constituent("(FeO1.5):2    ").factor, 2.0);
    EXPECT_DOUBLE_EQ(n::solution_constituent("(SiO2):0.5").factor, 0.5);
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("FeO").name, "FEO"));
    EXPECT_DOUBLE_EQ(n::solution_constituent("FeO").factor, 1.0);
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("FeO_slag").name, "FEO"));
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("Cu(liq)").name, "CU"));
    // A parenthesis inside the formula stays.
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("Fe(II)O").name, "FE(II)O"));
}

TEST(SolutionNames, AFactorThatIsNotAPositiveNumberIsFlagged) {
    EXPECT_FALSE(n::solution_constituent("(AlO1.5):abc").factor_ok);
    EXPECT_FALSE(n::solution_constituent("(AlO1.5):0.0").factor_ok);
    EXPECT_FALSE(n::solution_constituent("(AlO1.5):").factor_ok);
    EXPECT_EQ(n::solution_constituent("(AlO1.5):abc").factor, 1.0);
}

TEST(PureNames, StateSuffixesInBothForms) {
    EXPECT_TRUE(pure_maps("AL2O3:S1", "Al2O3_corundum(s)"));
    EXPECT_TRUE(pure_maps("FEO:L1", "FeO(liq)"));
    EXPECT_FALSE(pure_maps("FEO:S1", "FeO(liq)"));
    EXPECT_FALSE(pure_maps("FEO:L1", "FeO(s)"));
    EXPECT_TRUE(pure_maps("H2O:L1", "H2O_liquid(liq)"));
    EXPECT_TRUE(pure_maps("C:S1", "C_graphite(s)"));
    EXPECT_TRUE(pure_maps("AG:S1", "Ag(s)"));
    EXPECT_TRUE(pure_maps("FE:S2", "Fe(s2)"));
    EXPECT_FALSE(pure_maps("FE:S1", "Fe(s2)"));
    EXPECT_TRUE(pure_maps("SIO2:S2", "SiO2_quartz(s2)"));
    EXPECT_TRUE(pure_maps("AL2O3:S1", "Al2O3'(s)"));
}

TEST(PureNames, HostNameWithoutColonIsASolid) {
    EXPECT_TRUE(pure_maps("AL2O3", "Al2O3(s)"));
    EXPECT_FALSE(pure_maps("AL2O3", "Al2O3(liq)"));
    EXPECT_EQ(n::pure_host_name("AL2O3").kind, 3);
    EXPECT_EQ(n::pure_host_name("FEO:L1").kind, 2);
    EXPECT_EQ(n::pure_host_name("AL2O3:S1").kind, 3);
    EXPECT_EQ(n::pure_host_name("FE:X1").kind, 0);
}

TEST(PureNames, NamesWithoutStateCompareWhole) {
    EXPECT_TRUE(pure_maps("SIO2", "SiO2"));
    EXPECT_TRUE(pure_maps("SIO2:S1", "SiO2"));
    // Equal first characters are not enough.
    EXPECT_FALSE(pure_maps("SIC4", "SiO2"));
    EXPECT_FALSE(pure_maps("SIO", "S"));
    EXPECT_FALSE(pure_maps("SIO2:S1", "SiO2X"));
}

TEST(PureNames, LongHostNamesDoNotOverrun) {
    const std::string host = std::string(31, 'A') + ":";
    EXPECT_FALSE(pure_maps(host, "A(s)"));
    EXPECT_FALSE(pure_maps(std::string(30, 'B') + ":L1", "B(liq)"));
}

TEST(TextHelpers, PaddedEqualityAndPositions) {
    EXPECT_TRUE(n::padded_equal("AB", "AB   "));
    EXPECT_TRUE(n::padded_equal("", "    "));
    EXPECT_FALSE(n::padded_equal("AB", "ABC"));
    EXPECT_EQ(n::last_of("A:B:C", ':', 3), 2u);
    EXPECT_EQ(n::last_of("A:B:C", ':', 32), 4u);
    EXPECT_EQ(n::last_nonblank("AB  ", 24), 2u);
    EXPECT_EQ(n::last_nonblank("    ", 24), 0u);
}
