// Temperature targets: tests/reference/targets.json (Ag-Cu, computed by an
// independent common-tangent solver), and closed-form roots computed here
// from the data files' coefficients.
#include <fstream>
#include <functional>

#include <nlohmann/json.hpp>

#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

using nlohmann::json;

// G functions of example B written out from the file's coefficients.
double g_ag_liq(double T) { return 1.04730111e+02 + 1.56851684e+02 * T - 30.5 * T * std::log(T); }
double g_ag_s(double T) {
    if (T <= 1235.0)
        return -6.22371343e+03 + 1.01805679e+02 * T - 21.3 * T * std::log(T) - 4.27e-03 * T * T - 7.55e+04 / T;
    return -1.42827699e+04 + 1.86298547e+02 * T - 33.0 * T * std::log(T);
}
double g_cu_liq(double T) {
    return -1.98584639e+03 + 1.85669897e+02 * T - 32.8 * T * std::log(T) - 5e-21 * std::pow(T, 7.0);
}
double g_cu_s(double T) { return -7.02924135e+03 + 1.20355972e+02 * T - 22.64 * T * std::log(T) - 3.14e-03 * T * T; }
double g_cu_gas(double T) { return 3.31402654e+05 - 2.71837547e+01 * T - 20.786 * T * std::log(T); }
double L0(double T) { return 19000.0 - 3.0 * T; }

// Root of f between a and b by bisection (f(a), f(b) of opposite signs).
double bisect(const std::function<double(double)>& f, double a, double b) {
    double fa = f(a);
    for (int i = 0; i < 200; ++i) {
        const double m = 0.5 * (a + b), fm = f(m);
        if ((fm > 0) == (fa > 0)) {
            a = m;
            fa = fm;
        } else {
            b = m;
        }
    }
    return 0.5 * (a + b);
}

class Targets : public ::testing::Test {
protected:
    System agcu = read_dat(example("ag-cu-example.dat"));
    Solver solver;

    EquilibriumProblem alloy(double ag, double cu) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(agcu);
        if (ag > 0) feed(pr, "Ag(s)", ag);
        if (cu > 0) feed(pr, "Cu(s)", cu);
        return pr;
    }
    static Conditions target(TargetKind kind, int phase, double estimate, double value = 0.0) {
        Conditions c;
        c.T = estimate;
        c.target.kind = kind;
        c.target.phase = phase;
        c.target.value = value;
        return c;
    }
    std::size_t at(const std::string& name) { return static_cast<std::size_t>(constituent_of(agcu, name)); }
    std::size_t ph(const std::string& name) { return static_cast<std::size_t>(phase_of(agcu, name)); }
};

TEST_F(Targets, ReferenceCases) {
    std::ifstream in(reference("targets.json"));
    const json ref = json::parse(in);
    for (const json& c : ref["cases"]) {
        SCOPED_TRACE(c["id"].get<std::string>());
        EquilibriumProblem pr = EquilibriumProblem::all_entered(agcu);
        for (auto& [name, mol] : c["feed_mol"].items()) feed(pr, name, mol.get<double>());
        Conditions k;
        k.T = c["estimate_K"].get<double>();
        k.P = c["P_Pa"].get<double>();
        const json& t = c["target"];
        if (t["kind"] == "enthalpy") {
            k.target.kind = TargetKind::enthalpy;
            k.target.value = t["dH_J"].get<double>();
        } else {
            k.target.kind = t["value"].get<double>() >= 0 ? TargetKind::formation : TargetKind::precipitation;
            k.target.phase = phase_of(agcu, t["phase"].get<std::string>());
        }
        const EquilibriumResult r = solver.equilibrate(pr, k);
        ASSERT_TRUE(r.succeeded()) << r.message;
        const json& e = c["expected"];
        EXPECT_NEAR(r.T, e["T_K"].get<double>(), 0.01);
        if (e.contains("liquid_x_Cu")) {
            // The liquid about to form: absent, at zero driving force, with
            // the composition of the eutectic.
            EXPECT_FALSE(r.phases[ph("LIQUID")].present);
            EXPECT_NEAR(r.phases[ph("LIQUID")].driving_force, 0.0, 1e-6);
            EXPECT_NEAR(r.mole_fraction[at("LIQUID/Cu(liq)")], e["liquid_x_Cu"].get<double>(), 1e-5);
        }
        if (e.contains("moles")) {
            for (auto& [name, mol] : e["moles"].items())
                EXPECT_TRUE(near_rel(r.phases[ph(name)].amount, mol.get<double>(), 1e-6)) << name;
        }
        if (k.target.kind == TargetKind::enthalpy) {
            EXPECT_TRUE(near_rel(r.heat, k.target.value, 1e-9)) << "enthalpy balance";
            expect_equilibrium(agcu, r);
        }
    }
}

