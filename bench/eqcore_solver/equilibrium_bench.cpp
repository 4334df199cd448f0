// Speed of the Gibbs-energy minimiser: fixed-T,P equilibria from a cold start
// (no reuse of the previous solution) and warm (the previous solution, at a
// temperature 10 K away, is the start), a temperature sweep, and an adiabatic
// temperature.
#include <benchmark/benchmark.h>

#include <string>

#include "data/read_dat.hpp"
#include "run_tp.hpp"
#include "solver/solver.hpp"

namespace {

using namespace eqcore;

const System& ho() {
    static const System s = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/h-o.dat");
    return s;
}
// Four elements, eight non-ideal solution candidates (QKTO liquid, fcc in two
// copies, bcc in three; RKMP hcp in two) and two compounds.
const System& quaternary() {
    static const System s = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/hard/hard-quaternary.dat");
    return s;
}
const System& chon() {
    static const System s = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat");
    return s;
}

int gas_constituent(const System& sys, const char* name) {
    for (int k = 0; k < sys.phases[0].count; ++k)
        if (sys.constituent(0, k).name == name) return k;
    return -1;
}

EquilibriumProblem hydrogen_oxygen() {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(ho());
    pr.add("feed", 0, gas_constituent(ho(), "H2"), 2.0);
    pr.add("feed", 0, gas_constituent(ho(), "O2"), 1.0);
    pr.element_amount = pr.elements();
    pr.streams.clear();  // element amounts only: no stream enthalpy in the timing
    return pr;
}

EquilibriumProblem methane_air(bool streams) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(chon());
    pr.add("feed", 0, gas_constituent(chon(), "CH4"), 1.0);
    pr.add("feed", 0, gas_constituent(chon(), "O2"), 2.0);
    pr.add("feed", 0, gas_constituent(chon(), "N2"), 7.52);
    pr.element_amount = pr.elements();
    if (!streams) pr.streams.clear();
    return pr;
}

using bench::run_tp;

// Zr-H, 0.8 Zr + 0.2 H at 600 K: two interstitial sublattice phases
// (alpha Zr(H,Va) and the delta hydride Zr(H,Va)2) with the gas, bcc and
// eleven stoichiometric phases considered.
const System& zrh() {
    static const System s = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/zr-h.dat");
    return s;
}
EquilibriumProblem zirconium_hydrogen() {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(zrh());
    pr.element_amount = {0.8, 0.2};
    return pr;
}
void BM_TP_ZrH_600K_Cold(benchmark::State& s) { run_tp(s, zirconium_hydrogen(), 600.0, false); }
void BM_TP_ZrH_600K_Warm(benchmark::State& s) { run_tp(s, zirconium_hydrogen(), 600.0, true); }
// Fe-C, the binary interstitial file: magnetic bcc (Fe)(C,Va)3 and fcc
// (Fe)(C,Va), cementite and graphite, with the gas. Ferrite with graphite
// at 950 K (x(C) = 0.05), and ferrite with austenite at 1100 K (x(C) = 0.002).
const System& fec() {
    static const System s = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/fe-c.dat");
    return s;
}
EquilibriumProblem iron_carbon(double xC) {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(fec());
    pr.element_amount = {1.0 - xC, xC};
    return pr;
}
void BM_TP_FeC_FerriteGraphite_Cold(benchmark::State& s) { run_tp(s, iron_carbon(0.05), 950.0, false); }
void BM_TP_FeC_FerriteGraphite_Warm(benchmark::State& s) { run_tp(s, iron_carbon(0.05), 950.0, true); }
void BM_TP_FeC_FerriteAustenite_Cold(benchmark::State& s) { run_tp(s, iron_carbon(0.002), 1100.0, false); }
void BM_TP_FeC_FerriteAustenite_Warm(benchmark::State& s) { run_tp(s, iron_carbon(0.002), 1100.0, true); }
// Equimolar Au-Pt-Rh-Ir at 1000 K: hcp + Au3Pt + RhIr, the other seven
// solutions tested for stability at every assemblage.
EquilibriumProblem equimolar_quaternary() {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(quaternary());
    pr.element_amount = {0.25, 0.25, 0.25, 0.25};
    return pr;
}

