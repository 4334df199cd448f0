// eqcore_stress: runs the stress harness on any number of random states over
// the example data files and prints the counts (passed, failed with an
// error, WRONG answers), the mean Newton iterations and CPU time of the cold
// and the warm solves, every wrong or failed state in a form that
// reproduces it, and the slowest calculations.
//
//   eqcore_stress [--count N] [--seed S] [--slowest K] [--repeat R] [--quiet] [--keep-higher-basins] [--file PATH]...
//   eqcore_stress --state "LINE"
//
// --state: solves the one state of a printed line (cold, then warm from its
// nearby temperature) and prints each answer's phases and verdict.
// --repeat R: every solve is run R times and timed by the least CPU time of
// the R runs (the machine's noise only ever adds time), so that the timing
// statistics judge the code rather than a busy machine.
// Timing: the timed interval holds the engine's solve alone. The solver's
// memory is dropped (cold) or set (warm) before the clock starts, and each
// solve writes into a result object kept between states, so that nothing is
// allocated for the result. Reading the thread's CPU clock costs time of its
// own (a system call on some kernels), part of which falls inside every
// interval: the harness measures an empty interval the same way as a solve
// (least of R, median over many), prints it, and subtracts it from every
// solve's time.
// --keep-higher-basins: the solver does not move a present phase written
// once out of a higher basin of its own (to count what the check catches
// without that step).
// N states in all (spread evenly over the files), each solved cold and warm.
// The files: the example data files and the hard ones (examples/hard/), or
// those given with --file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <ctime>
#include <random>
#include <string>
#include <sstream>
#include <vector>

#include "check/stress.hpp"
#include "data/read_dat.hpp"

namespace {

using namespace eqcore;

struct Timed {
    double micros = 0.0;
    std::string what;
};

struct Counts {
    long passed = 0, failed = 0, wrong = 0, disagree = 0;
};

// Newton iterations and CPU time summed over the cold and the warm solves.
struct Effort {
    long iterations[2] = {0, 0};
    double micros[2] = {0.0, 0.0};
};

// CPU time of this thread, us: unlike the wall clock it does not count the
// time other processes of a busy machine take.
double cpu_micros() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) * 1e-3;
}

// The CPU time of an empty timed interval, us, measured as a solve is timed
// (least of `repeat` intervals), the median of many such measurements.
double empty_interval_micros(int repeat) {
    std::vector<double> least(2001, HUGE_VAL);
    for (double& t : least)
        for (int r = 0; r < repeat; ++r) {
            const double t0 = cpu_micros();
            t = std::min(t, cpu_micros() - t0);
        }
    std::nth_element(least.begin(), least.begin() + 1000, least.end());
    return least[1000];
}

// The state of a line the harness printed: "FILE KIND T=.. K P=.. Pa (warm
// from .. K) feed: PHASE/CONSTITUENT mol ...". The file as printed: a path,
// or a name under the examples folder.
bool parse_state(const std::string& line, System& sys, StressState& st) {
    std::istringstream in(line);
    std::string file;
    if (!(in >> file)) return false;
    std::FILE* f = std::fopen(file.c_str(), "r");
    if (f) std::fclose(f);
    sys = read_dat(f ? file : std::string(EQLINK_EXAMPLES_DIR) + "/" + file);
    const std::string error = read_state(sys, line, st);
    if (!error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
    return error.empty();
}

void print_answer(const char* how, const System& sys, const EquilibriumProblem& pr, const Conditions& cond,
                  const EquilibriumResult& r) {
    const Judgement j = judge(pr, cond, r);
    std::printf("%s: %s, %d iterations, G = %.12g J%s%s\n", how,
                j.verdict == Verdict::passed ? "passed" : j.verdict == Verdict::failed ? "FAILED" : "WRONG",
                r.iterations, r.G, j.detail.empty() ? "" : "\n    ", j.detail.c_str());
    if (!r.succeeded()) return;
    for (std::size_t p = 0; p < r.phases.size(); ++p) {
        if (!(r.phases[p].amount > 0.0)) continue;
        std::printf("  %-16s %.17g\n", sys.phases[p].name.c_str(), r.phases[p].amount);
        const Phase& ph = sys.phases[p];
        for (int k = 0; k < ph.count && ph.count > 1; ++k) {
            const int g = ph.first + k;
            const std::string label = constituent_label(sys, g);
            std::printf("      %-14s %.6e  mu %.12g\n", label.c_str() + label.find('/') + 1,
                        r.amount[static_cast<std::size_t>(g)], r.mu[static_cast<std::size_t>(g)]);
        }
    }
}

int solve_one(const std::string& line, const SolverOptions& options) {
    System sys;
    StressState st;
    if (!parse_state(line, sys, st)) {
        std::fprintf(stderr, "cannot read the state: %s\n", line.c_str());
        return 2;
    }
    const EquilibriumProblem pr = problem_of(sys, st);
    const Conditions cond = conditions_of(st);
    Solver solver(options);
    const EquilibriumResult cold = solve_cold(solver, pr, cond);
    print_answer("cold", sys, pr, cond, cold);
    prepare_warm(solver, pr, cond, st.T_near);
    const EquilibriumResult warm = solver.equilibrate(pr, cond);
    print_answer("warm", sys, pr, cond, warm);
    if (cold.succeeded() && warm.succeeded())
        std::printf("cold/warm difference %.3g\n", result_difference(cold, warm, &sys));
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: eqcore_stress [--count N] [--seed S] [--slowest K] [--repeat R] [--quiet] [--keep-higher-basins] "
                 "[--file PATH]...\n       eqcore_stress [--keep-higher-basins] --state \"LINE\"\n"
                 "Times are the thread's CPU time of each solve alone (least of R runs), less the printed cost of an\n"
                 "empty timed interval; result objects are kept between states.\n");
    return 2;
}

