// Speed of an equilibrium with an ionic two-sublattice liquid: a
// three-cation, two-anion melt with vacancy and a neutral, two solid
// sulphides present, solved cold (no reuse of the previous solution) and
// warm (the previous solution, 10 K away, is the start).
#include <benchmark/benchmark.h>

#include <string>

#include "data/read_dat.hpp"
#include "run_tp.hpp"
#include "solver/solver.hpp"

namespace {

using namespace eqcore;

const System& melt() {
    static const System s = read_dat(std::string(EQCORE_IONIC_DATA_DIR) + "/ionic_melt.dat");
    return s;
}

// Fe 0.3, Mn 0.3, Ca 0.3, S 0.9, O 0.05 mol.
EquilibriumProblem problem() {
    EquilibriumProblem pr = EquilibriumProblem::all_entered(melt());
    pr.element_amount = {0.3, 0.3, 0.3, 0.9, 0.05};
    return pr;
}

void run(benchmark::State& state, bool warm) { bench::run_tp(state, problem(), 1600.0, warm); }

void BM_IonicMelt_1600K_Cold(benchmark::State& s) { run(s, false); }
void BM_IonicMelt_1600K_Warm(benchmark::State& s) { run(s, true); }

}  // namespace

BENCHMARK(BM_IonicMelt_1600K_Cold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IonicMelt_1600K_Warm)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
