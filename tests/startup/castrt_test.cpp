// The start-up through the host stand-in: choice of the data file, its
// paths and extensions, trace lines, failures and the started flag.
#include <gtest/gtest.h>

#include "data/cst.hpp"
#include "data/read_dat.hpp"
#include "startup_fixture.hpp"

namespace startup_test {
namespace {

using CastrtTest = StartupTest;

const std::string kAgCu = (examples_dir() / "ag-cu-example.dat").string();

TEST_F(CastrtTest, StartsOnceAndTheSecondCallReturnsAtOnceWithoutTrace) {
    copy(kAgCu, "ag-cu.dat");
    start_run("ag-cu.dat", ag_cu_components(), true);
    castrt();
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(noerr, 0);
    EXPECT_TRUE(started());
    EXPECT_EQ(DMS_EQLINK[0].i(), -1);  // true stored as all bits set
    EXPECT_TRUE(terminal_has("In CAStrt"));
    // The engine's sizes as its contract fixes them.
    EXPECT_TRUE(
        terminal_has("From ECSIZE: NA =  1500  NB =   100  NC =   200  ND =  1500  NE =   500"));
    EXPECT_TRUE(
        terminal_has("             NF =    20  NG =    10  NH =  5000  NI =   100  NJ =   100"));
    EXPECT_TRUE(terminal_has("             NK =     5"));
    EXPECT_TRUE(terminal_has("EQCORE initialized without fault."));
    EXPECT_TRUE(terminal_has("Using ASCII file ag-cu.dat"));
    EXPECT_TRUE(terminal_has("Data file ag-cu.dat            opened and read without fault."));
    EXPECT_TRUE(terminal_has("Data mapped."));

    elvar::clear_terminal();
    elvar::clear_message_log();
    ierr = noerr = -99;
    castrt();
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(noerr, 0);
    EXPECT_TRUE(terminal().empty());
    EXPECT_TRUE(elvar::message_log().empty());
}

TEST_F(CastrtTest, WithoutTraceOnlyTheListingsReachTheTerminal) {
    copy(kAgCu, "ag-cu.dat");
    start_run("ag-cu.dat", ag_cu_components(), false);
    castrt();
    ASSERT_EQ(ierr, 0);
    EXPECT_FALSE(terminal_has("In CAStrt"));
    EXPECT_FALSE(terminal_has("Data mapped."));
    EXPECT_FALSE(terminal_has("Using ASCII file ag-cu.dat"));
    EXPECT_TRUE(terminal_has(" COMPONENT MAPPING COMPLETE:"));
}

TEST_F(CastrtTest, BlankNameTakesTheDefaultThroughTheTransparentPath) {
    start_run("", ag_cu_components(), true);
    castrt();
    const elvar::Message m5 = message(5);
    EXPECT_EQ(m5.severity, 3);
    EXPECT_EQ(m5.name(), "CASTRT");
    EXPECT_EQ(m5.lines,
              (std::vector<std::string>{"      EQLINK_FILEN HAS NOT BEEN SET -- ATTEMPT TO USE",
                                        "      DEFAULT DATA FILE:  EQDATA.CST"}));
    EXPECT_EQ(data_file_field(), "EQDATA.CST");
    EXPECT_TRUE(terminal_has("Using trasparent file EQDATA.CST"));
    // No such file here: the transparent open fails and the start-up with it.
    const elvar::Message m7 = message(7);
    EXPECT_EQ(m7.severity, -1);
    EXPECT_EQ(m7.lines[1], "      EQDATA.CST");
    EXPECT_FALSE(started());
    EXPECT_NE(noerr, 0);
    EXPECT_NE(ierr, 0);
}

TEST_F(CastrtTest, DefaultTransparentFileIsReadAndItsHeaderTraced) {
    eqcore::CstHeader header;
    header.writer = "EQCORE compiler";
    header.writer_version = {1, 2, 3};
    header.min_reader_version = {1, 0, 0};
    header.created = {2026, 1, 2, 3, 4, 5};
    header.remarks = "Ag-Cu example";
    eqcore::write_cst(eqcore::read_dat(kAgCu), header, (dir_ / "EQDATA.CST").string());
    start_run("", ag_cu_components(), true);
    castrt();
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(noerr, 0);
    EXPECT_TRUE(started());
    EXPECT_TRUE(has_message(5));
    EXPECT_TRUE(terminal_has("Using trasparent file EQDATA.CST"));
    EXPECT_TRUE(terminal_has("Transparent file header version number:      " + std::to_string(eqcore::kCstFormatVersion)));
    EXPECT_TRUE(terminal_has("Name of the program which wrote the data-file: EQCORE compiler"));
    EXPECT_TRUE(terminal_has("Version number of the writing program:      1.     2.     3"));
    EXPECT_TRUE(terminal_has("Min. version number of the reading program:      1.     0.     0"));
    EXPECT_TRUE(terminal_has("File was created on 2026/01/02 03:04:05"));
    EXPECT_TRUE(terminal_has("Remarks: Ag-Cu example"));
    EXPECT_EQ(EQLINK_ELVCA.NMAP, 6);
}

TEST_F(CastrtTest, DatInAnyCaseAndWithAPathTakesTheAsciiPath) {
    for (const std::string name : {"a.dat", "b.Dat", "C.DAT", "sub/dir/d.dat", "./e.dAT"}) {
        SCOPED_TRACE(name);
        copy(kAgCu, name);
        start_run(name, ag_cu_components(), true);
        castrt();
        EXPECT_EQ(ierr, 0);
        EXPECT_EQ(noerr, 0);
        EXPECT_TRUE(started());
        EXPECT_TRUE(terminal_has("Using ASCII file " + name));
    }
}

TEST_F(CastrtTest, CstTakesTheTransparentPath) {
    start_run("missing.cst", ag_cu_components(), true);
    castrt();
    EXPECT_TRUE(terminal_has("Using trasparent file missing.cst"));
    EXPECT_TRUE(has_message(7));
    EXPECT_FALSE(has_message(10));
}

TEST_F(CastrtTest, OtherExtensionsAndShortNamesAreRefused) {
    for (const std::string name : {"data.txt", "data.dat.bak", "ab", "dat", "x.cs"}) {
        SCOPED_TRACE(name);
        write(name, "");
        start_run(name, ag_cu_components(), true);
        castrt();
        EXPECT_EQ(ierr, 8);
        EXPECT_FALSE(started());
        const elvar::Message m = message(13);
        EXPECT_EQ(m.severity, -1);
        EXPECT_EQ(m.lines, (std::vector<std::string>{
                               "      PROBLEM OPENING USER SPECIFIED DATA FILE:", "      " + name,
                               "      DOES NOT EXIST OR DOES NOT END WITH .DAT OR .CST",
                               "      ELVAR/EQCORE INTERFACE TERMINATES"}));
        EXPECT_FALSE(terminal_has("Using ASCII file " + name));
        EXPECT_EQ(data_file_field(), name);  // the name itself is not changed
    }
}

TEST_F(CastrtTest, LongNamesAreCutInMessagesAndTracesButOpenedInFull) {
    const std::string dir =
        "a_directory_with_a_rather_long_name_0123456789/and_a_second_one_abcdefghij/";
    const std::string name = dir + "ag-cu-example.dat";
    ASSERT_GT(name.size(), 70u);
    copy(kAgCu, name);
    start_run(name, ag_cu_components(), true);
    castrt();
    EXPECT_EQ(ierr, 0);
    EXPECT_TRUE(started());
    EXPECT_TRUE(terminal_has("Using ASCII file " + name.substr(0, 50)));
    EXPECT_TRUE(
        terminal_has("Data file " + name.substr(0, 20) + " opened and read without fault."));

    const std::string missing = dir + "not-there.dat";
    start_run(missing, ag_cu_components(), false);
    castrt();
    const elvar::Message m10 = message(10);
    EXPECT_EQ(m10.severity, -1);
    EXPECT_EQ(m10.lines.at(1), "      " + missing.substr(0, 70));
    EXPECT_FALSE(started());
}

TEST_F(CastrtTest, FailedOpenIsAFailureForEveryCaller) {
    start_run("not-there.dat", ag_cu_components(), false);
    castrt();
    EXPECT_TRUE(has_message(10));
    EXPECT_NE(noerr, 0);
    EXPECT_EQ(ierr, 8);  // the flash and the block look at IERR only
    EXPECT_FALSE(started());
}

TEST_F(CastrtTest, FailedReadReportsTheEngineTextOnTheTerminalToo) {
    copy(data_dir() / "garbage.dat", "garbage.dat");
    start_run("garbage.dat", ag_cu_components(), false);
    castrt();
    EXPECT_NE(noerr, 0);
    EXPECT_EQ(ierr, 8);
    EXPECT_FALSE(started());
    const elvar::Message m11 = message(11);
    EXPECT_EQ(m11.severity, 1);
    ASSERT_EQ(m11.lines.size(), 3u);
    EXPECT_EQ(m11.lines[0], "      EQCORE ERROR " +
                                std::string(5 - std::to_string(noerr).size(), ' ') +
                                std::to_string(noerr) + " REPORTED WHILE READING FILE:");
    EXPECT_EQ(m11.lines[1], "      garbage.dat");
    const elvar::Message m12 = message(12);
    EXPECT_EQ(m12.severity, 0);
    ASSERT_EQ(m12.lines.size(), 4u);
    EXPECT_EQ(m12.lines[0], "");
    const std::string text = m12.lines[1] + "|" + m12.lines[2] + "|" + m12.lines[3];
    EXPECT_NE(text.find("garbage.dat"), std::string::npos) << text;
    // The same text reaches the terminal without the trace switch.
    const auto lines = terminal();
    const auto at = std::find(lines.begin(), lines.end(), m12.lines[1]);
    ASSERT_NE(at, lines.end());
    EXPECT_GE(std::count(lines.begin(), lines.end(), m12.lines[1]),
              2);  // message and terminal copy
}

TEST_F(CastrtTest, AFailedStartUpIsTriedAgainByTheNextCall) {
    copy(kAgCu, "ag-cu.dat");
    start_run("ag-cu.txt", ag_cu_components(), false);
    castrt();
    EXPECT_EQ(ierr, 8);
    EXPECT_FALSE(started());
    run_->set_data_file("ag-cu.dat");
    castrt();
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(noerr, 0);
    EXPECT_TRUE(started());
}

}  // namespace
}  // namespace startup_test