int run(int argc, char** argv) {
    long count = 10000;
    unsigned long long seed = 1;
    std::size_t slowest = 10;
    int repeat = 1;
    bool quiet = false;
    SolverOptions options;
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--count") && has_value) count = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && has_value) seed = std::strtoull(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--slowest") && has_value) slowest = std::strtoul(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--repeat") && has_value) repeat = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--quiet")) quiet = true;
        else if (!std::strcmp(argv[i], "--keep-higher-basins")) options.leave_higher_basins = false;
        else if (!std::strcmp(argv[i], "--file") && has_value) given.emplace_back(argv[++i]);
        else if (!std::strcmp(argv[i], "--state") && has_value) return solve_one(argv[++i], options);
        else return usage();
    }
    if (count <= 0 || repeat <= 0) return usage();
    const std::vector<std::string> files =
        given.empty() ? std::vector<std::string>{"h-o.dat",     "c-h-o-n.dat", "n-o-example.dat", "ag-cu-example.dat",
                                                 "fe-sgte.dat", "zr-h.dat",    "al-mg.dat",       "fe-c.dat",
                                                 "hard/hard-quaternary.dat", "hard/hard-ternary.dat", "ga-in-qc.dat"}
                      : given;
    const double clock_cost = empty_interval_micros(repeat);
    std::vector<Timed> times;
    Counts total;
    std::vector<long> kind_failed(kFeedKinds, 0), kind_wrong(kFeedKinds, 0);
    for (std::size_t f = 0; f < files.size(); ++f) {
        const System sys = read_dat(given.empty() ? std::string(EQLINK_EXAMPLES_DIR) + "/" + files[f] : files[f]);
        std::mt19937_64 rng(seed * 1000003ULL + f);
        Solver solver(options);
        EquilibriumResult cold, warm;
        Counts c;
        Effort effort;
        const long n = count / static_cast<long>(files.size()) + (static_cast<long>(f) < count % static_cast<long>(files.size()) ? 1 : 0);
        for (long i = 0; i < n; ++i) {
            const auto kind = static_cast<FeedKind>(i % kFeedKinds);
            const StressState st = random_state(sys, rng, kind, files[f]);
            const EquilibriumProblem pr = problem_of(sys, st);
            const Conditions cond = conditions_of(st);
            double t_cold = HUGE_VAL, t_warm = HUGE_VAL;
            for (int r = 0; r < repeat; ++r) {
                solver.forget();
                const double t0 = cpu_micros();
                solver.equilibrate(pr, cond, cold);
                t_cold = std::min(t_cold, cpu_micros() - t0);
            }
            for (int r = 0; r < repeat; ++r) {
                prepare_warm(solver, pr, cond, st.T_near);
                const double t0 = cpu_micros();
                solver.equilibrate(pr, cond, warm);
                t_warm = std::min(t_warm, cpu_micros() - t0);
            }
            t_cold = std::max(0.0, t_cold - clock_cost);
            t_warm = std::max(0.0, t_warm - clock_cost);
            effort.iterations[0] += cold.iterations;
            effort.iterations[1] += warm.iterations;
            effort.micros[0] += t_cold;
            effort.micros[1] += t_warm;
            const std::string line = st.describe(sys);
            times.push_back({t_cold, "cold " + std::to_string(cold.iterations) + " it " + line});
            times.push_back({t_warm, "warm " + std::to_string(warm.iterations) + " it " + line});
            for (const EquilibriumResult* r : {&cold, &warm}) {
                const Judgement j = judge(pr, cond, *r);
                const char* how = r == &cold ? "cold" : "warm";
                if (j.verdict == Verdict::passed) {
                    ++c.passed;
                } else if (j.verdict == Verdict::failed) {
                    ++c.failed;
                    ++kind_failed[static_cast<std::size_t>(kind)];
                    if (!quiet) std::printf("FAILED (%s) %s\n    %s\n", how, line.c_str(), j.detail.c_str());
                } else {
                    ++c.wrong;
                    ++kind_wrong[static_cast<std::size_t>(kind)];
                    std::printf("WRONG (%s) %s\n    %s\n", how, line.c_str(), j.detail.c_str());
                }
            }
            if (cold.succeeded() && warm.succeeded()) {
                const double d = result_difference(cold, warm, &sys);
                if (d > 1e-9) {
                    ++c.disagree;
                    std::printf("COLD/WARM DIFFER by %.3g: %s\n", d, line.c_str());
                }
            }
        }
        std::printf("%-20s %6ld states %7ld solves: %7ld passed, %5ld failed with an error, %5ld WRONG, %4ld cold/warm differ\n",
                    files[f].c_str(), n, 2 * n, c.passed, c.failed, c.wrong, c.disagree);
        const double per = 1.0 / static_cast<double>(n);
        std::printf("%-20s mean per solve: cold %.2f Newton iterations %.2f us, warm %.2f iterations %.2f us\n", "",
                    static_cast<double>(effort.iterations[0]) * per, effort.micros[0] * per,
                    static_cast<double>(effort.iterations[1]) * per, effort.micros[1] * per);
        total.passed += c.passed;
        total.failed += c.failed;
        total.wrong += c.wrong;
        total.disagree += c.disagree;
    }
    std::printf("%-20s %6ld states %7ld solves: %7ld passed, %5ld failed with an error, %5ld WRONG, %4ld cold/warm differ\n",
                "all", count, 2 * count, total.passed, total.failed, total.wrong, total.disagree);
    for (int k = 0; k < kFeedKinds; ++k)
        std::printf("  %-16s failed %ld, wrong %ld\n", feed_kind_name(static_cast<FeedKind>(k)),
                    kind_failed[static_cast<std::size_t>(k)], kind_wrong[static_cast<std::size_t>(k)]);
    std::sort(times.begin(), times.end(), [](const Timed& a, const Timed& b) { return a.micros > b.micros; });
    std::vector<double> all;
    for (const Timed& t : times) all.push_back(t.micros);
    std::sort(all.begin(), all.end());
    if (!all.empty())
        std::printf("solve CPU time%s: median %.2f us, 99th percentile %.2f us, slowest %.1f us\n",
                    repeat > 1 ? (" (least of " + std::to_string(repeat) + " runs)").c_str() : "", all[all.size() / 2],
                    all[all.size() * 99 / 100], all.back());
    std::printf("clock read: %.3f us per empty interval, subtracted from every solve's time\n", clock_cost);
    std::printf("slowest %zu calculations:\n", std::min(slowest, times.size()));
    for (std::size_t i = 0; i < slowest && i < times.size(); ++i)
        std::printf("  %10.1f us  %s\n", times[i].micros, times[i].what.c_str());
    return total.wrong == 0 ? 0 : 1;
}

}  // namespace

// A file that cannot be read or a state line that names what the file does
// not hold: its message and exit status 2, not an uncaught exception.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "eqcore_stress: %s\n", e.what());
        return 2;
    }
}
