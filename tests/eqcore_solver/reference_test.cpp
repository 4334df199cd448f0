// Every case of tests/reference/equilibria.json: equilibria of the H-O and
// C-H-O-N data files computed by an independent program on the same data.
// Fixed-T,P cases ("tp") at the case's T; adiabatic cases ("hp") as the
// enthalpy condition dH = 0 with the feed entering at its temperature.
#include <fstream>

#include <nlohmann/json.hpp>

#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

using nlohmann::json;

json cases() {
    std::ifstream in(reference("equilibria.json"));
    return json::parse(in)["cases"];
}

std::vector<std::string> case_ids() {
    std::vector<std::string> ids;
    for (const json& c : cases()) ids.push_back(c["id"].get<std::string>());
    return ids;
}

class ReferenceEquilibrium : public ::testing::TestWithParam<std::string> {
protected:
    json c;
    System sys;
    void SetUp() override {
        for (const json& k : cases())
            if (k["id"] == GetParam()) c = k;
        sys = read_dat(example(c["data"].get<std::string>()));
    }
    EquilibriumProblem problem() {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        for (auto& [name, mol] : c["feed_mol"].items()) feed(pr, name, mol.get<double>(), c["feed_T_K"].get<double>(), c["P_Pa"].get<double>());
        return pr;
    }
    Conditions conditions() {
        Conditions k;
        k.P = c["P_Pa"].get<double>();
        if (c["problem"] == "tp") {
            k.T = c["T_K"].get<double>();
        } else {
            k.T = 2000.0;
            k.target.kind = TargetKind::enthalpy;
            k.target.value = c["dH_J"].get<double>();
        }
        return k;
    }

    void compare(const EquilibriumResult& r) {
        const json& e = c["expected"];
        EXPECT_NEAR(r.T, e["T_K"].get<double>(), 0.01);
        // Mole fractions within the gas, phase amounts of condensed phases.
        const PhaseResult& gas = r.phases[0];
        double gas_ref = 0.0;
        for (auto& [name, mol] : e["moles"].items())
            if (sys.phases[static_cast<std::size_t>(sys.constituents[static_cast<std::size_t>(constituent_of(sys, name))].phase)].is_gas())
                gas_ref += mol.get<double>();
        EXPECT_TRUE(near_rel(gas.amount, gas_ref, 1e-6)) << "gas amount";
        for (auto& [name, mol] : e["moles"].items()) {
            const int g = constituent_of(sys, name);
            ASSERT_GE(g, 0) << name;
            const double ref = mol.get<double>();
            const double got = r.amount[static_cast<std::size_t>(g)];
            if (sys.phases[static_cast<std::size_t>(sys.constituents[static_cast<std::size_t>(g)].phase)].is_gas()) {
                const double xr = ref / gas_ref, xg = got / gas.amount;
                if (xr > 1e-6) {
                    EXPECT_TRUE(near_rel(xg, xr, 1e-6)) << name;
                } else {
                    EXPECT_NEAR(xg, xr, 1e-9) << name;
                }
            } else {
                EXPECT_TRUE(near_rel(got, ref, 1e-6, 1e-12)) << name;
            }
        }
        // Constituents the reference leaves out (argon without argon in the
        // feed, liquid water far above boiling) are absent.
        for (std::size_t g = 0; g < sys.constituents.size(); ++g) {
            bool listed = false;
            for (auto& [name, mol] : e["moles"].items()) listed = listed || constituent_of(sys, name) == static_cast<int>(g);
            if (!listed) {
                EXPECT_EQ(r.amount[g], 0.0) << sys.constituents[g].name;
            }
        }
        for (auto& [el, v] : e["element_potentials_over_RT"].items())
            for (std::size_t j = 0; j < sys.elements.size(); ++j) {
                if (sys.elements[j].symbol != el) continue;
                EXPECT_TRUE(near_rel(r.element_potential[j] / (kR * r.T), v.get<double>(), 1e-7)) << "pi " << el;
            }
        const double H = e["H_J"].get<double>(), G = e["G_J"].get<double>(), S = e["S_J_per_K"].get<double>();
        EXPECT_TRUE(near_rel(r.G, G, 1e-6));
        // The reference's H and S of the 1000 K case do not follow from the
        // data file: its H of water vapour there is 158 J/mol below the value
        // the file's coefficients give (by the closed form and by a finite
        // difference of G alike) while its G agrees; the composition and G
        // of that case are still checked.
        if (GetParam() == "a_HO_tp_P1_T1000") return;
        // H of the adiabatic case is 0 up to the reference's rounding:
        // compare on the scale of T S. S = (H - G)/T inherits the error of
        // H and G: its tolerance is theirs.
        EXPECT_NEAR(r.H, H, 1e-6 * std::max(std::fabs(H), std::fabs(r.T * S)));
        EXPECT_NEAR(r.S, S, 1e-6 * std::max(std::fabs(S), (std::fabs(H) + std::fabs(G)) / r.T));
    }
};

TEST_P(ReferenceEquilibrium, ColdStart) {
    Solver solver;
    const EquilibriumResult r = solver.equilibrate(problem(), conditions());
    expect_equilibrium(sys, r);
    if (r.succeeded()) compare(r);
}

TEST_P(ReferenceEquilibrium, WarmStartFromAnotherTemperature) {
    Solver solver;
    Conditions k = conditions();
    Conditions other = k;
    other.target = {};
    other.T = k.target.kind == TargetKind::none ? (k.T > 1000.0 ? k.T - 400.0 : k.T + 400.0) : 1500.0;
    const EquilibriumProblem pr = problem();
    ASSERT_TRUE(solver.equilibrate(pr, other).succeeded());
    const EquilibriumResult r = solver.equilibrate(pr, k);
    expect_equilibrium(sys, r);
    if (r.succeeded()) compare(r);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReferenceEquilibrium, ::testing::ValuesIn(case_ids()),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });

}  // namespace
}  // namespace eqcore::testing
