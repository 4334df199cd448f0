// Unrelated states in sequence through the entry points, as they arrive from
// a flowsheet: methane-air (CH4 + 2 O2 + 7.52 N2, c-h-o-n.dat) at 2000
// temperatures uniform in 1000-3000 K and pressures uniform in 0.1-100 bar
// (fixed seed), each equilibrium started from the previous state's result.
// "per_state" is the time of one state: conditions set, equilibrium, the
// gas amount read back.
#include <benchmark/benchmark.h>

#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "eqcore_calls.hpp"

namespace {

using ftn::Int;
using ftn::Real;

// Number (from 1) of the gas constituent named `name`.
Int gas_constituent(const std::string& name) {
    const Int gas = 1;
    Int count = 0, e = 0;
    PPSTUB_ECNPC(&gas, &count, &e);
    for (Int c = 1; c <= count; ++c) {
        char text[24];
        PPSTUB_ECCNM(&gas, &c, text, &e, sizeof text);
        std::string s(text, sizeof text);
        s.erase(s.find_last_not_of(' ') + 1);
        if (e == 0 && s == name) return c;
    }
    throw std::runtime_error("no gas constituent " + name);
}

// c-h-o-n.dat loaded in units Pa and K, the feed stream defined.
void setup() {
    Int e = 0;
    PPSTUB_ECINI(&e);
    PPSTUB_ECUNIT("pressure", "Pa", &e, 8, 2);
    PPSTUB_ECUNIT("temperature", "K", &e, 11, 1);
    const Int unit = 71;
    PPSTUB_ECSIO("file", &unit, &e, 4);
    std::string path = std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat";
    PPSTUB_ECOPTX(path.data(), &unit, &e, path.size());
    PPSTUB_ECRDTX(&e);
    if (e != 0) throw std::runtime_error("c-h-o-n.dat did not load");
    const Real tp[2] = {298.15, 1.0e5};
    PPSTUB_ECSTDF("FEED", tp, &e, 4);
    const Int gas = 1;
    for (const auto& [name, mol] :
         std::vector<std::pair<std::string, Real>>{{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}}) {
        const Int c = gas_constituent(name);
        PPSTUB_ECSTAM("FEED", &gas, &c, &mol, &e, 4);
    }
    if (e != 0) throw std::runtime_error("the feed stream was refused");
}

void UnrelatedStates_MethaneAir_2000(benchmark::State& state) {
    constexpr int count = 2000;
    setup();
    std::mt19937_64 rng(20261207);
    std::uniform_real_distribution<Real> T(1000.0, 3000.0), P(1.0e4, 1.0e7);
    std::vector<std::pair<Real, Real>> states(count);
    for (auto& s : states) s = {T(rng), P(rng)};

    const Int none = 0, gas = 1;
    const Real values[2] = {0.0, 0.0};
    Int number = 0, e = 0, failed = 0;
    Real amount = 0.0;
    for (auto _ : state) {
        for (const auto& [t, p] : states) {
            PPSTUB_ECSETC("T", &none, &none, &t, &number, &e, 1);
            PPSTUB_ECSETC("P", &none, &none, &p, &number, &e, 1);
            PPSTUB_ECEQ("  ", &none, &none, values, &e, 2);
            failed += e != 0;
            PPSTUB_ECRES("A", &gas, &none, &amount, &e, 1);
            benchmark::DoNotOptimize(amount);
        }
    }
    if (failed != 0) state.SkipWithError("a state failed");
    state.counters["per_state"] = benchmark::Counter(
        count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(UnrelatedStates_MethaneAir_2000)->Unit(benchmark::kMillisecond);

}  // namespace
