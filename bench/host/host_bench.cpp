// Speed of the host services the flash calls in its loops: the root finder
// over a flash-like enthalpy balance with a phase change, and packing a
// substream of many components.
#include <benchmark/benchmark.h>

#include <vector>

#include "elvar.hpp"
#include "host_services.hpp"

namespace {

// Enthalpy balance of a feed that melts at 1500 K: a jump of 2e5 W there.
double balance(double t) { return 3.0e2 * (t - 1400.0) + (t > 1500.0 ? 2.0e5 : 0.0) - 6.0e4; }

void BM_RootFinderFlashSearch(benchmark::State& state) {
    for (auto _ : state) {
        double rfwork[6] = {100.0, 1.0e-6, 10.0, 0.0, 1.0e-3, 0.0};
        ftn::Int iflag = 0, rfctl = 0;
        double x = 1000.0;
        do {
            const double f = balance(x);
            ZMTH_ROOT1N(&iflag, &x, &f, rfwork, &rfctl);
            rfwork[2] = 500.0;
        } while (iflag > 0);
        benchmark::DoNotOptimize(x);
    }
}
BENCHMARK(BM_RootFinderFlashSearch);

void BM_PackSubstream(benchmark::State& state) {
    elvar::RunSetup setup;
    setup.report_path = "/dev/null";
    setup.terminal = elvar::TerminalMode::capture;
    const auto n = static_cast<std::size_t>(state.range(0));
    for (std::size_t k = 0; k < n; ++k) {
        std::string id = std::to_string(k);
        id.insert(id.begin(), 'C');
        setup.components.push_back({id, "H2O:G1", "H2O", {}});
    }
    elvar::Run run(setup);
    std::vector<double> sub(n + 9, 0.0);
    for (std::size_t k = 0; k < n; k += 3) sub[k] = 1.0e-3 * static_cast<double>(k + 1);
    std::vector<ftn::Int> idx(n);
    std::vector<double> x(n);
    ftn::Int count = 0;
    double flow = 0.0;
    for (auto _ : state) {
        SHS_CPACK(sub.data(), &count, idx.data(), x.data(), &flow);
        benchmark::DoNotOptimize(flow);
    }
}
BENCHMARK(BM_PackSubstream)->Arg(10)->Arg(1500);

}  // namespace

BENCHMARK_MAIN();
