// eqlink run [CASE.toml]: runs a case through the plug-in in one host run
// and prints its results; without a case, the bundled demo.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "case_file.hpp"
#include "examples_dir.hpp"
#include "commands.hpp"
#include "input_error.hpp"
#include "printers.hpp"
#include "runner.hpp"

namespace eqlink_tool {

std::string demo_case() { return (std::filesystem::path(elvar::examples_dir()) / "demo.toml").string(); }

CLI::App* add_run(CLI::App& app, RunOptions& o) {
    auto* cmd = app.add_subcommand("run", "Run a case file: property requests, flashes and blocks through EQLINK");
    cmd->add_option("case", o.case_file, "Case file (TOML); default: the bundled demo");
    cmd->add_flag("--json", o.json, "Print the results as JSON");
    return cmd;
}

int run_run(const RunOptions& o) {
    const Case c = read_case(o.case_file.empty() ? demo_case() : o.case_file);
    const CaseResult r = run_case(c);
    for (const auto& note : r.notes) std::cerr << "eqlink: note: " << note << '\n';
    if (o.json) print_json(std::cout, r);
    else print_tables(std::cout, c, r);
    if (!r.failed()) return kExitOk;
    // Each failed calculation: its line in the case and the plug-in's
    // message, the engine's last error under it.
    for (std::size_t i = 0; i < r.calculations.size(); ++i) {
        const CalculationResult& calc = r.calculations[i];
        if (!calc.failed) continue;
        std::cerr << "eqlink: " << c.file.string() << ":" << c.calculations[i].line << ": calculation " << i + 1
                  << " failed: " << calc.failure << '\n';
        for (const auto& line : calc.engine_error) std::cerr << "eqlink:   " << line << '\n';
    }
    return kExitFailed;
}

}  // namespace eqlink_tool
