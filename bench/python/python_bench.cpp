// The Python package's cost over the engine it wraps, measured side by side
// in one process (the interpreter embedded):
//  - one equilibrium of methane-air at 2000 K (warm: the temperature
//    alternates 2000 / 2010 K, as in eqcore_solver_bench), through the C++
//    calculator the module binds and through eqcore.System.equilibrate;
//  - a 2000-point temperature step of the same feed, in C++ and through
//    System.step with one and with two worker threads.
// The difference of the two equilibrium times is the Python overhead of a
// call; the step times give the speed-up of the threads.
#include <benchmark/benchmark.h>
#include <pybind11/embed.h>
#include <pybind11/numpy.h>

#include <string>
#include <vector>

#include "engine.hpp"
#include "load.hpp"

namespace {

namespace py = pybind11;
using namespace eqcore;
using namespace eqcore::python;

const std::string kData = std::string(EQLINK_EXAMPLES_DIR) + "/c-h-o-n.dat";

// The interpreter, started once, with the package of the build tree.
py::module_& main_module() {
    static py::scoped_interpreter interpreter;
    static py::module_ m = [] {
        py::module_::import("sys").attr("path").attr("insert")(0, EQCORE_PYTHON_DIR);
        py::module_ mm = py::module_::import("__main__");
        mm.attr("DATA") = kData;
        py::exec(R"(
import itertools, numpy, eqcore
system = eqcore.load(DATA)
feed = {"CH4": 1.0, "O2": 2.0, "N2": 7.52}
temperatures = itertools.cycle((2000.0, 2010.0))
def equilibrate():
    return system.equilibrate(T=next(temperatures), P=1e5, feed=feed)
step_T = numpy.linspace(1000.0, 3000.0, 2000)
def step(workers):
    return system.step(T=step_T, P=1e5, feed=feed, workers=workers, progress=False)
)",
                 mm.attr("__dict__"));
        return mm;
    }();
    return m;
}

Request methane_air(const System& sys) {
    Request q;
    q.P = 1.0e5;
    for (const auto& [name, mol] : {std::pair{"CH4", 1.0}, {"O2", 2.0}, {"N2", 7.52}})
        for (std::size_t g = 0; g < sys.constituents.size(); ++g)
            if (sys.constituents[g].name == name) {
                q.stream_index.push_back(static_cast<int>(g));
                q.stream_amount.push_back(mol);
                break;
            }
    return q;
}

void BM_Equilibrate_Native(benchmark::State& state) {
    Engine engine(load_file(kData));
    Request q = methane_air(engine.system());
    EquilibriumResult r;
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        q.T = flip ? 2010.0 : 2000.0;
        engine.equilibrate(q, r);
        benchmark::DoNotOptimize(&r);
    }
}

void BM_Equilibrate_Python(benchmark::State& state) {
    py::object f = main_module().attr("equilibrate");
    for (auto _ : state) benchmark::DoNotOptimize(f().ptr());
}

void BM_Step2000_Native(benchmark::State& state) {
    Engine engine(load_file(kData));
    const Request q = methane_air(engine.system());
    const std::size_t n = 2000, np = engine.system().phases.size(), nc = engine.system().constituents.size(),
                      ne = engine.system().elements.size();
    std::vector<double> T(n), scalars(9 * n), phase(2 * n * np), con(2 * n * nc), el(n * ne);
    std::vector<std::uint8_t> ok(n), present(n * np);
    for (std::size_t i = 0; i < n; ++i) T[i] = 1000.0 + 2000.0 * static_cast<double>(i) / static_cast<double>(n - 1);
    StepColumns c;
    c.ok = ok.data();
    c.present = present.data();
    double* s = scalars.data();
    for (double** col : {&c.T, &c.P, &c.G, &c.H, &c.S, &c.Cp, &c.V, &c.H_in, &c.heat}) {
        *col = s;
        s += n;
    }
    c.phase_amount = phase.data();
    c.driving_force = phase.data() + n * np;
    c.amount = con.data();
    c.mole_fraction = con.data() + n * nc;
    c.element_potential = el.data();
    for (auto _ : state) {
        const auto failures = engine.step(q, StepVariable::temperature, T.data(), n, StepAmount{}, c);
        if (!failures.empty()) state.SkipWithError(failures.front().message.c_str());
    }
}

void BM_Step2000_Python(benchmark::State& state) {
    py::object f = main_module().attr("step");
    for (auto _ : state) benchmark::DoNotOptimize(f(state.range(0)).ptr());
}

BENCHMARK(BM_Equilibrate_Native);
BENCHMARK(BM_Equilibrate_Python);
BENCHMARK(BM_Step2000_Native)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Step2000_Python)->ArgName("workers")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The interpreter starts, and imports the package, before any timing.
int main(int argc, char** argv) {
    main_module();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
