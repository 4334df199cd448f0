// The phase listing and the mapping summary, on the terminal and in the
// report, pinned line by line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "startup_fixture.hpp"
#include "unitio.hpp"

namespace startup_test {
namespace {

using GoldenTest = StartupTest;

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

void expect_golden(const std::string& actual, const std::string& file) {
    const std::string expected = read_file(golden_dir() / file);
    EXPECT_EQ(actual, expected) << "golden file " << file;
    if (actual != expected && std::getenv("STARTUP_WRITE_GOLDEN") != nullptr) {
        std::ofstream(golden_dir() / file, std::ios::binary) << actual;
    }
}

TEST_F(GoldenTest, ListingAndSummaryOfTheAgCuExample) {
    copy(examples_dir() / "ag-cu-example.dat", "ag-cu.dat");
    start_run("ag-cu.dat", ag_cu_components(), false);
    castrt();
    ASSERT_EQ(ierr, 0);
    expect_golden(joined(terminal()), "ag-cu.terminal.txt");
    unitio::flush(DMS_GLOBAL[4].i4());
    expect_golden(report_text(), "ag-cu.report.txt");
}

TEST_F(GoldenTest, ListingAndSummaryOfTheMappingSystem) {
    copy(data_dir() / "mapping.dat", "mapping.dat");
    write("EQSOLN.TXT", "Solution phases\n1\n2    SLAG    SLAG-LIQUID\n");
    start_run("mapping.dat", mapping_components(), false);
    castrt();
    ASSERT_EQ(ierr, 0);
    expect_golden(joined(terminal()), "mapping.terminal.txt");
    unitio::flush(DMS_GLOBAL[4].i4());
    expect_golden(report_text(), "mapping.report.txt");
}

}  // namespace
}  // namespace startup_test
