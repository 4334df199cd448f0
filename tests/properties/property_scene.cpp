#include "property_scene.hpp"

#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

#include "eqcore_calls.hpp"
#include "mdmon8.hpp"
#include "message_log.hpp"
#include "terminal.hpp"

namespace proptest {

std::string example(const std::string& file) { return std::string(EQLINK_EXAMPLES_DIR) + "/" + file; }
std::string test_data(const std::string& file) { return std::string(PROPERTIES_TEST_DATA) + "/" + file; }

Scene::Scene(const std::string& data_file, std::vector<elvar::Component> components,
             const std::string& dictionary, bool trace)
    : home_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "eqlink-props-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary directory");
    dir_ = pattern;
    std::filesystem::current_path(dir_);
    if (!dictionary.empty()) std::ofstream("EQSOLN.TXT") << dictionary;
    elvar::RunSetup setup;
    setup.case_name = "props";
    setup.data_file = data_file;
    setup.trace = trace;
    setup.components = std::move(components);
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

std::vector<double> Scene::mdmon8(const MonitorCall& call) {
    run_->set_property_request(static_cast<ftn::Int>(call.iclist.size()), call.msglev);
    std::vector<double> prop(static_cast<std::size_t>(std::max<ftn::Int>(3, 3 * ncomp())), kUntouched);
    // Stand-ins for the arguments the monitor must neither read nor write.
    double unused[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
    EQLINK_MDMON8(&call.kprop, call.iclist.data(), &call.T, &call.P, &unused[0], call.x.data(), &unused[1],
                  call.ireq.data(), &unused[2], &unused[3], &unused[4], prop.data());
    for (double u : unused)
        if (u != kUntouched) throw std::logic_error("the monitor wrote an unused argument");
    return prop;
}

std::vector<elvar::Component> chon_components() {
    return {{"N2", "N2:G1", "N2", {}},      {"O2", "O2:G1", "O2", {}},       {"CO2", "CO2:G1", "CO2", {}},
            {"H2O", "H2O:G1", "H2O", {}},   {"H2OL", "H2O:L1", "H2O", {}},   {"GRAPH", "C:S1", "C", {}},
            {"CH4", "CH4:G1", "CH4", {}},   {"XYZ", "XYZ:G1", "N", {}}};
}

double sref(std::initializer_list<std::pair<int, double>> atoms) {
    static const std::map<int, double> entropy{
        {1, 65.34}, {6, 5.74}, {7, 95.8045}, {8, 102.5735}, {29, 33.164}, {47, 42.6768}};
    double s = 0.0;
    for (auto [z, n] : atoms) s += n * entropy.at(z);
    return 1000.0 * s;
}

namespace {
bool from_startup(const elvar::Message& m) { return m.name() == "CASTRT" || m.name() == "MAPDAT"; }
}  // namespace

std::vector<elvar::Message> property_messages() {
    std::vector<elvar::Message> out;
    for (const auto& m : elvar::reported_messages())
        if (!from_startup(m)) out.push_back(m);
    return out;
}

std::vector<elvar::Message> property_questions() {
    std::vector<elvar::Message> out;
    for (const auto& m : elvar::message_log())
        if (!from_startup(m)) out.push_back(m);
    return out;
}

bool stream_exists(const std::string& name) {
    ftn::Int noerr = 0;
    double h = 0.0;
    PPSTUB_ECSTPR(name.data(), "H", &h, &noerr, name.size(), 1);
    return noerr == 0;
}

}  // namespace proptest
