// Speed of quasichemical liquids: an equilibrium of the invented oxide slag
// (a quadruplet liquid of four cations and one anion, ten quadruplets) with
// two solids present, cold (no reuse of the previous solution) and warm (the
// previous solution, 10 K away, is the start); one evaluation of the
// liquid's remainder with its gradient and Hessian; and the internal
// distribution solved at fixed composition: again at the same one, along
// nearby ones, and cold.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "run_tp.hpp"
#include "solver/solver.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/quasichem.hpp"
#include "thermo/quasichem_distribution.hpp"

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

// The same composition again (a stream's properties asked one after the
// other): the last distribution is confirmed.
void BM_Slag_InternalDistribution(benchmark::State& state) {
    const QuasichemModel& m = slag_model();
    std::vector<double> n = {0.4, 0.2, 0.05, 0.3}, v(static_cast<std::size_t>(m.layout().variables));
    for (auto _ : state) {
        benchmark::DoNotOptimize(internal_equilibrium(m, kT, n, v));
        benchmark::ClobberMemory();
    }
}

// Sixteen compositions in turn, each within 1 % of the one before (a stream
// changing along a calculation): each solve starts from the last one.
void run_nearby(benchmark::State& state, bool derivatives) {
    const QuasichemModel& m = slag_model();
    std::vector<std::vector<double>> ns;
    for (int i = 0; i < 16; ++i) {
        const double f = 1.0 + 0.01 * (i < 8 ? i : 16 - i);
        ns.push_back({0.4 * f, 0.2 / f, 0.05 * f, 0.3});
    }
    std::vector<double> v(static_cast<std::size_t>(m.layout().variables)), dmu(derivatives ? 16 : 0);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(internal_equilibrium(m, kT, ns[i++ % ns.size()], v, dmu));
        benchmark::ClobberMemory();
    }
}
void BM_Slag_InternalDistribution_Nearby(benchmark::State& s) { run_nearby(s, false); }
void BM_Slag_InternalDistribution_Nearby_Derivatives(benchmark::State& s) { run_nearby(s, true); }

// Without a previous solution: a new solver (its arrays allocated), started
// from random mixing.
void BM_Slag_InternalDistribution_Cold(benchmark::State& state) {
    const QuasichemModel& m = slag_model();
    std::vector<double> n = {0.4, 0.2, 0.05, 0.3}, v(static_cast<std::size_t>(m.layout().variables));
    for (auto _ : state) {
        QuasichemDistribution d(m);
        benchmark::DoNotOptimize(d.solve(kT, n, v, {}));
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_Slag_TP_Cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_TP_Warm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_Remainder_GradientHessian)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_InternalDistribution)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_InternalDistribution_Nearby)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_InternalDistribution_Nearby_Derivatives)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Slag_InternalDistribution_Cold)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
