// Parse and load speed of the c-h-o-n system (19 gas species, 2 condensed
// phases), and the hot model calls: G° alone, G°/H°/S°/Cp°, and the
// properties of a 10-constituent gas and of the Ag-Cu liquid.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "thermo/models.hpp"
#include "thermo/phase_props.hpp"
#include "thermo/standard.hpp"

namespace {

using namespace eqcore;

std::string file_bytes(const std::string& name) {
    std::ifstream in(std::string(EQLINK_EXAMPLES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void parse_dat(benchmark::State& state, const char* file) {
    const std::string text = file_bytes(file);
    for (auto _ : state) {
        std::istringstream in(text);
        System sys = read_dat(in, file);
        benchmark::DoNotOptimize(sys);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
void BM_ParseDat(benchmark::State& state) { parse_dat(state, "c-h-o-n.dat"); }
BENCHMARK(BM_ParseDat);

// Bytes processed are those of the .dat, so the rate compares directly.
void load_cst(benchmark::State& state, const char* file) {
    const std::string text = file_bytes(file);
    std::istringstream in(text);
    std::ostringstream out;
    write_cst(read_dat(in, file), CstHeader{}, out);
    const std::string bytes = out.str();
    for (auto _ : state) {
        std::istringstream bin(bytes);
        CstFile f = read_cst(bin, "compiled.cst");
        benchmark::DoNotOptimize(f);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
void BM_LoadCst(benchmark::State& state) { load_cst(state, "c-h-o-n.dat"); }
BENCHMARK(BM_LoadCst);

// Files with sublattice and magnetic phases; the iron file with a function library.
BENCHMARK_CAPTURE(parse_dat, al_mg, "al-mg.dat");
BENCHMARK_CAPTURE(load_cst, al_mg, "al-mg.dat");
BENCHMARK_CAPTURE(parse_dat, fe_sgte, "fe-sgte.dat");
BENCHMARK_CAPTURE(load_cst, fe_sgte, "fe-sgte.dat");

// The parts of a load: the checksum alone, and the structure without it.
void BM_CstChecksum(benchmark::State& state) {
    std::istringstream in(file_bytes("c-h-o-n.dat"));
    std::ostringstream out;
    write_cst(read_dat(in, "c-h-o-n.dat"), CstHeader{}, out);
    const std::string bytes = out.str();
    for (auto _ : state) benchmark::DoNotOptimize(cst_checksum(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_CstChecksum);

void BM_CstStructureOnly(benchmark::State& state) {
    std::istringstream in(file_bytes("c-h-o-n.dat"));
    std::ostringstream out;
    write_cst(read_dat(in, "c-h-o-n.dat"), CstHeader{}, out);
    const std::string bytes = out.str();
    for (auto _ : state) {
        CstFile f = read_cst_bytes(bytes, "c-h-o-n.cst", false);
        benchmark::DoNotOptimize(f);
    }
}
BENCHMARK(BM_CstStructureOnly);

const System& cho() {
    static const System sys = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat");
    return sys;
}

void BM_Gibbs0(benchmark::State& state) {
    const Constituent& c = cho().constituents[5];
    double T = 1500.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gibbs0(c, T));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Gibbs0);

void BM_Standard(benchmark::State& state) {
    const Constituent& c = cho().constituents[5];
    double T = 1500.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(standard(c, T));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Standard);

// The gas of c-h-o-n cut to its first 10 constituents.
System gas10() {
    System sys = cho();
    sys.phases.resize(1);
    sys.phases[0].count = 10;
    sys.constituents.resize(10);
    return sys;
}

void BM_PhasePropsGas10(benchmark::State& state) {
    const System sys = gas10();
    const auto model = make_model(sys, 0);
    const std::vector<double> n = {0.1, 0.2, 0.3, 0.05, 0.07, 0.11, 0.13, 0.17, 0.19, 0.23};
    for (auto _ : state) {
        PhaseProps p = phase_props(*model, 1500.0, 1e5, n);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_PhasePropsGas10);

void BM_PhasePropsGas10WithDerivatives(benchmark::State& state) {
    const System sys = gas10();
    const auto model = make_model(sys, 0);
    const std::vector<double> n = {0.1, 0.2, 0.3, 0.05, 0.07, 0.11, 0.13, 0.17, 0.19, 0.23};
    std::vector<double> mu(10), dmu(100);
    for (auto _ : state) {
        PhaseProps p = phase_props(*model, 1500.0, 1e5, n, mu, dmu);
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PhasePropsGas10WithDerivatives);

void BM_PhasePropsRkmpLiquid(benchmark::State& state) {
    const System sys = read_dat(std::string(EQLINK_EXAMPLES_DIR) + "/ag-cu-example.dat");
    const auto model = make_model(sys, 1);
    const std::vector<double> n = {0.6, 0.4};
    std::vector<double> mu(2), dmu(4);
    for (auto _ : state) {
        PhaseProps p = phase_props(*model, 1400.0, 1e5, n, mu, dmu);
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PhasePropsRkmpLiquid);

}  // namespace

BENCHMARK_MAIN();
