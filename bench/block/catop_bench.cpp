// Time of one EQLINK_CATOP call on c-h-o-n.dat after start-up: methane and
// air (two inlets, 298.15 K, 1 bar) equilibrated at 2000 K (type 1) and
// adiabatically (type 2, duty 0), two outlets, trace off. Each call writes
// the engine's listing file, as every block calculation does.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "catop.hpp"
#include "elvar.hpp"

namespace {

struct Setup {
    std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "eqlink-block-bench";
    std::optional<elvar::Run> run;
    std::optional<elvar::BlockArgs> args;

    explicit Setup(ftn::Int type) {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        elvar::RunSetup setup;
        setup.case_name = "bench";
        setup.data_file = std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat";
        setup.terminal = elvar::TerminalMode::capture;
        setup.option_sets = {{"EQCORE", ""}};
        const char* gases[] = {"N2", "O2", "CO2", "H2O", "CH4", "CO", "H2", "H", "O", "OH",
                               "HO2", "H2O2", "O3", "N", "NO", "NO2", "N2O", "NH3"};
        for (const char* g : gases) setup.components.push_back({g, std::string(g) + ":G1", g, {}});
        setup.components.push_back({"AR", "AR:G1", "Ar", {}});
        setup.components.push_back({"GRAPH", "C:S1", "C", {}});
        setup.components.push_back({"H2OL", "H2O:L1", "H2O", {}});
        run.emplace(setup);
        run->set_block({"B1", 4, {}});

        const elvar::StreamLayout layout(run->ncomp(), {elvar::SubstreamType::mixed});
        auto inlet = [&](std::vector<std::pair<const char*, double>> mol) {
            elvar::SubstreamValues v;
            v.flows.assign(static_cast<std::size_t>(run->ncomp()), 0.0);
            for (auto [id, n] : mol) v.flows[static_cast<std::size_t>(run->component(id) - 1)] = 1e-3 * n;
            v.T = 298.15;
            v.P = 1.0e5;
            return layout.make({v});
        };
        const double second = type == 1 ? 2000.0 : 0.0;
        args.emplace(layout, std::vector<std::vector<double>>{inlet({{"CH4", 1.0}}), inlet({{"O2", 2.0}, {"N2", 7.52}})},
                     2, std::vector<double>{0.0}, 1, std::vector<ftn::Int>{type, 0, 0, 0},
                     std::vector<double>{1.0e5, second, 0.0, 0.0}, run->option_set("EQCORE"));
    }
    ~Setup() {
        args.reset();
        run.reset();
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
    }

    void call() {
        auto& a = *args;
        auto* sp = a.spare.data();
        EQLINK_CATOP(&a.ninlet, a.sinlet.data(), &a.nhtin, a.htin.data(), &a.noutlt, a.soutlt.data(), &a.nhtout,
                     a.htout.data(), sp, sp + 1, sp + 2, sp + 3, &a.lstrm, &a.nsub, a.subpos.data(),
                     a.subtyp.data(), &a.nipar, a.ipar.data(), &a.nrpar, a.rpar.data(), sp + 4, sp + 5, &a.optset,
                     sp + 6, sp + 7, sp + 8, sp + 9, sp + 10, sp + 11, sp + 12, a.strdsc.data());
        benchmark::DoNotOptimize(a.soutlt.data());
    }
};

void block_call(benchmark::State& state, ftn::Int type) {
    Setup setup(type);
    setup.call();  // start-up and mapping, outside the timing
    if (!(setup.args->soutlt[static_cast<std::size_t>(setup.run->ncomp())] > 0.0)) {
        state.SkipWithError("the block did not complete (see the host's messages)");
        return;
    }
    for (auto _ : state) setup.call();
}

void BM_BlockFixedTemperature(benchmark::State& state) { block_call(state, 1); }
void BM_BlockAdiabatic(benchmark::State& state) { block_call(state, 2); }

BENCHMARK(BM_BlockFixedTemperature);
BENCHMARK(BM_BlockAdiabatic);

}  // namespace

BENCHMARK_MAIN();