// Au-Pt (0.4 Au, 0.6 Pt) at 1000 K in the same file: a binary state, with the
// solutions that hold neither element only tested for stability.
EquilibriumProblem binary_in_quaternary() {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(quaternary());
    pr.element_amount = {0.4, 0.6, 0.0, 0.0};
    return pr;
}
void BM_TP_QuaternaryBinary_1000K_Cold(benchmark::State& s) { run_tp(s, binary_in_quaternary(), 1000.0, false); }
void BM_TP_QuaternaryBinary_1000K_Warm(benchmark::State& s) { run_tp(s, binary_in_quaternary(), 1000.0, true); }

void BM_TP_HO_3000K_Cold(benchmark::State& s) { run_tp(s, hydrogen_oxygen(), 3000.0, false); }
void BM_TP_HO_3000K_Warm(benchmark::State& s) { run_tp(s, hydrogen_oxygen(), 3000.0, true); }
void BM_TP_CHON_2000K_Cold(benchmark::State& s) { run_tp(s, methane_air(false), 2000.0, false); }
void BM_TP_CHON_2000K_Warm(benchmark::State& s) { run_tp(s, methane_air(false), 2000.0, true); }
void BM_TP_Quaternary_1000K_Cold(benchmark::State& s) { run_tp(s, equimolar_quaternary(), 1000.0, false); }
void BM_TP_Quaternary_1000K_Warm(benchmark::State& s) { run_tp(s, equimolar_quaternary(), 1000.0, true); }

// Methane-air at 1 bar swept over 200 temperatures evenly spaced from 1000 K
// to 3000 K, each point started from the one before, as a step calculation
// runs; the sweep starts cold. "per_point" is the time of one point.
void BM_Sweep_CHON_200Points(benchmark::State& state) {
    constexpr int points = 200;
    const EquilibriumProblem pr = methane_air(false);
    Solver solver;
    EquilibriumResult r;
    Conditions c;
    bool failed = false;
    for (auto _ : state) {
        solver.forget();
        for (int k = 0; k < points; ++k) {
            c.T = 1000.0 + 2000.0 * k / (points - 1);
            solver.equilibrate(pr, c, r);
            failed = failed || !r.succeeded();
        }
        benchmark::DoNotOptimize(&r);
        benchmark::ClobberMemory();
    }
    if (failed) state.SkipWithError("a point of the sweep failed");
    state.counters["per_point"] = benchmark::Counter(
        points, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Adiabatic_CHON_From298K(benchmark::State& state) {
    const EquilibriumProblem pr = methane_air(true);
    Solver solver;
    EquilibriumResult r;
    Conditions c;
    c.T = 2000.0;
    c.target.kind = TargetKind::enthalpy;
    c.target.value = 0.0;
    for (auto _ : state) {
        solver.forget();
        solver.equilibrate(pr, c, r);
        benchmark::DoNotOptimize(&r);
        benchmark::ClobberMemory();
    }
    if (!r.succeeded()) state.SkipWithError(r.message.c_str());
    state.SetLabel("T = " + std::to_string(r.T) + " K");
    state.counters["newton"] = r.iterations;
    state.counters["equilibria"] = r.calculations;
}

BENCHMARK(BM_TP_HO_3000K_Cold);
BENCHMARK(BM_TP_HO_3000K_Warm);
BENCHMARK(BM_TP_CHON_2000K_Cold);
BENCHMARK(BM_TP_CHON_2000K_Warm);
BENCHMARK(BM_TP_Quaternary_1000K_Cold);
BENCHMARK(BM_TP_Quaternary_1000K_Warm);
BENCHMARK(BM_TP_QuaternaryBinary_1000K_Cold);
BENCHMARK(BM_TP_QuaternaryBinary_1000K_Warm);
BENCHMARK(BM_Sweep_CHON_200Points)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Adiabatic_CHON_From298K);
BENCHMARK(BM_TP_ZrH_600K_Cold);
BENCHMARK(BM_TP_ZrH_600K_Warm);
BENCHMARK(BM_TP_FeC_FerriteGraphite_Cold);
BENCHMARK(BM_TP_FeC_FerriteGraphite_Warm);
BENCHMARK(BM_TP_FeC_FerriteAustenite_Cold);
BENCHMARK(BM_TP_FeC_FerriteAustenite_Warm);

}  // namespace

BENCHMARK_MAIN();
