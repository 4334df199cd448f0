// eqlink: the command-line tool. Exit status 0 on success, 1 when a
// calculation failed, 2 for bad input (one line on standard error naming
// the file, the key or line, and what is wrong).
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <string>

#include "commands.hpp"
#include "data/cst.hpp"
#include "input_error.hpp"
#include "session/version.hpp"

int main(int argc, char** argv) {
    using namespace eqlink_tool;
    CLI::App app{"eqlink: thermochemical equilibria through EQLINK and EQCORE"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", "eqlink " + std::to_string(EQLINK_VERSION_MAJOR) + "." +
                                          std::to_string(EQLINK_VERSION_MINOR) + "." +
                                          std::to_string(EQLINK_VERSION_PATCH) + " (EQCORE " +
                                          std::to_string(eqcore::kVersionMajor) + "." +
                                          std::to_string(eqcore::kVersionMinor) + ", compiled data format " +
                                          std::to_string(eqcore::kCstFormatVersion) + ")");
    app.footer("Without a command, eqlink runs the bundled demo case (examples/demo.toml).");
    InfoOptions info;
    CompileOptions compile;
    EquilibrateOptions equilibrate;
    auto* info_cmd = add_info(app, info);
    auto* compile_cmd = add_compile(app, compile);
    auto* equilibrate_cmd = add_equilibrate(app, equilibrate);
    RunOptions run;
    auto* run_cmd = add_run(app, run);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitBadInput;
    }
    try {
        if (info_cmd->parsed()) return run_info(info);
        if (compile_cmd->parsed()) return run_compile(compile);
        if (equilibrate_cmd->parsed()) return run_equilibrate(equilibrate);
        if (run_cmd->parsed()) return run_run(run);
        // No command: the bundled demo.
        return run_run(RunOptions{});
    } catch (const InputError& e) {
        std::cerr << "eqlink: " << e.what() << '\n';
        return kExitBadInput;
    } catch (const std::exception& e) {
        std::cerr << "eqlink: " << e.what() << '\n';
        return kExitFailed;
    }
}