TEST_F(Targets, LiquidusOfAnAlloyByPrecipitation) {
    // Ag-rich liquid x_Cu = 0.1: Ag(s) separates where
    // G°Ag(liq) + RT ln(1 - x) + x² L0 = G°Ag(s).
    const double x = 0.1;
    const double expected = bisect(
        [&](double T) { return g_ag_liq(T) + kR * T * std::log(1 - x) + x * x * L0(T) - g_ag_s(T); }, 1100, 1235);
    const EquilibriumResult r = solver.equilibrate(alloy(1 - x, x), target(TargetKind::precipitation, int(ph("LIQUID")), 1300, -1));
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, expected, 0.01);
    EXPECT_TRUE(r.phases[ph("LIQUID")].present);
    EXPECT_NEAR(r.activity[at("Ag(s)")], 1.0, 1e-8);
    // Cu-rich side: Cu(s) separates first.
    const double y = 0.8;
    const double expected_cu = bisect(
        [&](double T) { return g_cu_liq(T) + kR * T * std::log(y) + (1 - y) * (1 - y) * L0(T) - g_cu_s(T); }, 1100, 1353);
    const EquilibriumResult s = solver.equilibrate(alloy(1 - y, y), target(TargetKind::precipitation, int(ph("LIQUID")), 1000, -1));
    ASSERT_TRUE(s.succeeded()) << s.message;
    EXPECT_NEAR(s.T, expected_cu, 0.01);
}

TEST_F(Targets, NearestRootOfAFormationTarget) {
    // Pure copper: the liquid forms at the melting point and the gas at the
    // boiling point; each estimate finds its own.
    const double melt = bisect([](double T) { return g_cu_liq(T) - g_cu_s(T); }, 1200, 1500);
    const double boil = bisect([](double T) { return g_cu_gas(T) - g_cu_liq(T); }, 2000, 4000);
    const EquilibriumResult m = solver.equilibrate(alloy(0, 1), target(TargetKind::formation, int(ph("LIQUID")), 1300));
    ASSERT_TRUE(m.succeeded()) << m.message;
    EXPECT_NEAR(m.T, melt, 0.01);
    const EquilibriumResult b = solver.equilibrate(alloy(0, 1), target(TargetKind::formation, int(ph("GAS")), 2500));
    ASSERT_TRUE(b.succeeded()) << b.message;
    EXPECT_NEAR(b.T, boil, 0.01);
    EXPECT_FALSE(b.phases[ph("GAS")].present);
}

