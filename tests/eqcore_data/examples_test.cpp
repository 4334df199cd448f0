// The example data files read back to their published structure and values:
// worked examples A (N-O gas) and B (Ag-Cu with an RKMP liquid), and the two
// files of converted polynomial data.
#include <array>
#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/standard.hpp"

namespace eqcore {
namespace {

using testing::constituent;
using testing::load;
using testing::near_rel;

TEST(ExampleA, Structure) {
    const System sys = load("n-o-example.dat");
    EXPECT_EQ(sys.title, "Example A: N-O ideal gas (made-up data, J/mol, K, 1 bar)");
    ASSERT_EQ(sys.element_count(), 2);
    EXPECT_EQ(sys.elements[0].symbol, "N");
    EXPECT_EQ(sys.elements[1].symbol, "O");
    EXPECT_DOUBLE_EQ(sys.elements[0].mass, 14.0067);
    EXPECT_DOUBLE_EQ(sys.elements[1].mass, 15.9994);
    ASSERT_EQ(sys.phase_count(), 1);
    const Phase& gas = sys.phases[0];
    EXPECT_EQ(gas.name, "GAS");
    EXPECT_EQ(gas.model_code, "IDMX");
    EXPECT_EQ(gas.model, Model::ideal_gas);
    ASSERT_EQ(gas.count, 4);
    const std::array<const char*, 4> names = {"N2", "NO", "O", "O2"};
    const std::array<int, 4> options = {1, 4, 1, 1};
    const std::array<std::size_t, 4> ranges = {1, 1, 2, 1};
    const std::array<std::array<double, 2>, 4> stoich = {{{2, 0}, {1, 1}, {0, 1}, {0, 2}}};
    for (int i = 0; i < 4; ++i) {
        const Constituent& c = sys.constituent(0, i);
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(c.name, names[k]);
        EXPECT_EQ(c.data_option, options[k]);
        EXPECT_EQ(c.ranges.size(), ranges[k]);
        EXPECT_EQ(c.stoich, (std::vector<double>{stoich[k][0], stoich[k][1]}));
    }
    const Constituent& no = sys.constituent(0, 1);
    ASSERT_EQ(no.ranges[0].extra.size(), 1U);
    EXPECT_EQ(no.ranges[0].extra[0].c, -5.0e5);
    EXPECT_EQ(no.ranges[0].extra[0].e, -2.0);
    EXPECT_EQ(sys.comment,
              " ######################################################################\n"
              " Comment block: free text, ignored by readers.\n"
              " Example A written for the EQCORE reader tests; all numbers invented.\n"
              " ######################################################################\n");
    EXPECT_TRUE(sys.warnings.empty());
}

struct GRow {
    double T;
    std::vector<double> g;
};

void expect_g_table(const System& sys, const std::vector<std::pair<std::string, std::string>>& columns,
                    const std::vector<GRow>& rows) {
    for (const GRow& row : rows) {
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const Constituent& c = constituent(sys, columns[k].first, columns[k].second);
            // The tables print 3 decimals: values near zero hold to that.
            EXPECT_TRUE(near_rel(gibbs0(c, row.T), row.g[k], 1e-6, 5e-4)) << c.name << " at " << row.T << " K";
            EXPECT_TRUE(near_rel(standard(c, row.T).g, row.g[k], 1e-6, 5e-4)) << c.name << " at " << row.T << " K";
        }
    }
}

TEST(ExampleA, StandardGibbsEnergies) {
    const System sys = load("n-o-example.dat");
    expect_g_table(sys, {{"GAS", "N2"}, {"GAS", "NO"}, {"GAS", "O"}, {"GAS", "O2"}},
                   {{298.15, {-57128.521, 27451.906, 201159.961, -61165.473}},
                    {1000, {-206927.463, -136225.483, 77285.537, -220945.738}},
                    {1500, {-324779.870, -264277.761, -18355.821, -346438.052}},
                    {2000, {-448426.326, -398284.533, -117559.258, -478051.624}},
                    {2800, {-655411.125, -622095.876, -281575.137, -698337.092}}});
}

struct HSCp {
    const char* phase;
    const char* name;
    double h, s, cp;
};

void expect_hscp_1000(const System& sys, const std::vector<HSCp>& rows) {
    for (const HSCp& r : rows) {
        const StandardProps p = standard(constituent(sys, r.phase, r.name), 1000.0);
        EXPECT_TRUE(near_rel(p.h, r.h, 1e-6)) << r.name;
        EXPECT_TRUE(near_rel(p.s, r.s, 1e-6)) << r.name;
        EXPECT_TRUE(near_rel(p.cp, r.cp, 1e-6)) << r.name;
        EXPECT_FALSE(p.extrapolated);
    }
}

TEST(ExampleA, EnthalpyEntropyHeatCapacityAt1000K) {
    expect_hscp_1000(load("n-o-example.dat"), {{"GAS", "N2", 21658.608, 228.5861, 32.3000},
                                                {"GAS", "NO", 112561.776, 248.7873, 33.2040},
                                                {"GAS", "O", 264023.037, 186.7375, 20.9950},
                                                {"GAS", "O2", 22538.518, 243.4843, 33.9730}});
}

TEST(ExampleA, RangeBoundaryBelongsToTheLowerRange) {
    const System sys = load("n-o-example.dat");
    const Constituent& o = constituent(sys, "GAS", "O");
    EXPECT_EQ(&range_at(o, 1500.0), &o.ranges[0]);
    EXPECT_EQ(&range_at(o, 1500.0001), &o.ranges[1]);
    EXPECT_EQ(&range_at(o, 100.0), &o.ranges[0]);
    // Both ranges give the same G at the boundary by construction.
    EXPECT_TRUE(near_rel(range_props(o.ranges[1], 1500.0).g, -18355.821, 1e-6));
    // Above the last range the last is used and flagged.
    EXPECT_EQ(&range_at(o, 3500.0), &o.ranges[1]);
    EXPECT_TRUE(standard(o, 3500.0).extrapolated);
    EXPECT_FALSE(standard(o, 3000.0).extrapolated);
}

TEST(ExampleB, Structure) {
    const System sys = load("ag-cu-example.dat");
    ASSERT_EQ(sys.phase_count(), 4);
    EXPECT_EQ(sys.elements[0].symbol, "Ag");
    EXPECT_DOUBLE_EQ(sys.elements[0].mass, 107.8682);
    EXPECT_DOUBLE_EQ(sys.elements[1].mass, 63.546);
    const std::array<const char*, 4> names = {"GAS", "LIQUID", "Ag(s)", "Cu(s)"};
    const std::array<Model, 4> models = {Model::ideal_gas, Model::rkmp, Model::pure, Model::pure};
    const std::array<const char*, 4> codes = {"IDMX", "RKMP", "PURE", "PURE"};
    for (std::size_t p = 0; p < 4; ++p) {
        EXPECT_EQ(sys.phases[p].name, names[p]);
        EXPECT_EQ(sys.phases[p].model, models[p]);
        EXPECT_EQ(sys.phases[p].model_code, codes[p]);
        EXPECT_FALSE(sys.phases[p].dormant);
    }
    EXPECT_EQ(sys.constituent(1, 0).name, "Ag(liq)");
    EXPECT_EQ(sys.constituent(1, 1).name, "Cu(liq)");
    const Phase& liq = sys.phases[1];
    ASSERT_EQ(liq.excess.size(), 1U);
    EXPECT_EQ(liq.excess[0].index, (std::vector<int>{0, 1}));
    ASSERT_EQ(liq.excess[0].sets.size(), 1U);
    EXPECT_EQ(liq.excess[0].sets[0], (std::array<double, 6>{19000.0, -3.0, 0, 0, 0, 0}));
    const Constituent& ag = sys.constituent(2, 0);
    ASSERT_EQ(ag.ranges.size(), 2U);
    EXPECT_EQ(ag.ranges[0].tmax, 1235.0);
    EXPECT_EQ(ag.ranges[1].tmax, 3000.0);
    const Constituent& cu_liq = sys.constituent(1, 1);
    ASSERT_EQ(cu_liq.ranges[0].extra.size(), 1U);
    EXPECT_EQ(cu_liq.ranges[0].extra[0].c, -5.0e-21);
    EXPECT_EQ(cu_liq.ranges[0].extra[0].e, 7.0);
}

TEST(ExampleB, StandardGibbsEnergies) {
    expect_g_table(load("ag-cu-example.dat"),
                   {{"GAS", "Ag"}, {"GAS", "Cu"}, {"LIQUID", "Ag(liq)"}, {"LIQUID", "Cu(liq)"},
                    {"Ag(s)", "Ag(s)"}, {"Cu(s)", "Cu(s)"}},
                   {{298.15, {233323.031, 287987.840, -4941.463, -2346.989, -12686.283, -9883.672}},
                    {1000, {101344.298, 160634.298, -53730.122, -42895.323, -55898.722, -46204.849}},
                    {1235, {54246.743, 115085.393, -74331.828, -61074.847, -74331.828, -62224.052}},
                    {1400, {20609.479, 82535.479, -89631.427, -74755.625, -88148.115, -74298.316}},
                    {1500, {23.124, 62608.124, -99197.577, -83376.874, -96839.359, -81917.248}}});
}

TEST(ExampleB, EnthalpyEntropyHeatCapacityAt1000K) {
    expect_hscp_1000(load("ag-cu-example.dat"), {{"GAS", "Ag", 299488.654, 198.1444, 20.7860},
                                                 {"GAS", "Cu", 352188.654, 191.5544, 20.7860},
                                                 {"LIQUID", "Ag(liq)", 30604.730, 84.3349, 30.5000},
                                                 {"LIQUID", "Cu(liq)", 30844.154, 73.7395, 33.0100},
                                                 {"Ag(s)", "Ag(s)", 19195.287, 75.0940, 29.9910},
                                                 {"Cu(s)", "Cu(s)", 18750.759, 64.9556, 28.9200}});
}

TEST(ConvertedPolynomialFiles, ReadWithTheirPhases) {
    const System cho = load("c-h-o-n.dat");
    ASSERT_EQ(cho.element_count(), 5);
    EXPECT_EQ(cho.elements[4].symbol, "Ar");
    ASSERT_EQ(cho.phase_count(), 3);
    EXPECT_EQ(cho.phases[0].count, 19);
    EXPECT_EQ(cho.phases[1].name, "C_graphite(s)");
    EXPECT_EQ(cho.phases[2].name, "H2O_liquid(liq)");
    EXPECT_TRUE(cho.warnings.empty());
    // A range with the ln T term (exponent 99) and the T^4, T^5 terms.
    const GibbsRange& r = cho.constituent(0, 0).ranges[1];
    ASSERT_EQ(r.extra.size(), 3U);
    EXPECT_EQ(r.extra[2].e, kLnTExponent);

    const System ho = load("h-o.dat");
    ASSERT_EQ(ho.phase_count(), 2);
    EXPECT_EQ(ho.phases[0].count, 9);
    EXPECT_EQ(ho.phases[1].model, Model::pure);
}

// Standard enthalpy of formation of water vapour and graphite's S° at
// 298.15 K, from the published tables these files were converted from.
TEST(ConvertedPolynomialFiles, MatchPublishedValuesAt298K) {
    const System sys = load("c-h-o-n.dat");
    EXPECT_NEAR(standard(constituent(sys, "GAS", "H2O"), 298.15).h, -241826.0, 5.0);
    EXPECT_NEAR(standard(constituent(sys, "GAS", "N2"), 298.15).h, 0.0, 1.0);
    EXPECT_NEAR(standard(constituent(sys, "C_graphite(s)", "C_graphite(s)"), 298.15).s, 5.74, 0.01);
}

}  // namespace
}  // namespace eqcore
