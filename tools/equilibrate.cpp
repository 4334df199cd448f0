// eqlink equilibrate: one equilibrium computed by the engine directly,
// without the host or the plug-in — at a fixed temperature, or with the
// temperature as the unknown of an enthalpy condition or a phase target.
#include <CLI/CLI.hpp>
#include <cmath>
#include <iostream>
#include <sstream>

#include "commands.hpp"
#include "feed.hpp"
#include "input_error.hpp"
#include "json/result_json.hpp"
#include "load_system.hpp"
#include "print_equilibrium.hpp"
#include "solver/solver.hpp"

namespace eqlink_tool {
namespace {

int phase_by_name(const eqcore::System& sys, const std::string& name, const std::string& option) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[static_cast<std::size_t>(p)].name == name) return p;
    throw InputError(option + " " + name + ": the data file has no phase of that name");
}

std::string number(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

// Conditions the engine would refuse are bad input: said here naming the
// option, rather than as a failed calculation.
void check_conditions(const EquilibrateOptions& o) {
    if (!(std::isfinite(o.tlow) && std::isfinite(o.thigh) && o.tlow > 0.0 && o.tlow < o.thigh))
        throw InputError("--tlow " + number(o.tlow) + " --thigh " + number(o.thigh) +
                         ": the temperature limits must be finite with 0 < TLOW < THIGH");
    auto temperature = [&](const std::string& option, double T) {
        if (!(std::isfinite(T) && T > 0.0))
            throw InputError(option + " " + number(T) + ": the temperature must be above 0 K");
        if (T < o.tlow || T > o.thigh)
            throw InputError(option + " " + number(T) + ": outside the temperature limits " + number(o.tlow) +
                             " K to " + number(o.thigh) + " K (--tlow, --thigh)");
    };
    if (o.T) temperature("-T", *o.T);
    temperature("--feed-temperature", o.feed_T);
    if (!(std::isfinite(o.P) && o.P > 0.0)) throw InputError("-P " + number(o.P) + ": the pressure must be above 0 Pa");
    if (o.enthalpy && !std::isfinite(*o.enthalpy))
        throw InputError("--enthalpy " + number(*o.enthalpy) + ": not a finite number of J");
}

eqcore::Conditions conditions_from(const EquilibrateOptions& o, const eqcore::System& sys) {
    check_conditions(o);
    eqcore::Conditions c;
    c.P = o.P;
    c.T_low = o.tlow;
    c.T_high = o.thigh;
    const int targets = (o.enthalpy ? 1 : 0) + (o.formation.empty() ? 0 : 1) + (o.precipitation.empty() ? 0 : 1);
    if (targets > 1) throw InputError("give at most one of --enthalpy, --formation, --precipitation");
    if (targets == 0 && !o.T) throw InputError("give the temperature -T, or a target with its estimate");
    c.T = o.T.value_or(1000.0);
    if (o.enthalpy) {
        c.target.kind = eqcore::TargetKind::enthalpy;
        c.target.value = *o.enthalpy;
    } else if (!o.formation.empty()) {
        c.target.kind = eqcore::TargetKind::formation;
        c.target.phase = phase_by_name(sys, o.formation, "--formation");
    } else if (!o.precipitation.empty()) {
        c.target.kind = eqcore::TargetKind::precipitation;
        c.target.phase = phase_by_name(sys, o.precipitation, "--precipitation");
    }
    return c;
}

// Constituent feeds become a stream at the feed temperature (its enthalpy is
// what an enthalpy condition counts from); with element feeds, everything is
// given as element amounts.
eqcore::EquilibriumProblem problem_from(const EquilibrateOptions& o, const eqcore::System& sys) {
    auto problem = eqcore::EquilibriumProblem::all_entered(sys);
    std::vector<FeedItem> items;
    for (const auto& f : o.feed) items.push_back(constituent_feed(sys, f));
    if (o.elements.empty()) {
        for (const auto& it : items) problem.add("FEED", it.phase, it.constituent, it.mol, o.feed_T, o.P);
        return problem;
    }
    if (o.enthalpy) throw InputError("--enthalpy needs the feed as constituents (--feed), not --elements");
    problem.element_amount.assign(sys.elements.size(), 0.0);
    for (const auto& it : items) {
        const auto& c = sys.constituent(it.phase, it.constituent);
        for (std::size_t j = 0; j < c.stoich.size() && j < sys.elements.size(); ++j)
            problem.element_amount[j] += c.stoich[j] * it.mol;
    }
    for (const auto& e : o.elements) add_element_feed(sys, e, problem.element_amount);
    return problem;
}

}  // namespace

CLI::App* add_equilibrate(CLI::App& app, EquilibrateOptions& o) {
    auto* cmd = app.add_subcommand("equilibrate", "Compute one equilibrium with the engine directly");
    cmd->add_option("file", o.data, "Data file (.dat or .cst)")->required();
    cmd->add_option("-T,--temperature", o.T, "Temperature, K (with a target: the estimate to search from)");
    cmd->add_option("-P,--pressure", o.P, "Pressure, Pa")->capture_default_str();
    cmd->add_option("--enthalpy", o.enthalpy, "Find T where H(equilibrium) - H(feed) equals this, J");
    cmd->add_option("--formation", o.formation, "Find T where this phase is about to form");
    cmd->add_option("--precipitation", o.precipitation,
                    "Find T where a second phase is about to separate from this one");
    cmd->add_option("-f,--feed", o.feed, "Feed of a constituent, NAME=mol or PHASE/NAME=mol (repeatable)");
    cmd->add_option("-e,--elements", o.elements, "Feed of elements as a formula, FORMULA=mol (repeatable)");
    cmd->add_option("--feed-temperature", o.feed_T, "Temperature of the feed, K")->capture_default_str();
    cmd->add_option("--tlow", o.tlow, "Lowest temperature of any calculation, K")->capture_default_str();
    cmd->add_option("--thigh", o.thigh, "Highest temperature of any calculation, K")->capture_default_str();
    cmd->add_flag("--json", o.json, "Print the result as JSON (K, Pa, m3, J, mol)");
    return cmd;
}

int run_equilibrate(const EquilibrateOptions& o) {
    const eqcore::System sys = load_system(o.data);
    if (o.feed.empty() && o.elements.empty()) throw InputError("no feed: give --feed or --elements");
    const auto conditions = conditions_from(o, sys);
    const auto problem = problem_from(o, sys);
    eqcore::Solver solver;
    const auto result = solver.equilibrate(problem, conditions);
    if (!result.succeeded()) {
        std::cerr << "eqlink: equilibrium on " << o.data << " failed: " << eqcore::status_name(result.status)
                  << (result.message.empty() ? "" : ": " + result.message) << '\n';
        return kExitFailed;
    }
    if (o.json)
        std::cout << eqcore::equilibrium_json(sys, eqcore::si_units(), result) << '\n';
    else
        print_equilibrium(std::cout, sys, result);
    return kExitOk;
}

}  // namespace eqlink_tool