TEST_F(Targets, DewPointOfWater) {
    const System ho = read_dat(example("h-o.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(ho);
    feed(pr, "H2O", 0.1);
    feed(pr, "O2", 0.9);
    const int liquid = phase_of(ho, "H2O_liquid(liq)");
    const Constituent& vap = ho.constituents[static_cast<std::size_t>(constituent_of(ho, "H2O"))];
    const Constituent& liq = ho.constituents[static_cast<std::size_t>(constituent_of(ho, "H2O_liquid(liq)"))];
    // Vapour pressure from the data: p_sat = exp((G°liq - G°vap)/RT) bar;
    // the dew point is where p_sat = x_H2O P (dissociation is below 1e-20 here).
    for (const double P : {1e5, 5e5}) {
        const double dew = bisect(
            [&](double T) { return gibbs0(vap, T) + kR * T * std::log(0.1 * P / kPstd) - gibbs0(liq, T); }, 280, 500);
        Conditions c = target(TargetKind::formation, liquid, 330);
        c.P = P;
        const EquilibriumResult r = solver.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_NEAR(r.T, dew, 0.01) << P;
        EXPECT_FALSE(r.phases[static_cast<std::size_t>(liquid)].present);
    }
}

TEST_F(Targets, FailuresAreErrors) {
    // The liquid of pure copper cannot form below 1300 K.
    Conditions c = target(TargetKind::formation, int(ph("LIQUID")), 1000);
    c.T_high = 1300;
    EquilibriumResult r = solver.equilibrate(alloy(0, 1), c);
    EXPECT_EQ(r.status, SolverStatus::target_not_met);
    EXPECT_NE(r.message.find("LIQUID"), std::string::npos) << r.message;
    // Precipitation from a stoichiometric phase is meaningless.
    r = solver.equilibrate(alloy(0.5, 0.5), target(TargetKind::precipitation, int(ph("Cu(s)")), 1000, -1));
    EXPECT_EQ(r.status, SolverStatus::precipitation_on_pure);
    // An enthalpy that needs more heat than the limits allow.
    Conditions h;
    h.T = 1000;
    h.T_high = 1500;
    h.target.kind = TargetKind::enthalpy;
    h.target.value = 1e7;
    r = solver.equilibrate(alloy(0.6, 0.4), h);
    EXPECT_EQ(r.status, SolverStatus::target_not_met);
    // The solver recovers: the next calculation succeeds.
    Conditions ok;
    ok.T = 1400;
    EXPECT_TRUE(solver.equilibrate(alloy(0.6, 0.4), ok).succeeded());
}

TEST_F(Targets, AdiabaticTemperatureFromFarEstimates) {
    const System ho = read_dat(example("h-o.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(ho);
    feed(pr, "H2", 2.0);
    feed(pr, "O2", 1.0);
    for (const double estimate : {300.0, 5000.0}) {
        Conditions c;
        c.T = estimate;
        c.target.kind = TargetKind::enthalpy;
        const EquilibriumResult r = solver.equilibrate(pr, c);
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_NEAR(r.T, 3072.7944345189417, 0.01) << estimate;
        EXPECT_NEAR(r.heat, 0.0, 1e-4);
    }
}

}  // namespace
}  // namespace eqcore::testing

namespace eqcore::testing {
namespace {

// 2 H2 + O2 with the liquid eliminated, searched from the feed temperature:
// the first calculation is an exactly stoichiometric gas at 298.15 K, where
// H2 and O2 sit near 1e-40 and the Newton system is nearly singular.
TEST(HardCases, AdiabaticGasFromTheFeedTemperature) {
    const System ho = read_dat(example("h-o.dat"));
    EquilibriumProblem pr = EquilibriumProblem::all_entered(ho);
    pr.phase_entered[static_cast<std::size_t>(phase_of(ho, "H2O_liquid(liq)"))] = 0;
    feed(pr, "H2", 2.0);
    feed(pr, "O2", 1.0);
    Solver solver;
    Conditions c;
    c.T = kT298;
    const EquilibriumResult cold = solver.equilibrate(pr, c);
    expect_equilibrium(ho, cold);
    c.target.kind = TargetKind::enthalpy;
    solver.forget();
    const EquilibriumResult r = solver.equilibrate(pr, c);
    ASSERT_TRUE(r.succeeded()) << r.message;
    EXPECT_NEAR(r.T, 3072.7944345189417, 0.01);
}

}  // namespace
}  // namespace eqcore::testing
