// An element the material holds only as a trace, dissolved in a major
// quadruplet melt whose constituents are all neutral salts: Li2O at 1e-6 ..
// 1e-10 of a MgF2 melt. No constituent of the melt depends on the charges'
// direction of the element potentials, so nothing present fixes pi along
// it (in qc_salts_only.dat no phase of the system does); the Li balance
// must still close to the solver's own tolerance. Checked against balances
// recomputed here from the fed amounts and the reported constituent amounts
// (the data's formulas), and by the acceptance check, cold and warm. The
// same for silica in an oxide slag.
#include <cmath>
#include <string>
#include <vector>

#include "check/acceptance.hpp"
#include "check/stress.hpp"
#include "qc_util.hpp"
#include "solver/solver.hpp"

namespace eqcore {
namespace {

using testing::qc_load;
using testing::qc_phase;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct Fed {
    const char* phase;
    const char* name;
    double mol;
};

int constituent_named(const System& sys, int phase, const std::string& name) {
    for (int k = 0; k < sys.phases[sz(phase)].count; ++k)
        if (sys.constituent(phase, k).name == name) return k;
    ADD_FAILURE() << "no constituent " << name;
    return 0;
}

// Element amounts of the fed constituents, from their formulas.
std::vector<double> fed_elements(const System& sys, const std::vector<Fed>& feed) {
    std::vector<double> b(sz(sys.element_count()), 0.0);
    for (const Fed& f : feed) {
        const int phase = qc_phase(sys, f.phase);
        const Constituent& c = sys.constituent(phase, constituent_named(sys, phase, f.name));
        for (int j = 0; j < sys.element_count(); ++j) b[sz(j)] += f.mol * c.stoich[sz(j)];
    }
    return b;
}

// The largest |held - fed| / fed over the elements, the held amounts summed
// from the result's constituent amounts.
double worst_balance(const System& sys, const std::vector<double>& b, const EquilibriumResult& r) {
    std::vector<double> held(b.size(), 0.0);
    for (int p = 0; p < sys.phase_count(); ++p)
        for (int k = 0; k < sys.phases[sz(p)].count; ++k) {
            const Constituent& c = sys.constituent(p, k);
            const double n = r.amount[sz(sys.phases[sz(p)].first + k)];
            for (std::size_t j = 0; j < b.size(); ++j) held[j] += n * c.stoich[j];
        }
    double worst = 0.0;
    // An element not fed must not be held at all.
    for (std::size_t j = 0; j < b.size(); ++j)
        worst = std::max(worst, b[j] > 0.0 ? std::abs(held[j] - b[j]) / b[j] : held[j] == 0.0 ? 0.0 : HUGE_VAL);
    return worst;
}

// Solves the feed at T, P cold, then warm from T_near, and checks each
// answer: succeeded, accepted, the melt alone present (holding the trace),
// every balance within 1e-12 of its element's amount.
void solve_and_check(const System& sys, const char* melt, const std::vector<Fed>& feed, double T, double P,
                     double T_near) {
    const int liq = qc_phase(sys, melt);
    EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
    for (const Fed& f : feed) {
        const int phase = qc_phase(sys, f.phase);
        pr.add("feed", phase, constituent_named(sys, phase, f.name), f.mol);
    }
    const std::vector<double> b = fed_elements(sys, feed);
    Conditions c;
    c.T = T;
    c.P = P;
    Solver cold, warm;
    const EquilibriumResult rc = solve_cold(cold, pr, c);
    prepare_warm(warm, pr, c, T_near);
    const EquilibriumResult rw = warm.equilibrate(pr, c);
    for (const EquilibriumResult* r : {&rc, &rw}) {
        SCOPED_TRACE(r == &rc ? "cold" : "warm");
        EXPECT_TRUE(r->succeeded()) << r->message;
        if (!r->succeeded()) continue;
        const AcceptanceReport rep = check_equilibrium(pr, *r);
        EXPECT_TRUE(rep.ok) << rep.summary();
        EXPECT_LE(worst_balance(sys, b, *r), 1e-12);
        for (int p = 0; p < sys.phase_count(); ++p)
            EXPECT_EQ(r->phases[sz(p)].present, p == liq) << sys.phases[sz(p)].name;
    }
}

// The state the stress harness found, cold and warm as it solved them.
TEST(TraceInMelt, LithiaTraceInAFluorideMeltFromTheStressHarness) {
    for (const char* file : {"qc_example_3.dat", "qc_salts_only.dat"}) {
        SCOPED_TRACE(file);
        const System sys = qc_load(file);
        solve_and_check(sys, "LIQ_Q3",
                        {{"LIQ_Q3", "MgF2", 3.8557104675199638},
                         {"LIQ_Q3", "MgF2", 0.57684673684122523},
                         {"LIQ_Q3", "Li2O", 2.7975173799786024e-07}},
                        2501.8314231258387, 6952.3753013851883, 2402.1755053624879);
    }
}

// The same in an oxide slag: silica at 4e-13 of a CaO-MgO melt, fed partly
// as the solids (a state of the stress harness, cold and warm).
TEST(TraceInMelt, SilicaTraceInAnOxideSlagFromTheStressHarness) {
    const System sys = qc_load("qc_slag.dat");
    solve_and_check(sys, "SLAG",
                    {{"SLAG", "MgO", 35.709737176765387},
                     {"SLAG", "CaO", 17.784380409468856},
                     {"CaO_s(s)", "CaO_s(s)", 6.4576639354652405},
                     {"SiO2_s(s)", "SiO2_s(s)", 2.5998233310369745e-11}},
                    1883.9845314339673, 7603.4119321596772, 1899.5163226421287);
}

// Li2O from 1e-6 to 1e-10 of the melt, and the same traces as LiF (Li with
// F, no O trace beside it), over temperatures from well below to well
// above the state's.
TEST(TraceInMelt, LithiumTracesOfEverySizeKeepTheirBalance) {
    for (const char* file : {"qc_example_3.dat", "qc_salts_only.dat"}) {
        const System sys = qc_load(file);
        for (const char* trace : {"Li2O", "LiF"})
            for (const double share : {1e-6, 1e-7, 1e-8, 1e-9, 1e-10})
                for (const double T : {1800.0, 2500.0, 3500.0}) {
                    SCOPED_TRACE(::testing::Message() << file << ": " << trace << " " << share << ", " << T << " K");
                    const double melt = 4.4325571;
                    solve_and_check(sys, "LIQ_Q3", {{"LIQ_Q3", "MgF2", melt}, {"LIQ_Q3", trace, share * melt}}, T,
                                    1e5, T - 100.0);
                }
    }
}

}  // namespace
}  // namespace eqcore
