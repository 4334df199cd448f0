#include "block_scene.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "catop.hpp"
#include "eqcore_calls.hpp"

namespace blocktest {

std::string example(const std::string& file) { return std::string(EQLINK_EXAMPLES_DIR) + "/" + file; }

elvar::SubstreamValues BlockOutcome::outlet(std::size_t m, std::size_t j) const {
    return layout.read(args.outlet(m), j);
}

double BlockOutcome::flow(std::size_t m, ftn::Int k, std::size_t j) const {
    const auto v = args.outlet(m);
    return v[static_cast<std::size_t>(layout.positions()[j] - 1 + k - 1)];
}

Scene::Scene(const std::string& data_file, std::vector<elvar::Component> components, bool trace,
             const std::string& dictionary, const std::string& data_text)
    : home_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "eqlink-block-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary directory");
    dir_ = pattern;
    std::filesystem::current_path(dir_);
    if (!dictionary.empty()) std::ofstream("EQSOLN.TXT") << dictionary;
    elvar::RunSetup setup;
    setup.case_name = "block";
    setup.data_file = data_file;
    if (!data_text.empty()) {
        std::ofstream("case.dat") << data_text;
        setup.data_file = (dir_ / "case.dat").string();
    }
    setup.trace = trace;
    setup.components = std::move(components);
    setup.option_sets = {{"EQCORE", ""}, {"OTHER", ""}};
    setup.terminal = elvar::TerminalMode::capture;
    run_.emplace(setup);
    elvar::clear_message_log();
    elvar::clear_terminal();
}

Scene::~Scene() {
    run_.reset();
    std::filesystem::current_path(home_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::vector<double> Scene::flows(const std::vector<std::pair<std::string, double>>& by_id) const {
    std::vector<double> f(static_cast<std::size_t>(ncomp()), 0.0);
    for (const auto& [id, v] : by_id) f[static_cast<std::size_t>(comp(id) - 1)] = v;
    return f;
}

BlockOutcome Scene::call(const BlockSetup& b) {
    elvar::StreamLayout layout(ncomp(), b.types);
    std::vector<std::vector<double>> inlets;
    for (const auto& subs : b.inlets) inlets.push_back(layout.make(subs));
    run_->set_block({b.id, b.level, b.products});
    BlockOutcome out(elvar::BlockArgs(layout, inlets, b.outlets, b.heat_in, b.heat_outlets, b.ipar, b.rpar,
                                      run_->option_set(b.option_set)),
                     layout);
    auto& a = out.args;
    if (b.tweak) b.tweak(a);
    auto* sp = a.spare.data();
    EQLINK_CATOP(&a.ninlet, a.sinlet.data(), &a.nhtin, a.htin.data(), &a.noutlt, a.soutlt.data(), &a.nhtout,
                 a.htout.data(), sp, sp + 1, sp + 2, sp + 3, &a.lstrm, &a.nsub, a.subpos.data(), a.subtyp.data(),
                 &a.nipar, a.ipar.data(), &a.nrpar, a.rpar.data(), sp + 4, sp + 5, &a.optset, sp + 6, sp + 7,
                 sp + 8, sp + 9, sp + 10, sp + 11, sp + 12, a.strdsc.data());
    return out;
}

std::vector<elvar::Message> Scene::block_messages() const {
    std::vector<elvar::Message> m;
    for (const auto& msg : elvar::message_log())
        if (msg.name() == "CATOP") m.push_back(msg);
    return m;
}

std::vector<elvar::Message> Scene::errors() const {
    std::vector<elvar::Message> m;
    for (const auto& msg : block_messages())
        if (msg.severity == 1 || msg.severity == 2) m.push_back(msg);
    return m;
}

std::string Scene::error_text() const {
    std::string text;
    for (const auto& msg : errors()) {
        text += "message " + std::to_string(msg.number) + ":";
        for (const auto& line : msg.lines) text += "\n" + line;
        text += "\n";
    }
    return text;
}

const elvar::Message* Scene::find(ftn::Int number) const {
    for (const auto& msg : elvar::message_log())
        if (msg.name() == "CATOP" && msg.number == number) return &msg;
    return nullptr;
}

bool Scene::asked(ftn::Int number) const { return find(number) != nullptr; }

bool Scene::reported(ftn::Int number) const {
    const auto* m = find(number);
    return m != nullptr && m->answer != 0;
}

bool Scene::terminal_has(const std::string& line) const {
    const auto& lines = elvar::terminal_lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string phase_status(ftn::Int phase) {
    char status[24];
    ftn::Int noerr = 0;
    PPSTUB_ECGPS(&phase, status, &noerr, 24);
    if (noerr != 0) return "?";
    return std::string(ftn::trim_right({status, 24}));
}

bool stream_exists(const std::string& name) {
    ftn::Int noerr = 0;
    double h = 0.0;
    PPSTUB_ECSTPR(name.data(), "H", &h, &noerr, name.size(), 1);
    return noerr == 0;
}

std::vector<elvar::Component> chon_components() {
    return {{"N2", "N2:G1", "N2", {}},     {"O2", "O2:G1", "O2", {}},       {"CO2", "CO2:G1", "CO2", {}},
            {"H2O", "H2O:G1", "H2O", {}},  {"H2OL", "H2O:L1", "H2O", {}},   {"GRAPH", "C:S1", "C", {}},
            {"CH4", "CH4:G1", "CH4", {}},  {"CO", "CO:G1", "CO", {}},       {"H2", "H2:G1", "H2", {}},
            {"H", "H:G1", "H", {}},        {"O", "O:G1", "O", {}},          {"OH", "OH:G1", "OH", {}},
            {"HO2", "HO2:G1", "HO2", {}},  {"H2O2", "H2O2:G1", "H2O2", {}}, {"O3", "O3:G1", "O3", {}},
            {"N", "N:G1", "N", {}},        {"NO", "NO:G1", "NO", {}},       {"NO2", "NO2:G1", "NO2", {}},
            {"N2O", "N2O:G1", "N2O", {}},  {"NH3", "NH3:G1", "NH3", {}},    {"AR", "AR:G1", "Ar", {}}};
}

std::vector<elvar::Component> agcu_components() {
    return {{"AGL", "AG:LIQU", "Ag", {}}, {"CUL", "CU:LIQU", "Cu", {}}, {"AGS", "AG:S1", "Ag", {}},
            {"CUS", "CU:S1", "Cu", {}},   {"AGG", "AG:G1", "Ag", {}},   {"CUG", "CU:G1", "Cu", {}}};
}

}  // namespace blocktest
