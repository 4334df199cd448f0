// The name rules of the component mapping, for the cases the example and
// test data files do not reach.
#include "names.hpp"

#include <gtest/gtest.h>

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

TEST(GasNames, GasNumbersMustAgree) {
    EXPECT_FALSE(gas_maps("CO2:G1", "CO2(g2)"));
    EXPECT_FALSE(gas_maps("CO2:G2", "CO2(g)"));
    EXPECT_FALSE(gas_maps("CO2:G3", "CO2(g2)"));
    EXPECT_FALSE(gas_maps("CO:G1", "Co"));
    EXPECT_FALSE(gas_maps("CO$:G1", "CO"));
    EXPECT_FALSE(gas_maps("H2O:G1", "H2O2_vapour"));
    EXPECT_TRUE(gas_maps("NACL:G1", "NaCl"));  // only the listed names keep their case
}

TEST(GasNames, OnlyTheLastColonWithinColumn27Counts) {
    EXPECT_EQ(n::gas_host_name("A:B:G1").base, "A:B");
    EXPECT_FALSE(n::gas_host_name(std::string(27, 'X') + ":G1").gas);
    EXPECT_TRUE(n::gas_host_name(std::string(26, 'X') + ":G1").gas);
}

TEST(SolutionNames, MembershipWithoutColonTakesTheLastOccurrence) {
    std::size_t p = 0;
    EXPECT_TRUE(n::solution_member("SIO2SLAG", "SLAG", p));
    EXPECT_EQ(p, 4u);
    EXPECT_TRUE(n::solution_member("AG:LIQ", "LIQ ", p));
    EXPECT_EQ(p, 2u);
    EXPECT_FALSE(n::solution_member("SIO2", "SLAG", p));
}

TEST(SolutionNames, FactorsAndParentheses) {
    EXPECT_DOUBLE_EQ(n::solution_constituent("(FeO1.5):2    ").factor, 2.0);
    EXPECT_DOUBLE_EQ(n::solution_constituent("(SiO2):0.5").factor, 0.5);
    EXPECT_FALSE(n::solution_constituent("(AlO1.5):0.0").factor_ok);
    EXPECT_FALSE(n::solution_constituent("(AlO1.5):").factor_ok);
    // A parenthesis inside the formula stays; a trailing state goes.
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("Fe(II)O").name, "FE(II)O"));
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("Cu(liq)").name, "CU"));
}

TEST(PureNames, StatesMustAgree) {
    EXPECT_FALSE(pure_maps("FEO:S1", "FeO(liq)"));
    EXPECT_FALSE(pure_maps("FE:S1", "Fe(s2)"));
    EXPECT_TRUE(pure_maps("SIO2:S2", "SiO2_quartz(s2)"));
    EXPECT_TRUE(pure_maps("AL2O3:S1", "Al2O3'(s)"));
    EXPECT_FALSE(pure_maps("AL2O3", "Al2O3(liq)"));
    EXPECT_EQ(n::pure_host_name("FE:X1").kind, 0);
}

TEST(PureNames, NamesWithoutStateCompareWhole) {
    EXPECT_TRUE(pure_maps("SIO2", "SiO2"));
    EXPECT_TRUE(pure_maps("SIO2:S1", "SiO2"));
    EXPECT_FALSE(pure_maps("SIC4", "SiO2"));  // equal first characters are not enough
    EXPECT_FALSE(pure_maps("SIO", "S"));
}

TEST(PureNames, LongHostNamesDoNotOverrun) {
    EXPECT_FALSE(pure_maps(std::string(31, 'A') + ":", "A(s)"));
    EXPECT_FALSE(pure_maps(std::string(30, 'B') + ":L1", "B(liq)"));
}

TEST(SolutionNames, EndMemberSeparatorsStayInTheBaseName) {
    // Only the host name's last colon separates the solution code; colons
    // before it belong to the end member's name as the data file writes it.
    std::size_t p = 0;
    EXPECT_TRUE(n::solution_member("ZR:H:ZRH", "ZRH ", p));
    EXPECT_EQ(p, 4u);
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("ZR:H").name, "ZR:H"));
    EXPECT_TRUE(n::solution_constituent("ZR:H").factor_ok);
    EXPECT_DOUBLE_EQ(n::solution_constituent("Fe:Va").factor, 1.0);
    EXPECT_TRUE(n::padded_equal(n::solution_constituent("MG:AL:AL").name, "MG:AL:AL"));
    EXPECT_TRUE(n::solution_member("MG:AL:AL:A12_", "A12_", p));
    EXPECT_EQ(p, 8u);
    // Without a code after the last colon the name is not the phase's.
    EXPECT_FALSE(n::solution_member("ZR:H", "ZRH ", p));
}
