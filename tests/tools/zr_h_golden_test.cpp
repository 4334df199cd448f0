// The golden JSON of examples/zr-h.toml checked against the Zr-H equilibria
// of alloys.json (computed by an independent engine on the same file), so
// that the golden file is known right, not only unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace tools_test {
namespace {

using nlohmann::json;

constexpr double kR = 8.31451;  // J/(mol K), the reference's and the data file's
// Standard entropies at 298.15 K per atom, J/(mol K), of the host's element
// table: the Gibbs-energy and entropy values EQLINK hands to the host are on
// the element reference, G + T Sref and S - Sref, Sref = sum atoms * S_el.
constexpr double kSZr = 38.869, kSH = 65.34;

json read_json(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    return json::parse(in);
}

const json& reference_case(const json& ref, const std::string& id) {
    for (const json& c : ref["cases"])
        if (c["id"] == id) return c;
    throw std::runtime_error("no reference case " + id);
}

double entropy_of_mixing(double y) { return y * std::log(y) + (1 - y) * std::log(1 - y); }

class ZrHGolden : public ::testing::Test {
protected:
    json golden = read_json(std::string(TOOLS_GOLDEN_DIR) + "/zr-h.json");
    json ref = read_json(std::string(EQLINK_TEST_REFERENCE_DIR) + "/alloys.json");
};

// Calculation 1: G of the alpha solution (ZRH, Zr(H,Va)) with 990 mol of
// the Zr:Va and 10 mol of the Zr:H end member at 700 K. ZRH has no excess
// records, so its molar G is linear in y_H plus the ideal mixing of one
// site: from the reference state at y_H = 1/99 (single phase, G_m = mu_Zr +
// y mu_H and dG_m/dy = mu_H there), G_m(y) = G_m(y_r) + mu_H (y - y_r) +
// R T [f(y) - f(y_r) - f'(y_r) (y - y_r)], f(y) = y ln y + (1 - y) ln(1 - y).
TEST_F(ZrHGolden, AlphaGibbsEnergyFromTheIndependentEquilibrium) {
    const json& c = reference_case(ref, "zrh_hcp_x001_700K");
    const double T = c["T_K"];  // the case's T of calculation 1
    ASSERT_EQ(golden["calculations"][0]["code"], 408);
    const double mu_zr = c["expected"]["element_potentials_J_per_mol"]["Zr"];
    const double mu_h = c["expected"]["element_potentials_J_per_mol"]["H"];
    const double yr = c["expected"]["phases"]["ZRH"]["site_fractions"][1]["y"]["H"];
    EXPECT_NEAR(mu_zr + yr * mu_h, c["expected"]["G_J"].get<double>() / 0.99, 1e-4);  // the reference is one state
    const double y = 0.01;
    const double Gm = mu_zr + yr * mu_h + mu_h * (y - yr) +
                      kR * T * (entropy_of_mixing(y) - entropy_of_mixing(yr) - std::log(yr / (1 - yr)) * (y - yr));
    const double sref = 1000.0 * (0.99 * kSZr + 0.01 * (kSZr + kSH));  // ZRA is Zr, ZRHA ZrH
    const double want = 1000.0 * Gm + T * sref;                       // J/kmol
    const double got = golden["calculations"][0]["prop"][0];
    EXPECT_NEAR(got, want, 1e-7 * std::fabs(want));
}

// Calculation 2: the TP flash of 0.0006 kmol/s Zr (ZRB) + 0.0001 ZrH3
// (ZRH3B) at 1150 K, the reference state zrh_bcc_x030_1150K: bcc alone, its
// end members from the reference site fractions (0.0007 kmol/s of formula
// units), and the stream's molar G = (h - T s) mw against the reference G.
TEST_F(ZrHGolden, BccFlashFromTheIndependentEquilibrium) {
    const json& c = reference_case(ref, "zrh_bcc_x030_1150K");
    const json& flash = golden["calculations"][1];
    const double T = c["T_K"];
    ASSERT_EQ(flash["kind"], "flash");
    ASSERT_EQ(flash["T"].get<double>(), T);
    const json& y = c["expected"]["phases"]["BCC_A2"]["site_fractions"][1]["y"];
    const json& mixed = flash["stream"]["mixed"];
    const double formula_units = 0.0007;
    EXPECT_NEAR(mixed["flows"]["ZRH3B"].get<double>(), formula_units * y["H"].get<double>(), 1e-5 * 0.0001);
    EXPECT_NEAR(mixed["flows"]["ZRB"].get<double>(), formula_units * y["VA"].get<double>(), 1e-5 * 0.0006);
    EXPECT_EQ(mixed["flows"]["ZRA"].get<double>(), 0.0);
    EXPECT_EQ(mixed["flows"]["ZRHA"].get<double>(), 0.0);
    EXPECT_NEAR(mixed["total"].get<double>(), formula_units, 1e-15);
    // Per kmol of formula units: 1000 G_J / 0.7 on the file's reference,
    // plus T Sref on the host's (x = 6/7 Zr, 1/7 ZrH3).
    const double sref = 1000.0 * (6.0 / 7.0 * kSZr + 1.0 / 7.0 * (kSZr + 3 * kSH));
    const double want = 1000.0 * c["expected"]["G_J"].get<double>() / 0.7 + T * sref;
    const double got = (mixed["h"].get<double>() - T * mixed["s"].get<double>()) * mixed["mw"].get<double>();
    EXPECT_NEAR(got, want, 1e-7 * std::fabs(want));
    EXPECT_NEAR(mixed["mw"].get<double>(), (91.224 + 0.3 / 0.7 * 1.00794), 1e-9);
}

}  // namespace
}  // namespace tools_test
