// A stream property through the entry points, as a property routine of the
// plug-in asks for it: define the stream, add ten gas constituents, read
// its enthalpy (c-h-o-n.dat, 1500 K, 1 bar, units Pa, K, m3, J, mol).
#include <benchmark/benchmark.h>

#include <string>

#include "eqcore_calls.hpp"

namespace {

using ftn::Int;
using ftn::Real;

void setup() {
    Int e = 0;
    PPSTUB_ECINI(&e);
    const std::pair<std::string, std::string> units[] = {
        {"pressure", "Pa"}, {"temperature", "K"}, {"volume", "m3"}, {"energy", "J"}, {"amount", "mol"}};
    for (auto& [q, u] : units) PPSTUB_ECUNIT(q.data(), u.data(), &e, q.size(), u.size());
    const Int unit = 70;
    PPSTUB_ECSIO("file", &unit, &e, 4);
    std::string path = std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat";
    path.resize(256, ' ');
    PPSTUB_ECOPTX(path.data(), &unit, &e, path.size());
    PPSTUB_ECRDTX(&e);
    if (e != 0) throw std::runtime_error("c-h-o-n.dat did not load");
}

// "THERMO" defined at 1500 K and 1 bar (or its temperature and pressure
// reset when it exists) and 10, 20, ..., 100 mol of the first ten gas
// constituents added; `e` keeps the status of the last call.
void fill_thermo(Int& e) {
    const Real tp[2] = {1500.0, 1.0e5};
    const Int phase = 1;
    PPSTUB_ECSTDF("THERMO", tp, &e, 6);
    for (Int c = 1; c <= 10; ++c) {
        const Real amount = 10.0 * static_cast<Real>(c);
        PPSTUB_ECSTAM("THERMO", &phase, &c, &amount, &e, 6);
    }
}

// The measured set: the stream defined, ten amounts added, its enthalpy
// read. The stream already exists from the previous round, so ECSTDF resets
// its temperature and pressure and the amounts keep growing (harmless here).
void StreamProperty10Gas(benchmark::State& state) {
    setup();
    Real h = 0.0;
    Int e = 0;
    for (auto _ : state) {
        fill_thermo(e);
        PPSTUB_ECSTPR("THERMO", "H", &h, &e, 6, 1);
        benchmark::DoNotOptimize(h);
    }
    if (e != 0) state.SkipWithError("an entry point failed");
}
BENCHMARK(StreamProperty10Gas);

// As the property routines of the plug-in do it: the stream removed first,
// then defined afresh.
void StreamProperty10GasFresh(benchmark::State& state) {
    setup();
    Real h = 0.0;
    Int e = 0;
    for (auto _ : state) {
        PPSTUB_ECSTDL("THERMO", &e, 6);
        fill_thermo(e);
        PPSTUB_ECSTPR("THERMO", "H", &h, &e, 6, 1);
        benchmark::DoNotOptimize(h);
    }
    if (e != 0) state.SkipWithError("an entry point failed");
}
BENCHMARK(StreamProperty10GasFresh);

// The eleven calls that fill the stream, without the property.
void StreamFill10Gas(benchmark::State& state) {
    setup();
    Int e = 0;
    for (auto _ : state) {
        fill_thermo(e);
    }
    if (e != 0) state.SkipWithError("an entry point failed");
}
BENCHMARK(StreamFill10Gas);

// The property alone, on a stream already filled.
void StreamPropertyOnly10Gas(benchmark::State& state) {
    setup();
    Int e = 0;
    fill_thermo(e);
    Real h = 0.0;
    for (auto _ : state) {
        PPSTUB_ECSTPR("THERMO", "H", &h, &e, 6, 1);
        benchmark::DoNotOptimize(h);
    }
    if (e != 0) state.SkipWithError("an entry point failed");
}
BENCHMARK(StreamPropertyOnly10Gas);

}  // namespace
