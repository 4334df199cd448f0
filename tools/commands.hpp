// The commands of the eqlink tool. Each registers its subcommand with the
// command line (options bound into its own struct) and runs from that struct,
// returning the exit status: 0 success, 1 a calculation failed, 2 bad input
// (an InputError, caught in main).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace eqlink_tool {

struct InfoOptions {
    std::string data;
    bool constituents = true;
    bool names = false;  // the mapping names of every species instead
};
CLI::App* add_info(CLI::App& app, InfoOptions& o);
int run_info(const InfoOptions& o);

struct CompileOptions {
    std::string data;
    std::string output;  // default: the data file with ".cst"
};
CLI::App* add_compile(CLI::App& app, CompileOptions& o);
int run_compile(const CompileOptions& o);

struct EquilibrateOptions {
    std::string data;
    std::optional<double> T;                 // K: fixed temperature, or the estimate of a target
    double P = 101325.0;                     // Pa
    std::optional<double> enthalpy;          // J: H(equilibrium) - H(feed)
    std::string formation;                   // phase about to form
    std::string precipitation;               // phase about to precipitate a second one
    std::vector<std::string> feed;           // CONSTITUENT=mol or PHASE/CONSTITUENT=mol
    std::vector<std::string> elements;       // FORMULA=mol
    double feed_T = 298.15;                  // K, the feed's own temperature
    double tlow = 200.0, thigh = 6000.0;     // K
    bool json = false;                       // the result as JSON (eqcore/json/result_json.hpp)
};
CLI::App* add_equilibrate(CLI::App& app, EquilibrateOptions& o);
int run_equilibrate(const EquilibrateOptions& o);

struct RunOptions {
    std::string case_file;  // empty: the bundled demo
    bool json = false;
};
CLI::App* add_run(CLI::App& app, RunOptions& o);
int run_run(const RunOptions& o);
// The bundled demo case, examples/demo.toml.
std::string demo_case();

}  // namespace eqlink_tool
