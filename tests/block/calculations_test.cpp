// The four calculation types end to end: the host stand-in calls the block,
// the block calls the engine; outlets against the engine's own equilibrium,
// element balances, the heat balance, and the independent reference
// equilibria and temperatures of tests/reference.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "block_scene.hpp"
#include "eqcore_calls.hpp"

namespace blocktest {
namespace {

using elvar::SubstreamType;
using elvar::SubstreamValues;

nlohmann::json reference(const std::string& file, const std::string& id) {
    std::ifstream in(std::string(EQLINK_TEST_REFERENCE_DIR) + "/" + file);
    const auto all = nlohmann::json::parse(in);
    for (const auto& c : all["cases"])
        if (c["id"] == id) return c;
    throw std::runtime_error("no reference case " + id);
}

// Atoms of C, H, O, N, Ar in one formula unit of each c-h-o-n component.
const std::map<std::string, std::array<double, 5>>& chon_atoms() {
    static const std::map<std::string, std::array<double, 5>> atoms{
        {"N2", {0, 0, 0, 2, 0}},   {"O2", {0, 0, 2, 0, 0}},   {"CO2", {1, 0, 2, 0, 0}}, {"H2O", {0, 2, 1, 0, 0}},
        {"H2OL", {0, 2, 1, 0, 0}}, {"GRAPH", {1, 0, 0, 0, 0}}, {"CH4", {1, 4, 0, 0, 0}}, {"CO", {1, 0, 1, 0, 0}},
        {"H2", {0, 2, 0, 0, 0}},   {"H", {0, 1, 0, 0, 0}},    {"O", {0, 0, 1, 0, 0}},   {"OH", {0, 1, 1, 0, 0}},
        {"HO2", {0, 1, 2, 0, 0}},  {"H2O2", {0, 2, 2, 0, 0}}, {"O3", {0, 0, 3, 0, 0}},  {"N", {0, 0, 0, 1, 0}},
        {"NO", {0, 0, 1, 1, 0}},   {"NO2", {0, 0, 2, 1, 0}},  {"N2O", {0, 0, 1, 2, 0}}, {"NH3", {0, 3, 0, 1, 0}},
        {"AR", {0, 0, 0, 0, 1}}};
    return atoms;
}

// Element amounts (kmol/s) of all substreams of some stream vectors.
std::array<double, 5> elements(const Scene& scene, const elvar::StreamLayout& layout,
                               const std::vector<std::vector<double>>& streams) {
    std::array<double, 5> e{};
    for (const auto& v : streams)
        for (ftn::Int j = 0; j < layout.nsubs(); ++j)
            for (const auto& [id, atoms] : chon_atoms()) {
                const double f = v[static_cast<std::size_t>(layout.positions()[static_cast<std::size_t>(j)] - 1 +
                                                            scene.comp(id) - 1)];
                for (std::size_t el = 0; el < 5; ++el) e[el] += f * atoms[el];
            }
    return e;
}

SubstreamValues feed(const Scene& scene, const std::vector<std::pair<std::string, double>>& mol, double T,
                     double P = 1.0e5) {
    std::vector<std::pair<std::string, double>> kmol;
    for (const auto& [id, n] : mol) kmol.emplace_back(id, 1.0e-3 * n);
    SubstreamValues v;
    v.flows = scene.flows(kmol);
    v.T = T;
    v.P = P;
    return v;
}

// Gas amounts of the reference (mol) against the outlet (kmol/s for 1 mol/s
// of feed per reference mol): 1e-6 relative above a mole fraction of 1e-6,
// 1e-9 absolute mole fraction below.
void expect_gas_amounts(const Scene& scene, const BlockOutcome& out, const nlohmann::json& expected,
                        const std::map<std::string, std::string>& id_of) {
    double total = 0.0;
    for (const auto& [name, n] : expected["moles"].items())
        if (id_of.count(name) != 0) total += n.get<double>();
    for (const auto& [name, id] : id_of) {
        const double want = expected["moles"].contains(name) ? expected["moles"][name].get<double>() : 0.0;
        const double got = 1000.0 * out.flow(0, scene.comp(id));
        if (want / total > 1e-6)
            EXPECT_NEAR(got, want, 1e-6 * want) << name;
        else
            EXPECT_NEAR(got / total, want / total, 1e-9) << name;
    }
}

TEST(BlockTypes, FixedTemperatureMatchesTheEngineAndTheReference) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    BlockSetup b;
    b.rpar = {1.0e5, 2000.0, 0.0, 0.0};
    b.inlets = {{feed(scene, {{"CH4", 1.0}}, 298.15)}, {feed(scene, {{"O2", 2.0}, {"N2", 7.52}}, 298.15)}};
    b.heat_in = {1000.0};
    b.outlets = 2;
    const auto out = scene.call(b);
    ASSERT_TRUE(scene.errors().empty()) << scene.error_text();

