// Interpolation-override lines of a QKTO phase (its excess list ended by
// -n and n lines "i j k<K> i j<K> i k<K> j k 0"): in the binaries of each
// named ternary the third constituent joins neither side, whatever the
// groups say. Values written out by hand from the file's coefficients; the
// identities of the same phase are in identities_test.cpp.
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "test_util.hpp"
#include "thermo/models.hpp"

namespace eqcore {
namespace {

using testing::near_rel;

System overrides() { return read_dat(testing::test_data("qkto-overrides.dat")); }

Phase& liquid(System& sys) { return sys.phases[static_cast<std::size_t>(testing::phase_index(sys, "LIQ_OVR"))]; }

double excess_g(const System& sys, double T, const std::vector<double>& x) {
    return make_model(sys, testing::phase_index(sys, "LIQ_OVR"))->excess(T, x, {}).g;
}

TEST(QktoOverrides, AreReadAsTernariesOfThePhase) {
    System sys = overrides();
    EXPECT_EQ(liquid(sys).qkto_group, (std::vector<int>{1, 2, 2, 3}));
    EXPECT_EQ(liquid(sys).qkto_kohler, (std::vector<std::array<int, 3>>{{0, 1, 2}, {1, 2, 3}}));
    EXPECT_EQ(liquid(sys).excess.size(), 5U);
    // The binary form keeps them (its version carries them); older forms hold none.
    std::ostringstream out;
    write_cst(sys, CstHeader{}, out);
    EXPECT_TRUE(read_cst_bytes(out.str(), "overrides.cst").system == sys);
    const CstFile older = read_cst(std::string(EQLINK_FUZZ_CORPUS_DIR) + "/cst/qkto-liquid.cst");
    EXPECT_EQ(older.header.format_version, 4);
    for (const Phase& p : older.system.phases) EXPECT_TRUE(p.qkto_kohler.empty());
}

// Groups Fe 1, Ni 2, Cr 2, Co 3. Without overrides Cr joins Ni in the
// Fe-Ni and Ni-Co binaries (Toop-like sets). The line for Fe-Ni-Cr takes Cr
// out of Fe-Ni, the line for Ni-Cr-Co out of Ni-Co: with both every binary
// is the Kohler term, as if all were one group.
TEST(QktoOverrides, MakeTheNamedTernariesKohlerByHand) {
    System sys = overrides();
    const double T = 1000.0, lnT = std::log(T);
    const double fe = 0.1, ni = 0.2, cr = 0.3, co = 0.4;
    const std::vector<double> x = {fe, ni, cr, co};
    const double feni_1 = (-15000.0 + 3.0 * T) * fe * ni;  // (1,1): the sets make no difference
    const double L_nico = -8000.0 + T - 0.2 * T * lnT + 1.0e4 / T;
    const double nicr = 4000.0 * ni * cr;
    const double ternary = (7000.0 - 2.0 * T) * fe * ni * co * co / (fe + ni + co);
    const double feni_kohler = 6000.0 * fe * ni * ni / (fe + ni);      // (1,2): L x_a x_b^2 / (x_a + x_b)
    const double nico_kohler = L_nico * ni * ni * co / (ni + co);      // (2,1)
    const double feni_toop = 6000.0 * fe * ni * (ni + cr) / (fe + ni + cr);
    const double nico_toop = L_nico * ni * co * (ni + cr) / (ni + cr + co);
    EXPECT_TRUE(near_rel(excess_g(sys, T, x), feni_1 + feni_kohler + nico_kohler + nicr + ternary, 1e-13));
    // Worked by hand at these fractions: -240 + 80 - 223.2421... + 240 + 22.8571... J/mol.
    EXPECT_NEAR(excess_g(sys, T, x), -120.38421863076192, 1e-9);
    // Only the first line: Ni-Co keeps Cr on Ni's side.
    liquid(sys).qkto_kohler.pop_back();
    EXPECT_TRUE(near_rel(excess_g(sys, T, x), feni_1 + feni_kohler + nico_toop + nicr + ternary, 1e-13));
    // No line: both Toop-like.
    liquid(sys).qkto_kohler.clear();
    EXPECT_TRUE(near_rel(excess_g(sys, T, x), feni_1 + feni_toop + nico_toop + nicr + ternary, 1e-13));
    // A line naming a ternary with no binary whose sides it would change
    // (Fe-Cr-Co: Fe-Co and Cr-Co have no records, Fe-Cr none) changes nothing.
    liquid(sys).qkto_kohler = {{0, 2, 3}};
    EXPECT_TRUE(near_rel(excess_g(sys, T, x), feni_1 + feni_toop + nico_toop + nicr + ternary, 1e-13));
}

std::string text() {
    std::ifstream in(testing::test_data("qkto-overrides.dat"));
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void expect_error(const std::string& from, const std::string& to, int line, const std::string& fragment) {
    std::string t = text();
    const std::size_t at = t.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    t.replace(at, from.size(), to);
    try {
        testing::parse(t, "bad.dat");
        ADD_FAILURE() << "read without error: " << to;
    } catch (const DataError& e) {
        EXPECT_EQ(e.line(), line) << e.what();
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
}

TEST(QktoOverrides, FaultsNameTheLine) {
    const std::string first = "    1    2    3K        1    2K        1    3K        2    3    0";
    expect_error(first, "    1    2    3T2       1    2K        1    3K        2    3    0", 36,
                 "phase LIQ_OVR, interpolation override 1: letter 'T2' not supported");
    expect_error(first, "    1    2    3K        1    2K        1    3K        2    3", 36,
                 "phase LIQ_OVR, interpolation override 1: expected 10 items, found 9");
    expect_error(first, "    1    2    5K        1    2K        1    5K        2    5    0", 36,
                 "phase LIQ_OVR, interpolation override 1: indices 1 2 5 1 2 1 5 2 5 0 invalid");
    expect_error(first, "    1    1    3K        1    1K        1    3K        1    3    0", 36,
                 "indices 1 1 3 1 1 1 3 1 3 0 invalid");
    expect_error(first, "    1    2    3K        1    2K        1    3K        2    3    5", 36,
                 "indices 1 2 3 1 2 1 3 2 3 5 invalid");
    expect_error(first, "    1    2    3K        1    3K        1    2K        2    3    0", 36,
                 "indices 1 2 3 1 3 1 2 2 3 0 invalid");
    expect_error("  -2\n", "  -3\n", 38, "interpolation override 3");  // the file ends first
}

}  // namespace
}  // namespace eqcore
