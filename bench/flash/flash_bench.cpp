// Time of one flash with chemistry of a stoichiometric methane-air feed on
// the C-H-O-N example, through the host stand-in and the plug-in: at fixed
// temperature and pressure, and adiabatic at fixed pressure (the feed
// entering at 1100 K: the engine does not yet converge from colder
// estimates, and the flash hands it the feed temperature as its estimate).
#include <benchmark/benchmark.h>

#include "flash_case.hpp"

namespace {

using flash_test::Component;
using flash_test::FlashCase;

const char* const kSpecies[] = {"H",  "H2",  "O",   "O2",  "OH",  "H2O", "HO2", "H2O2", "O3",
                                "N",  "N2",  "NO",  "NO2", "N2O", "NH3", "CO",  "CO2",  "CH4"};

std::vector<Component> components() {
    std::vector<Component> out;
    for (const char* s : kSpecies) out.push_back({s, std::string(s) + ":G1", s});
    return out;
}

// One equation naming every species: the flash only asks which take part.
elvar::Chemistry chemistry() {
    std::vector<std::pair<std::string, double>> all;
    for (const char* s : kSpecies) all.emplace_back(s, 1.0);
    return {{all}};
}

// The feed enters at T_feed with the engine's own enthalpy.
struct Setup {
    FlashCase c{flash_test::data_file("c-h-o-n.dat"), components(), {chemistry()}};
    elvar::StreamLayout layout{c.ncomp(), {elvar::SubstreamType::mixed}};
    std::vector<double> stream;
    explicit Setup(double T_feed) {
        const std::vector<ftn::Int> idx{c.component("CH4"), c.component("O2"), c.component("N2")};
        const std::vector<double> x{1.0 / 10.52, 2.0 / 10.52, 7.52 / 10.52};
        const double mw = x[0] * c.mw("CH4") + x[1] * c.mw("O2") + x[2] * c.mw("N2");
        elvar::SubstreamValues in;
        in.flows = c.flows({{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}});
        in.T = T_feed;
        in.P = 1.0e5;
        in.h = flash_test::vapour_enthalpy(idx, x, T_feed, 1.0e5) / mw;
        stream = layout.make({in});
    }
};

void run_flashes(benchmark::State& state, double T_feed, ftn::Int kode,
                 const elvar::FlashConditions& conditions) {
    Setup s(T_feed);
    for (auto _ : state) {
        elvar::FlashArgs a(s.layout, s.stream);
        a.kode = kode;
        a.ids[2] = s.c.run().chemistry(0);
        s.c.flash(a, conditions);
        // A flash that got to its results marks the work area with 1.
        if (a.ker != 0 || s.c.run().flash_results().done != 1.0) {
            state.SkipWithError("the flash failed");
            break;
        }
        benchmark::DoNotOptimize(a.strvec.data());
    }
}

void BM_FlashTP_MethaneAir_2000K(benchmark::State& state) {
    run_flashes(state, 298.15, 2, {2000.0, 1.0e5, elvar::kRmiss});
}
void BM_FlashPQ_MethaneAir_Adiabatic(benchmark::State& state) {
    run_flashes(state, 1100.0, 1, {elvar::kRmiss, 1.0e5, 0.0});
}

}  // namespace

BENCHMARK(BM_FlashTP_MethaneAir_2000K)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FlashPQ_MethaneAir_Adiabatic)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
