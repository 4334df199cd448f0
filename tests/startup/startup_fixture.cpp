#include "startup_fixture.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host_services.hpp"
#include "unitio.hpp"

namespace startup_test {

std::filesystem::path examples_dir() {
    return EQLINK_EXAMPLES_DIR;
}
std::filesystem::path data_dir() {
    return STARTUP_TEST_DATA_DIR;
}
std::filesystem::path golden_dir() {
    return STARTUP_TEST_GOLDEN_DIR;
}

std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void StartupTest::SetUp() {
    previous_ = std::filesystem::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("eqlink_startup_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
    ::unsetenv("ELVAR_SYSTOP");
}

void StartupTest::TearDown() {
    run_.reset();
    unitio::close_all();
    ::unsetenv("ELVAR_SYSTOP");
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
}

void StartupTest::start_run(const std::string& data_file, const std::vector<Component>& components,
                            bool trace, std::vector<elvar::OptionSet> option_sets) {
    run_.reset();
    elvar::RunSetup setup;
    setup.case_name = "startup";
    setup.data_file = data_file;
    setup.trace = trace;
    setup.terminal = elvar::TerminalMode::capture;
    for (const Component& c : components)
        setup.components.push_back({c.id, c.name, c.formula, std::nullopt});
    setup.option_sets = std::move(option_sets);
    run_ = std::make_unique<elvar::Run>(setup);
}

void StartupTest::castrt() {
    eqlink::CASTRT(ierr, noerr);
}

bool StartupTest::started() const {
    return ftn::truth(DMS_EQLINK[0].i());
}

std::vector<elvar::Message> StartupTest::messages(ftn::Int number) const {
    std::vector<elvar::Message> found;
    for (const elvar::Message& m : elvar::message_log())
        if (m.number == number) found.push_back(m);
    return found;
}

elvar::Message StartupTest::message(ftn::Int number) const {
    std::vector<elvar::Message> found;
    for (const elvar::Message& m : messages(number))
        if (m.answer != 0) found.push_back(m);
    EXPECT_EQ(found.size(), 1u) << "message " << number;
    return found.empty() ? elvar::Message{} : found.front();
}

std::vector<std::string> StartupTest::terminal() const {
    return elvar::terminal_lines();
}

bool StartupTest::terminal_has(const std::string& line) const {
    const auto& lines = elvar::terminal_lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void StartupTest::write(const std::string& name, const std::string& text) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << text;
}

void StartupTest::copy(const std::filesystem::path& from, const std::string& to) const {
    const std::filesystem::path target = dir_ / to;
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(from, target, std::filesystem::copy_options::overwrite_existing);
}

std::string StartupTest::data_file_field() const {
    return std::string(EQLINK_CONFIG.EQLINK_FILEN.text());
}

std::vector<Component> ag_cu_components() {
    return {{"AG-G", "AG:G1", "Ag"},   {"CU-G", "CU:G1", "Cu"}, {"AG-L", "AG:LIQU", "Ag"},
            {"CU-L", "CU:LIQU", "Cu"}, {"AG-S", "AG:S1", "Ag"}, {"CU-S", "CU", "Cu"}};
}

std::vector<Component> mapping_components() {
    return {{"CO", "CO:G1", "CO"},
            {"COBALT", "CO$:G1", "Co"},
            {"CO2", "CO2:G1", "CO2"},
            {"CO2-2", "CO2:G2", "CO2"},
            {"H2O", "H2O:G1", "H2O"},
            {"FEO-S", "FEO:SLAG", "FeO"},
            {"ALO15", "ALO1.5:SLAG", "AlO1.5"},
            {"SIO2", "SIO2:SLAG", "SiO2"},
            {"FE", "FE:META", "Fe"},
            {"AL2O3", "AL2O3:S1", "Al2O3"},
            {"FEO-L", "FEO:L1", "FeO"},
            {"C", "C", "C"},
            {"O2", "O2:G1", "O2"}};
}

}  // namespace startup_test
