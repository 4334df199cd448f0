#include "runner.hpp"

#include <filesystem>
#include <set>

#include "abi/entry.hpp"
#include "check_components.hpp"
#include "dictionary.hpp"
#include "input_error.hpp"
#include "load_system.hpp"
#include "message_log.hpp"
#include "run.hpp"
#include "setup_error.hpp"
#include "terminal.hpp"

namespace eqlink_tool {
namespace {

// Every option set a block names; EQCORE first. A name other than EQCORE is
// a set of its own, so that such a block sees a different option set.
std::vector<elvar::OptionSet> option_sets(const Case& c) {
    std::vector<elvar::OptionSet> sets{{"EQCORE", ""}};
    std::set<std::string> seen{"EQCORE"};
    for (const auto& calc : c.calculations)
        if (const auto* b = std::get_if<BlockCalc>(&calc.what))
            if (seen.insert(b->option_set).second) sets.push_back({b->option_set, ""});
    return sets;
}

// One chemistry per flash with chemistry: its reactions, or by default one
// equation in which every component takes part.
std::vector<elvar::Chemistry> chemistries(const Case& c) {
    std::vector<elvar::Chemistry> out;
    for (const auto& calc : c.calculations) {
        const auto* f = std::get_if<FlashCalc>(&calc.what);
        if (!f || !f->chemistry) continue;
        elvar::Chemistry chem;
        if (f->reactions) {
            for (const auto& eq : *f->reactions) chem.equations.emplace_back(eq.begin(), eq.end());
        } else {
            std::vector<std::pair<std::string, double>> all;
            for (const auto& comp : c.components) all.emplace_back(comp.id, 1.0);
            chem.equations.push_back(std::move(all));
        }
        out.push_back(std::move(chem));
    }
    return out;
}

// The data-file field of the plug-in holds 256 characters: a longer path
// is given relative to the working directory, or refused, never cut.
std::string data_file_field(const Case& c) {
    constexpr std::size_t kField = 256;
    std::string path = c.data.string();
    if (path.size() <= kField) return path;
    std::error_code ec;
    const std::string relative = std::filesystem::relative(c.data, ec).string();
    if (!ec && !relative.empty() && relative.size() <= kField) return relative;
    throw InputError(c.file.string() + ": data: the path of the data file is longer than " +
                     std::to_string(kField) + " characters");
}

elvar::RunSetup setup_of(const Case& c) {
    elvar::RunSetup s;
    s.case_name = c.file.stem().string();
    s.report_path = c.report;
    s.data_file = data_file_field(c);
    s.trace = c.trace;
    s.diagnostic_level = c.diagnostic_level;
    for (const auto& comp : c.components) s.components.push_back({comp.id, comp.name, comp.formula, comp.mw});
    s.option_sets = option_sets(c);
    s.chemistries = chemistries(c);
    s.terminal = elvar::TerminalMode::capture;
    return s;
}

std::vector<MessageResult> accepted_messages() {
    std::vector<MessageResult> out;
    for (const auto& m : elvar::message_log())
        if (m.answer == 1) out.push_back({m.routine(), m.severity, m.number, m.lines});
    return out;
}

// The first error (severity 1 or less) the plug-in checked with the host
// during the calculation, whether or not the host let it through: its first
// line, or its number when the host kept the lines back. Empty when none.
std::string plugin_error() {
    for (const auto& m : elvar::message_log()) {
        if (m.severity > 1) continue;
        if (!m.lines.empty()) {
            const std::string& line = m.lines.front();
            return line.substr(std::min(line.find_first_not_of(' '), line.size()));
        }
        return "error message " + std::to_string(m.number) + " of " + m.name() +
               " (its text is not shown at this diagnostic level)";
    }
    return {};
}

// The engine's errors so far, and the lines of the last one.
std::uint64_t engine_errors() { return eqcore::abi::session().errors_recorded(); }
std::vector<std::string> last_engine_error() {
    std::vector<std::string> out;
    for (const auto& line : eqcore::abi::session().last_error().lines)
        if (!line.empty()) out.push_back(line);
    return out;
}

bool local_dictionary_opened() {
    for (const auto& m : elvar::message_log())
        if (m.name() == "MAPDAT" && m.number == 26) return true;
    return false;
}

}  // namespace

CaseResult run_case(const Case& c) {
    // A data file that is missing or does not read is bad input, said with
    // the reader's file, line and field before any calculation starts.
    const eqcore::System sys = load_system(c.data.string());

    CaseResult result;
    result.case_name = c.file.filename().string();
    result.data = c.data_name;
    result.report = c.report;

    std::unique_ptr<elvar::Run> run;
    try {
        run = std::make_unique<elvar::Run>(setup_of(c));
    } catch (const elvar::SetupError& e) {
        throw InputError(c.file.string() + ": " + e.what());
    }

    // The start-up, which the first calculation would make, made first so
    // that the components are checked before anything is calculated. Its
    // messages stay with the first calculation, as they would have; after a
    // failure the first calculation tries again and reports it.
    elvar::clear_message_log();
    elvar::clear_terminal();
    const bool started = start_and_check_components(c, sys);
    if (local_dictionary_opened())
        result.notes.push_back("the solution dictionary " + std::string(eqlink::kDictionaryName) +
                               " in the working directory overrides the bundled one");
    if (!started) {
        elvar::clear_message_log();
        elvar::clear_terminal();
    }

    long long next_chemistry = 0;
    for (std::size_t i = 0; i < c.calculations.size(); ++i) {
        if (i > 0) {
            elvar::clear_message_log();
            elvar::clear_terminal();
        }
        const std::uint64_t errors_before = engine_errors();
        RunContext rc{c, *run, i, 0};
        CalculationResult cr;
        std::visit(
            [&](const auto& calc) {
                using T = std::decay_t<decltype(calc)>;
                if constexpr (std::is_same_v<T, PropertyCalc>) {
                    cr.what = run_property(rc, calc);
                } else if constexpr (std::is_same_v<T, FlashCalc>) {
                    if (calc.chemistry) rc.chemistry = run->chemistry(static_cast<std::size_t>(next_chemistry++));
                    cr.what = run_flash(rc, calc, cr.failure);
                } else {
                    cr.what = run_block(rc, calc);
                }
            },
            c.calculations[i].what);
        cr.messages = accepted_messages();
        if (c.trace) cr.terminal = elvar::terminal_lines();
        // The plug-in's own error says best what went wrong; the engine's
        // last error, when the engine refused a call of this calculation,
        // says why. (A successful calculation may meet refusals the plug-in
        // passes over by design, such as a result asked for where no
        // equilibrium was computed; they are not shown.)
        if (const std::string e = plugin_error(); !e.empty()) cr.failure = e;
        cr.failed = !cr.failure.empty();
        if (cr.failed && engine_errors() != errors_before) cr.engine_error = last_engine_error();
        result.calculations.push_back(std::move(cr));
    }
    return result;
}

}  // namespace eqlink_tool
