// The plug-in's reporting convention running against the host stand-in, as
// it does in a real run: messages reach the log, the report file and the
// terminal only when the host agrees; trace lines only with the trace switch
// on; report records land in the run's report file.
#include "host_test_support.hpp"
#include "report.hpp"

namespace {

class WithInterface : public host_test::InTempDir {};

TEST_F(WithInterface, MessagesTracesAndReportRecords) {
    elvar::Run run(host_test::small_run());
    const eqlink::RoutineId catop("CATOP");

    EXPECT_FALSE(eqlink::report(catop, {1, 3, 0}, {"      NOT SHOWN"}));
    EXPECT_TRUE(eqlink::report(catop, {1, 3, 4},
                               {"      CALCULATION TYPE   0 IS NOT DEFINED",
                                "      IN THE ELVAR/EQCORE INTERFACE"}));
    const auto reported = elvar::reported_messages();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].routine(), "CATO P");
    EXPECT_EQ(reported[0].number, 3);
    EXPECT_EQ(reported[0].lines.size(), 2u);
    EXPECT_EQ(elvar::message_log().size(), 2u);

    eqlink::trace({"In data mapping."});
    EXPECT_EQ(elvar::terminal_lines().size(), 3u);  // the message's header and lines only
    run.set_trace(true);
    eqlink::trace({"In data mapping."});
    EXPECT_EQ(elvar::terminal_lines().back(), "In data mapping.");

    eqlink::report_record("      DATA FILE has    5 phases");
    EXPECT_EQ(run.report_text(),
              " *** ERROR in CATOP, message 3, severity 1\n"
              "      CALCULATION TYPE   0 IS NOT DEFINED\n"
              "      IN THE ELVAR/EQCORE INTERFACE\n"
              "      DATA FILE has    5 phases\n");
}

}  // namespace