    const auto ref = reference("equilibria.json", "c_CH4air_phi1_tp_P1_T2000");
    const std::map<std::string, std::string> gases{
        {"H2", "H2"}, {"O2", "O2"}, {"H2O", "H2O"}, {"OH", "OH"}, {"H", "H"},     {"O", "O"},
        {"HO2", "HO2"}, {"N2", "N2"}, {"NO", "NO"}, {"NO2", "NO2"}, {"CO", "CO"}, {"CO2", "CO2"},
        {"CH4", "CH4"}, {"N", "N"}, {"N2O", "N2O"}, {"NH3", "NH3"}, {"O3", "O3"}, {"H2O2", "H2O2"}};
    expect_gas_amounts(scene, out, ref["expected"], gases);

    // One phase present: outlet 1 holds the gas, outlet 2 nothing.
    const auto gas = out.outlet(0);
    EXPECT_DOUBLE_EQ(gas.T, 2000.0);
    EXPECT_DOUBLE_EQ(gas.P, 1.0e5);
    EXPECT_EQ(gas.vfrac, 1.0);
    EXPECT_EQ(gas.lfrac, 0.0);
    const auto empty = out.outlet(1);
    EXPECT_EQ(empty.total, 0.0);
    EXPECT_EQ(empty.T, elvar::kRmiss);

    // Every element balanced between inlets and outlets.
    std::vector<std::vector<double>> ins, outs{out.args.outlet(0), out.args.outlet(1)};
    for (const auto& i : b.inlets) ins.push_back(out.layout.make(i));
    const auto e_in = elements(scene, out.layout, ins);
    const auto e_out = elements(scene, out.layout, outs);
    for (std::size_t el = 0; el < 5; ++el) EXPECT_NEAR(e_out[el], e_in[el], 1e-12 * std::max(e_in[el], 1e-3));

    // Heat: the duty is the equilibrium enthalpy less the feed's; the
    // feed's is methane's enthalpy of formation (elements are 0).
    const double h_feed = -74600.0;
    const double h_eq = ref["expected"]["H_J"].get<double>();
    EXPECT_NEAR(out.args.rpar[3], h_eq - h_feed, 1e-6 * std::fabs(h_eq - h_feed));
    EXPECT_DOUBLE_EQ(out.args.htout[0], 1000.0 - out.args.rpar[3]);

