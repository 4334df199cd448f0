#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "eqlink_blocks.hpp"
#include "host_double.hpp"
#include "host_services.hpp"
#include "messages.hpp"
#include "report.hpp"
#include "saved_blocks.hpp"
#include "scratch_dir.hpp"
#include "unitio.hpp"

namespace {

using host_double::calls;

std::string padded(std::string s) {
    s.resize(80, ' ');
    return s;
}

class Reporting : public ::testing::Test {
protected:
    void SetUp() override {
        host_double::reset('#');
        DMS_GLOBAL[7].set_i(2147483647);  // word 8: the missing integer
    }
    SavedBlocks saved_;
    const eqlink::RoutineId id{"CASTRT"};
};

TEST(RoutineId, SplitsTheNameAfterItsFourthCharacter) {
    const auto words = [](std::string_view name) {
        const eqlink::RoutineId id(name);
        return std::string(id.words[0].chars()) + "|" + std::string(id.words[1].chars());
    };
    EXPECT_EQ(words("CASTRT"), "CAST    |RT      ");
    EXPECT_EQ(words("CATOP"), "CATO    |P       ");
    EXPECT_EQ(words("LCHKSB"), "LCHK    |SB      ");
    EXPECT_EQ(words("CAS"), "CAS     |        ");
    EXPECT_EQ(words("ABCDEFGHIJ"), "ABCD    |EFGH    ");
}

TEST_F(Reporting, AsksTheHostWithTheMessageKey) {
    EQLINK_CONFIG.LDEBUG = ftn::kFalse;
    eqlink::report(id, {2, 50, 4, 1, 2}, {"      COMPONENT"});
    ASSERT_EQ(calls.irrchk.size(), 1u);
    const host_double::IrrchkCall& c = calls.irrchk[0];
    EXPECT_EQ(c.id, "CAST    RT      ");
    EXPECT_EQ(c.severity, 2);
    EXPECT_EQ(c.number, 50);
    EXPECT_EQ(c.level, 4);
    EXPECT_EQ(c.imiss, 2147483647);
    EXPECT_EQ(c.zero, 0);
    EXPECT_EQ(c.flag, 1);
    EXPECT_EQ(c.two, 2);
}

TEST_F(Reporting, WhenTheHostDeclinesTheErrorBufferIsLeftUntouched) {
    calls.irrchk_answer = 0;
    EXPECT_FALSE(eqlink::report(id, {1, 3, 4}, {eqlink::message_line(eqlink::kInterfaceTerminates)}));
    EXPECT_EQ(calls.irrchk.size(), 1u);
    EXPECT_TRUE(calls.errprt.empty());
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(host_double::errout_line(i), std::string(80, '#'));
}

TEST_F(Reporting, AcceptedLinesArePaddedOrCutTo80AndPrinted) {
    const std::string long_line(100, 'x');
    EXPECT_TRUE(eqlink::report(id, {1, 3, 4}, {eqlink::message_line("FIRST"), long_line}));
    EXPECT_EQ(calls.errprt, std::vector<ftn::Int>{2});
    EXPECT_EQ(host_double::errout_line(1), padded("      FIRST"));
    EXPECT_EQ(host_double::errout_line(2), std::string(80, 'x'));
    EXPECT_EQ(host_double::errout_line(3), std::string(80, '#'));
}

TEST_F(Reporting, NoMoreThanTenMessageLinesAreSent) {
    eqlink::report(id, {4, 1, 4}, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"});
    EXPECT_EQ(calls.errprt, std::vector<ftn::Int>{10});
    EXPECT_EQ(host_double::errout_line(10), padded("10"));
}

TEST_F(Reporting, WithoutTheTraceSwitchOnlyAcceptedMessagesAndListingsReachTheTerminal) {
    EQLINK_CONFIG.LDEBUG = ftn::kFalse;
    eqlink::trace({" Trace line"});
    EXPECT_TRUE(calls.wrttrm.empty());
    EXPECT_EQ(host_double::maxwrt_line(1), std::string(80, '#'));
    EXPECT_TRUE(eqlink::report(id, {4, 10, 4}, {"      MESSAGE"}));
    EXPECT_EQ(calls.errprt, std::vector<ftn::Int>{1});
    eqlink::terminal({" Listing", " more"});
    EXPECT_EQ(calls.wrttrm, std::vector<ftn::Int>{2});
    EXPECT_EQ(host_double::maxwrt_line(1), padded(" Listing"));
}

TEST_F(Reporting, TheTraceSwitchIsItsLowestBit) {
    EQLINK_CONFIG.LDEBUG = 2;  // lowest bit clear
    EXPECT_FALSE(eqlink::tracing());
    eqlink::trace({"x"});
    EXPECT_TRUE(calls.wrttrm.empty());
    EQLINK_CONFIG.LDEBUG = 1;
    EXPECT_TRUE(eqlink::tracing());
    eqlink::trace({" Trace line"});
    EXPECT_EQ(calls.wrttrm, std::vector<ftn::Int>{1});
    EXPECT_EQ(host_double::maxwrt_line(1), padded(" Trace line"));
    EXPECT_EQ(host_double::maxwrt_line(2), std::string(80, '#'));
}

TEST_F(Reporting, NoMoreThanTwentyTerminalLinesAreSent) {
    EQLINK_CONFIG.LDEBUG = ftn::kTrue;
    eqlink::trace({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15",
                   "16", "17", "18", "19", "20", "21", "22"});
    EXPECT_EQ(calls.wrttrm, std::vector<ftn::Int>{20});
    EXPECT_EQ(host_double::maxwrt_line(20), padded("20"));
}

TEST_F(Reporting, RecordsGoToTheReportUnitInWordFive) {
    testing_support::ScratchDir dir;
    const std::string path = dir.file("case.rep");
    ASSERT_TRUE(unitio::open(21, path, unitio::Access::write));
    // The unit number is the 4-byte integer at the start of word 5; the
    // other half of the word is not part of it.
    DMS_GLOBAL[4].set_i(-1);
    DMS_GLOBAL[4].set_i4(21);
    eqlink::report_record(" PHASE LISTING");
    eqlink::report_record("");
    eqlink::report_record(std::string(132, '-'));
    unitio::close(21);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), " PHASE LISTING\n\n" + std::string(132, '-') + "\n");
}

}  // namespace
