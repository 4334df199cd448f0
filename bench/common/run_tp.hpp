// One fixed-T,P equilibrium timed over and over, for the solver benchmarks:
// cold (the solver forgets its previous solution before each call) or warm
// (the previous solution, at a temperature 10 K away, is the start). The
// counters give the Newton iterations of the last call and the number of
// phases present.
#pragma once

#include <benchmark/benchmark.h>

#include "solver/problem.hpp"
#include "solver/solver.hpp"

namespace eqcore::bench {

inline void run_tp(benchmark::State& state, const EquilibriumProblem& pr, double T, bool warm) {
    Solver solver;
    EquilibriumResult r;
    Conditions c;
    c.T = T;
    solver.equilibrate(pr, c, r);
    if (!r.succeeded()) state.SkipWithError(r.message.c_str());
    int present = 0;
    for (const PhaseResult& p : r.phases) present += p.present ? 1 : 0;
    bool flip = false;
    for (auto _ : state) {
        if (warm) {
            flip = !flip;
            c.T = flip ? T + 10.0 : T;
        } else {
            solver.forget();
        }
        solver.equilibrate(pr, c, r);
        benchmark::DoNotOptimize(&r);
        benchmark::ClobberMemory();
    }
    if (!r.succeeded()) state.SkipWithError(r.message.c_str());
    state.counters["newton"] = r.iterations;
    state.counters["phases"] = present;
}

}  // namespace eqcore::bench
