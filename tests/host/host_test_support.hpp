// Test support: each test that opens a run works in a fresh temporary
// directory (the report file lands there) and captures the terminal.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "elvar.hpp"

namespace host_test {

class InTempDir : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "elvarhost-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_, old_;
};

// Methane, oxygen, carbon dioxide, water, corundum: five components with
// their formulas, the molecular weights left to the host.
inline elvar::RunSetup small_run() {
    elvar::RunSetup s;
    s.case_name = "small";
    s.data_file = "c-h-o-n.dat";
    s.terminal = elvar::TerminalMode::capture;
    s.components = {{"CH4", "CH4:G1", "CH4", {}},
                    {"O2", "O2:G1", "O2", {}},
                    {"CO2", "CO2:G1", "CO2", {}},
                    {"H2O", "H2O:L1", "H2O", {}},
                    {"AL2O3", "AL2O3:S1", "AL2O3", {}}};
    return s;
}

}  // namespace host_test
