// A result object the caller keeps between calculations (the overload that
// writes into `out`, which hosts and the stress harness use so that nothing
// is allocated per solve) must hold exactly what a new result object would:
// two solvers take the same sequence of calculations, one writing into a
// new result every time, the other into one kept result, and every field
// must agree bit for bit. The sequences mix files of different sizes, phases
// with and without sublattices, failures between successes and a
// temperature target, where a stale field of the kept object would show.
#include <cstring>
#include <functional>
#include <vector>

#include "solver_test_util.hpp"

namespace eqcore::testing {
namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same(const std::vector<double>& kept, const std::vector<double>& fresh, const char* what) {
    ASSERT_EQ(kept.size(), fresh.size()) << what;
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_TRUE(same_bits(kept[i], fresh[i])) << what << "[" << i << "]: " << kept[i] << " vs " << fresh[i];
}

// Every field of a successful result; status, message and counts of a
// failed one (whose other fields say nothing).
void expect_same(const EquilibriumResult& kept, const EquilibriumResult& fresh) {
    EXPECT_EQ(kept.status, fresh.status);
    EXPECT_EQ(kept.message, fresh.message);
    EXPECT_EQ(kept.iterations, fresh.iterations);
    EXPECT_EQ(kept.calculations, fresh.calculations);
    if (!fresh.succeeded()) return;
    for (const auto& [k, f, what] : {std::tuple{kept.T, fresh.T, "T"}, {kept.P, fresh.P, "P"}, {kept.G, fresh.G, "G"},
                                     {kept.H, fresh.H, "H"}, {kept.S, fresh.S, "S"}, {kept.Cp, fresh.Cp, "Cp"},
                                     {kept.V, fresh.V, "V"}, {kept.H_in, fresh.H_in, "H_in"},
                                     {kept.heat, fresh.heat, "heat"}})
        EXPECT_TRUE(same_bits(k, f)) << what << ": " << k << " vs " << f;
    expect_same(kept.amount, fresh.amount, "amount");
    expect_same(kept.mole_fraction, fresh.mole_fraction, "mole_fraction");
    expect_same(kept.activity, fresh.activity, "activity");
    expect_same(kept.mu, fresh.mu, "mu");
    expect_same(kept.element_potential, fresh.element_potential, "element_potential");
    expect_same(kept.element_amount, fresh.element_amount, "element_amount");
    ASSERT_EQ(kept.phases.size(), fresh.phases.size());
    for (std::size_t p = 0; p < fresh.phases.size(); ++p) {
        SCOPED_TRACE("phase " + std::to_string(p));
        const PhaseResult &a = kept.phases[p], &b = fresh.phases[p];
        EXPECT_EQ(a.considered, b.considered);
        EXPECT_EQ(a.present, b.present);
        for (const auto& [k, f, what] : {std::tuple{a.amount, b.amount, "amount"}, {a.G, b.G, "G"}, {a.H, b.H, "H"},
                                         {a.S, b.S, "S"}, {a.Cp, b.Cp, "Cp"}, {a.V, b.V, "V"},
                                         {a.driving_force, b.driving_force, "driving_force"}})
            EXPECT_TRUE(same_bits(k, f)) << what << ": " << k << " vs " << f;
        expect_same(a.site_fraction, b.site_fraction, "site_fraction");
        expect_same(a.sites, b.sites, "sites");
    }
}

using Calculation = std::function<void(Solver&, EquilibriumResult&)>;

// Runs `steps` through two solvers, into new result objects and into one
// kept object, comparing after every step.
void expect_kept_equals_new(const std::vector<Calculation>& steps) {
    Solver with_new, with_kept;
    EquilibriumResult kept;
    int succeeded = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("calculation " + std::to_string(i));
        EquilibriumResult fresh;
        steps[i](with_new, fresh);
        steps[i](with_kept, kept);
        expect_same(kept, fresh);
        succeeded += fresh.succeeded();
    }
    EXPECT_GE(succeeded, static_cast<int>(steps.size()) - 2);
}

Calculation at(const EquilibriumProblem& pr, double T, double P, bool cold = false) {
    return [pr, T, P, cold](Solver& s, EquilibriumResult& out) {
        Conditions c;
        c.T = T;
        c.P = P;
        if (cold) s.forget();
        s.equilibrate(pr, c, out);
    };
}

TEST(ResultReuse, KeptResultEqualsANewOneAcrossStatesFailuresAndTargets) {
    const System chon = read_dat(example("c-h-o-n.dat"));  // C H N O Ar
    EquilibriumProblem air = EquilibriumProblem::all_entered(chon), sooty = air, none = air;
    air.element_amount = {1.0, 4.0, 15.04, 4.0, 0.09};
    sooty.element_amount = {3.0, 1.0, 1e-9, 0.5, 0.0};
    none.element_amount = {0.0, 0.0, 0.0, 0.0, 0.0};
    // Enthalpy target: the H of the air state at 2400 K, found again from 1500 K.
    Solver probe;
    Conditions c2400;
    c2400.T = 2400.0;
    const double H2400 = probe.equilibrate(air, c2400).H;
    const Calculation target = [&](Solver& s, EquilibriumResult& out) {
        Conditions c;
        c.T = 1500.0;
        c.target.kind = TargetKind::enthalpy;
        c.target.value = H2400;
        s.equilibrate(air, c, out);
    };
    expect_kept_equals_new({at(air, 2000.0, 1e5, true), at(sooty, 900.0, 2e5), at(none, 1000.0, 1e5),
                            at(air, 2600.0, 5e6), target, at(sooty, 1400.0, 1e4, true), at(air, -5.0, 1e5),
                            at(air, 1200.0, 1e5)});
}

TEST(ResultReuse, KeptResultEqualsANewOneWithSublatticePhases) {
    const System zrh = read_dat(example("zr-h.dat"));
    EquilibriumProblem lean = EquilibriumProblem::all_entered(zrh), rich = lean;
    ASSERT_EQ(lean.element_amount.size(), 2u);
    const bool h_first = zrh.elements[0].symbol == "H";
    lean.element_amount = h_first ? std::vector<double>{0.2, 1.0} : std::vector<double>{1.0, 0.2};
    rich.element_amount = h_first ? std::vector<double>{1.7, 1.0} : std::vector<double>{1.0, 1.7};
    expect_kept_equals_new({at(lean, 800.0, 1e5, true), at(rich, 600.0, 1e5), at(lean, 1100.0, 1e5),
                            at(rich, 900.0, 1e5, true)});
}

}  // namespace
}  // namespace eqcore::testing
