// eqlink compile FILE.dat -o FILE.cst: reads an ASCII data file and writes
// it in the compiled binary form, which loads many times faster. The result
// is read back and compared with the system it came from before the command
// reports success, so a compiled file is never silently different.
#include <CLI/CLI.hpp>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "commands.hpp"
#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "input_error.hpp"
#include "load_system.hpp"

namespace eqlink_tool {
namespace {

std::array<int, 6> utc_now() {
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

eqcore::CstHeader header_for(const std::string& source) {
    eqcore::CstHeader h;
    h.writer = "eqlink compile";
    h.writer_version = {EQLINK_VERSION_MAJOR, EQLINK_VERSION_MINOR, EQLINK_VERSION_PATCH};
    h.min_reader_version = eqcore::kCstReaderVersion;
    h.created = utc_now();
    h.remarks = "compiled from " + std::filesystem::path(source).filename().string();
    if (h.remarks.size() > eqcore::kCstRemarksLength) h.remarks.resize(eqcore::kCstRemarksLength);
    return h;
}

}  // namespace

CLI::App* add_compile(CLI::App& app, CompileOptions& o) {
    auto* cmd = app.add_subcommand("compile", "Compile an ASCII data file into the binary .cst form");
    cmd->add_option("file", o.data, "ASCII data file (.dat)")->required();
    cmd->add_option("-o,--output", o.output, "Compiled file to write (default: FILE with .cst)");
    return cmd;
}

int run_compile(const CompileOptions& o) {
    if (is_compiled_file(o.data)) throw InputError(o.data + ": already a compiled data file");
    const eqcore::System sys = load_system(o.data);
    std::string out = o.output;
    if (out.empty()) out = std::filesystem::path(o.data).replace_extension(".cst").string();
    // The plug-in reads a file as compiled by its name; and the input must
    // survive a mistyped output name.
    std::error_code ec;
    if (std::filesystem::equivalent(o.data, out, ec))
        throw InputError("-o " + out + ": the output is the input file " + o.data + "; give a name ending in .cst");
    if (!is_compiled_file(out))
        throw InputError("-o " + out + ": a compiled data file must be named .cst (EQLINK reads a data file by its "
                         "extension)");
    try {
        eqcore::write_cst(sys, header_for(o.data), out);
    } catch (const eqcore::DataError& e) {
        throw InputError(out + ": cannot write the compiled file (" + e.what() + ")");
    } catch (const std::invalid_argument& e) {
        throw InputError(out + ": " + e.what());
    }
    // Reader notes are findings about the text, not part of the system.
    eqcore::System back = eqcore::read_cst(out).system;
    eqcore::System expected = sys;
    back.warnings.clear();
    expected.warnings.clear();
    if (!(back == expected)) {
        std::cerr << "eqlink: " << out << ": the compiled file does not read back as the system it was made from\n";
        return kExitFailed;
    }
    const auto bytes = std::filesystem::file_size(out, ec);
    std::cout << "wrote " << out << " (" << bytes << " bytes): " << sys.elements.size() << " elements, "
              << sys.phases.size() << " phases, " << sys.constituents.size() << " constituents\n";
    return kExitOk;
}

}  // namespace eqlink_tool
