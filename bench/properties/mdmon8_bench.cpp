// Time of one EQLINK_MDMON8 call on c-h-o-n.dat after start-up: the vapour
// mixture enthalpy (401) and the vapour chemical-potential terms (405) of
// an air-methane-combustion-gas list.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "mdmon8.hpp"
#include "run.hpp"

namespace {

struct Setup {
    std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "eqlink-props-bench";
    std::optional<elvar::Run> run;
    std::vector<ftn::Int> list{1, 2, 3, 4, 5, 6};
    std::vector<double> x{0.70, 0.08, 0.09, 0.10, 0.02, 0.01};

    Setup() {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        elvar::RunSetup setup;
        setup.case_name = "bench";
        setup.data_file = std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat";
        setup.terminal = elvar::TerminalMode::capture;
        setup.components = {{"N2", "N2:G1", "N2", {}},   {"O2", "O2:G1", "O2", {}},
                           {"CO2", "CO2:G1", "CO2", {}}, {"H2O", "H2O:G1", "H2O", {}},
                           {"CO", "CO:G1", "CO", {}},    {"NO", "NO:G1", "NO", {}}};
        run.emplace(setup);
        run->set_property_request(static_cast<ftn::Int>(list.size()), 4);
    }
    ~Setup() {
        run.reset();
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
    }

    void call(ftn::Int code) {
        const double T = 1500.0, P = 1.0e5;
        const ftn::Int ireq[4] = {1, 1, 0, 0};
        double prop[18] = {};
        EQLINK_MDMON8(&code, list.data(), &T, &P, nullptr, x.data(), nullptr, ireq, nullptr, nullptr, nullptr,
                      prop);
        benchmark::DoNotOptimize(prop);
    }
};

void monitor_call(benchmark::State& state, ftn::Int code) {
    Setup setup;
    setup.call(code);  // start-up and mapping, outside the timing
    for (auto _ : state) setup.call(code);
}

void BM_MixtureEnthalpy401(benchmark::State& state) { monitor_call(state, 401); }
void BM_ChemicalPotential405(benchmark::State& state) { monitor_call(state, 405); }

BENCHMARK(BM_MixtureEnthalpy401);
BENCHMARK(BM_ChemicalPotential405);

}  // namespace

BENCHMARK_MAIN();
