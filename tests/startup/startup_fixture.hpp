// A host run for the start-up tests: each test in its own temporary working
// directory, with the host stand-in set up from a component list and a data
// file, and helpers to read what the host received.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "elvar.hpp"
#include "eqlink_blocks.hpp"
#include "fortran.hpp"
#include "startup.hpp"

namespace startup_test {

// A host component: ID, mapping name and formula (its molecular weight
// comes from the formula).
struct Component {
    std::string id;
    std::string name;
    std::string formula;
};

std::filesystem::path examples_dir();
std::filesystem::path data_dir();
std::filesystem::path golden_dir();
std::string read_file(const std::filesystem::path& p);

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Sets the host run up (closing an earlier one of the same test).
    void start_run(const std::string& data_file, const std::vector<Component>& components,
                   bool trace = false, std::vector<elvar::OptionSet> option_sets = {});
    // Calls the start-up; the two words land in ierr and noerr.
    void castrt();
    bool started() const;

    // Messages the host was asked about with this number (reported or not).
    std::vector<elvar::Message> messages(ftn::Int number) const;
    // The single accepted message with this number; fails the test otherwise.
    elvar::Message message(ftn::Int number) const;
    bool has_message(ftn::Int number) const { return !messages(number).empty(); }
    // Terminal lines since the last clear, and whether one equals `line`.
    std::vector<std::string> terminal() const;
    bool terminal_has(const std::string& line) const;
    std::string report_text() const { return run_->report_text(); }
    // A file in the test's working directory.
    void write(const std::string& name, const std::string& text) const;
    // A copy of a file from examples/ or the test data under another name
    // (relative to the working directory; directories are created).
    void copy(const std::filesystem::path& from, const std::string& to) const;

    std::string data_file_field() const;  // EQLINK_FILEN without trailing blanks

    ftn::Int ierr = -99;
    ftn::Int noerr = -99;
    std::unique_ptr<elvar::Run> run_;
    std::filesystem::path dir_;

  private:
    std::filesystem::path previous_;
};

// The components used with ag-cu-example.dat.
std::vector<Component> ag_cu_components();
// The components used with the mapping test file.
std::vector<Component> mapping_components();

}  // namespace startup_test