    // The outlet's properties are the engine's own: its gas phase at the same
    // conditions, per kg of the outlet.
    double mass = 0.0;
    for (const auto& [name, id] : gases) mass += out.flow(0, scene.comp(id)) * scene.run().mw(scene.comp(id));
    EXPECT_NEAR(gas.mw.value(), mass / gas.total, 1e-12 * gas.mw.value());
    EXPECT_NEAR(gas.h * mass, h_eq, 1e-6 * std::fabs(h_eq));
    // The entropy counts from the elements in their standard state, as the
    // flash's does: the reference's absolute entropy less the elements'
    // standard entropies per atom (graphite; half of H2, O2, N2 at 298.15 K)
    // over the element amounts the feed brings: C 1, H 4, O 4, N 15.04.
    const double s_elements = 1.0 * 5.74 + 4.0 * 65.34 + 4.0 * 102.5735 + 15.04 * 95.8045;
    const double s_eq = ref["expected"]["S_J_per_K"].get<double>() - s_elements;
    EXPECT_NEAR(gas.s * mass, s_eq, 1e-6 * s_eq);
    // Ideal gas: rho = P M / (R T) with the engine's gas constant.
    EXPECT_NEAR(gas.rho, 1.0e5 * gas.mw.value() / (8314.51 * 2000.0), 1e-9 * gas.rho);
}

// The block's first estimate is 500 K, where the stoichiometric feed's minor
// species sit 1e-20 below the water: the search must start there.
TEST(BlockTypes, DutyZeroGivesTheAdiabaticTemperature) {
    const std::vector<elvar::Component> ho{{"H2", "H2:G1", "H2", {}},     {"O2", "O2:G1", "O2", {}},
                                               {"H2O", "H2O:G1", "H2O", {}},  {"OH", "OH:G1", "OH", {}},
                                               {"H", "H:G1", "H", {}},        {"O", "O:G1", "O", {}},
                                               {"HO2", "HO2:G1", "HO2", {}},  {"H2O2", "H2O2:G1", "H2O2", {}},
                                               {"O3", "O3:G1", "O3", {}},     {"H2OL", "H2O:L1", "H2O", {}}};
    Scene scene(example("h-o.dat"), ho);
    BlockSetup b;
    b.ipar = {2, 0, 0, 0};
    b.rpar = {1.0e5, 0.0, 0.0, 0.0};
    b.inlets = {{feed(scene, {{"H2", 2.0}, {"O2", 1.0}}, 298.15)}};
    const auto out = scene.call(b);
    ASSERT_TRUE(scene.errors().empty()) << scene.error_text();

    const auto ref = reference("equilibria.json", "b_HO_hp_P1");
    const auto gas = out.outlet(0);
    EXPECT_NEAR(gas.T, ref["expected"]["T_K"].get<double>(), 0.01);
    std::map<std::string, std::string> gases;
    for (const auto& c : ho)
        if (c.id != "H2OL") gases[c.id] = c.id;
    expect_gas_amounts(scene, out, ref["expected"], gases);
    // The enthalpy balance closes to 1e-12 of the water's formation enthalpy
    // (2 kmol/s x 241.8 kJ/mol is 4.8e8 W).
    EXPECT_NEAR(out.args.rpar[3], 0.0, 1e-3);
    EXPECT_NEAR(out.args.htout[0], 0.0, 1e-3);
}

// Ag-Cu streams: solids in a conventional-solid substream.
struct AgCu {
    Scene scene{example("ag-cu-example.dat"), agcu_components()};
    BlockSetup setup(ftn::Int type, double rpar2, double rpar3, std::vector<std::string> products,
                     const std::vector<std::pair<std::string, double>>& mol, bool solid_feed) {
        BlockSetup b;
        b.ipar = {type, 0, 0, 0};
        b.rpar = {1.0e5, rpar2, rpar3, 0.0};
        b.products = std::move(products);
        b.types = {SubstreamType::mixed, SubstreamType::cisolid};
        b.outlets = 2;
        SubstreamValues v;
        v.T = 298.15;
        v.P = 1.0e5;
        std::vector<std::pair<std::string, double>> kmol;
        for (const auto& [id, n] : mol) kmol.emplace_back(id, 1.0e-3 * n);
        v.flows = scene.flows(kmol);
        SubstreamValues none;
        b.inlets = {solid_feed ? std::vector<SubstreamValues>{none, v} : std::vector<SubstreamValues>{v}};
        return b;
    }
};

TEST(BlockTypes, DutyThatMeltsHalfTheCopperStopsAtItsMeltingPoint) {
    AgCu agcu;
    const auto ref = reference("targets.json", "cu_half_melted_enthalpy");
    const double duty = ref["target"]["dH_J"].get<double>();
    auto b = agcu.setup(2, duty, 0.0, {}, {{"CUS", 1.0}}, true);
    const auto out = agcu.scene.call(b);
    ASSERT_TRUE(agcu.scene.errors().empty()) << agcu.scene.error_text();
    // Liquid (phase 2) into outlet 1, solid copper (phase 4) into outlet 2.
    const auto liquid = out.outlet(0);
    EXPECT_NEAR(liquid.T, ref["expected"]["T_K"].get<double>(), 0.01);
    EXPECT_NEAR(out.flow(0, agcu.scene.comp("CUL")), 1e-3 * ref["expected"]["moles"]["LIQUID"].get<double>(), 1e-9);
    EXPECT_NEAR(out.flow(1, agcu.scene.comp("CUS"), 1), 1e-3 * ref["expected"]["moles"]["Cu(s)"].get<double>(), 1e-9);
    EXPECT_EQ(liquid.lfrac, 1.0);
    EXPECT_NEAR(out.args.rpar[3], duty, 1e-6 * duty);
}

TEST(BlockTypes, FormationTargetOnTheLiquidGivesMeltingPointAndEutectic) {
    AgCu agcu;
    {
        const auto out = agcu.scene.call(agcu.setup(3, 1000.0, 1400.0, {"CUL", "AGL", "SOL"}, {{"CUS", 1.0}}, true));
        const auto ref = reference("targets.json", "cu_melting_formation");
        const auto copper = out.outlet(0, 1);
        EXPECT_NEAR(copper.T, ref["expected"]["T_K"].get<double>(), 0.01);
        EXPECT_NEAR(out.flow(0, agcu.scene.comp("CUS"), 1), 1.0e-3, 1e-12);
        EXPECT_EQ(copper.vfrac, 0.0);
        EXPECT_EQ(copper.lfrac, 0.0);
    }
    {
        // Tmin above Tmax: warned, exchanged, the same estimate.
        const auto out =
            agcu.scene.call(agcu.setup(3, 1100.0, 900.0, {"CUL", "AGL", "SOL"}, {{"AGS", 0.6}, {"CUS", 0.4}}, true));
        EXPECT_TRUE(agcu.scene.reported(5));
        const auto ref = reference("targets.json", "agcu_eutectic_formation");
        EXPECT_NEAR(out.outlet(0, 1).T, ref["expected"]["T_K"].get<double>(), 0.01);
        // Both solids present, each in an outlet of its own.
        EXPECT_NEAR(out.flow(0, agcu.scene.comp("AGS"), 1), 0.6e-3, 1e-12);
        EXPECT_NEAR(out.flow(1, agcu.scene.comp("CUS"), 1), 0.4e-3, 1e-12);
    }
}

TEST(BlockTypes, PrecipitationTargetOnTheLiquidGivesTheLiquidus) {
    // Liquidus of the data file's model at 1100 K on the copper side:
    // x_Cu = 0.50092.
    AgCu agcu;
    const auto out = agcu.scene.call(
        agcu.setup(4, 1000.0, 1200.0, {"CUL", "AGL", "SOL"}, {{"AGL", 1.0 - 0.50092}, {"CUL", 0.50092}}, false));
    ASSERT_FALSE(agcu.scene.reported(44));
    const auto liquid = out.outlet(0);
    EXPECT_NEAR(liquid.T, 1100.0, 0.01);
    EXPECT_EQ(liquid.vfrac, 0.0);
    EXPECT_EQ(liquid.lfrac, 1.0);
    EXPECT_NEAR(out.flow(0, agcu.scene.comp("CUL")), 0.50092e-3, 1e-12);
}

TEST(BlockTypes, ComponentAsTargetPassesItsConstituent) {
    // Copper's solid about to form from the liquid of x_Cu = 0.50092: the
    // liquidus at 1100 K, reached through the component CUS (phase Cu(s)).
    AgCu agcu;
    const auto out = agcu.scene.call(
        agcu.setup(3, 1000.0, 1200.0, {"CUS", "CUL", "AGL"}, {{"AGL", 1.0 - 0.50092}, {"CUL", 0.50092}}, false));
    ASSERT_TRUE(agcu.scene.errors().empty()) << agcu.scene.error_text();
    EXPECT_NEAR(out.outlet(0).T, 1100.0, 0.01);
    EXPECT_EQ(phase_status(4), "ENTERED");
    EXPECT_EQ(phase_status(3), "ELIMINATED");
}

}  // namespace
}  // namespace blocktest
