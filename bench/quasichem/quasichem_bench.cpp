// Speed of quasichemical liquids: an equilibrium of the invented oxide slag
// (a quadruplet liquid of four cations and one anion, ten quadruplets) with
// two solids present, cold (no reuse of the previous solution) and warm (the
// previous solution, 10 K away, is the start); one evaluation of the
// liquid's remainder with its gradient and Hessian; and the internal
// distribution solved at fixed composition.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "run_tp.hpp"
#include "solver/solver.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/quasichem.hpp"

namespace {

using namespace eqcore;

const System& slag() {
    static const System s = read_dat(std::string(EQCORE_QC_DATA_DIR) + "/qc_slag.dat");
    return s;
}

// Ca 2, Mg 1, Fe 0.05, Si 0.3, O 3.65 mol at 1600 K: the liquid with
// CaO and MgO solids.
EquilibriumProblem slag_problem() {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(slag());
    pr.element_amount = {2.0, 1.0, 0.05, 0.3, 3.65};
    return pr;
}
constexpr double kT = 1600.0;

void run_tp(benchmark::State& state, bool warm) { bench::run_tp(state, slag_problem(), kT, warm); }

void BM_Slag_TP_Cold(benchmark::State& s) { run_tp(s, false); }
void BM_Slag_TP_Warm(benchmark::State& s) { run_tp(s, true); }

const QuasichemModel& slag_model() {
    static const QuasichemModel m(slag(), 0);
    return m;
}

void BM_Slag_Remainder_GradientHessian(benchmark::State& state) {
    const QuasichemModel& m = slag_model();
    const std::size_t K = static_cast<std::size_t>(m.layout().variables);
    std::vector<double> w(K, 1.0 / static_cast<double>(K)), g(K), h(K * K);
    for (auto _ : state) {
        benchmark::DoNotOptimize(m.excess(kT, w, g, h));
        benchmark::ClobberMemory();
    }
    state.counters["quadruplets"] = static_cast<double>(K);
}

void BM_Slag_InternalDistribution(benchmark::State& state) {
    const QuasichemModel& m = slag_model();
    std::vector<double> n = {0.4, 0.2, 0.05, 0.3}, v(static_cast<std::size_t>(m.layout().variables));
    for (auto _ : state) {
        benchmark::DoNotOptimize(internal_equilibrium(m, kT, n, v));
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_Slag_TP_Cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_TP_Warm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_Remainder_GradientHessian)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_InternalDistribution)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
