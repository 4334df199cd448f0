// The host services the plug-in calls: the error check and message printing,
// the terminal, text services, stream packing, mean molecular weight, the
// product list and the block's identifier.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "host_services.hpp"
#include "host_test_support.hpp"

namespace {

using ftn::Int;

class Services : public host_test::InTempDir {};

ftn::Word id_word(const char* four) {
    ftn::Word w;
    w.set_chars(four);
    return w;
}

Int irrchk(const char* a, const char* b, Int severity, Int number, Int level) {
    const ftn::Word id[2] = {id_word(a), id_word(b)};
    const Int imiss = DMS_GLOBAL[7].i(), zero = 0, flag = 0, two = 2;
    return DMS_IRRCHK(id, &severity, &number, &level, &imiss, &zero, &flag, &two);
}

void set_errout(int line, const std::string& text) {
    std::memset(DMS_ERROUT[line], ' ', 80);
    std::memcpy(DMS_ERROUT[line], text.data(), text.size());
}

TEST_F(Services, ErrorCheckAnswersByLevelAndSeverityAndLogsEveryQuestion) {
    elvar::Run run(host_test::small_run());
    // Report when level >= max(severity, 1).
    struct Case { Int severity, level, answer; } cases[] = {
        {4, 4, 1}, {4, 3, 0}, {1, 1, 1}, {1, 0, 0}, {0, 1, 1}, {0, 0, 0}, {-1, 1, 1}, {-1, 0, 0}, {3, 8, 1}};
    Int number = 100;
    for (const Case& c : cases)
        EXPECT_EQ(irrchk("CATO", "P", c.severity, number++, c.level), c.answer)
            << "severity " << c.severity << " level " << c.level;
    const auto& log = elvar::message_log();
    ASSERT_EQ(log.size(), std::size(cases));
    EXPECT_EQ(log[0].routine(), "CATO P");
    EXPECT_EQ(log[0].name(), "CATOP");
    EXPECT_EQ(log[1].number, 101);
    EXPECT_EQ(log[1].severity, 4);
    EXPECT_EQ(log[1].level, 3);
    EXPECT_EQ(log[1].answer, 0);
    EXPECT_EQ(elvar::reported_messages().size(), 5u);
}

TEST_F(Services, PrintedMessagesGoToTheReportTheTerminalAndTheLog) {
    elvar::Run run(host_test::small_run());
    ASSERT_EQ(irrchk("CAST", "RT", 3, 7, 4), 1);
    set_errout(0, "      FIRST LINE");
    set_errout(1, "      SECOND LINE   ");
    set_errout(2, "      NOT PRINTED");
    const Int two = 2;
    DMS_ERRPRT(&two);

    const std::string header = " *** WARNING in CASTRT, message 7, severity 3";
    EXPECT_EQ(run.report_text(), header + "\n      FIRST LINE\n      SECOND LINE\n");
    EXPECT_TRUE(std::filesystem::exists("small.rep"));
    const auto& term = elvar::terminal_lines();
    ASSERT_EQ(term.size(), 3u);
    EXPECT_EQ(term[0], header);
    EXPECT_EQ(term[2], "      SECOND LINE");
    const auto& log = elvar::message_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].lines, (std::vector<std::string>{"      FIRST LINE", "      SECOND LINE"}));

    // A refused message in between does not take the lines of the next print.
    EXPECT_EQ(irrchk("MAPD", "AT", 4, 25, 0), 0);
    ASSERT_EQ(irrchk("MAPD", "AT", 1, 70, 4), 1);
    const Int one = 1;
    DMS_ERRPRT(&one);
    EXPECT_TRUE(elvar::message_log()[1].lines.empty());
    EXPECT_EQ(elvar::message_log()[2].lines.size(), 1u);

    // Line counts beyond the buffer are cut to its ten lines.
    const Int many = 50;
    DMS_ERRPRT(&many);
    EXPECT_EQ(elvar::message_log()[2].lines.size(), 11u);
}

TEST_F(Services, TerminalLinesWithoutTrailingBlanks) {
    elvar::Run run(host_test::small_run());
    std::memset(DMS_MAXWRT, ' ', sizeof DMS_MAXWRT);
    std::memcpy(DMS_MAXWRT[0], "In data mapping.", 16);
    std::memcpy(DMS_MAXWRT[1], "  x", 3);
    const Int two = 2;
    DMS_WRTTRM(&two);
    EXPECT_EQ(elvar::terminal_lines(), (std::vector<std::string>{"In data mapping.", "  x"}));
    elvar::clear_terminal();
    const Int too_many = 21, none = -3;
    DMS_WRTTRM(&too_many);
    EXPECT_EQ(elvar::terminal_lines().size(), 20u);
    DMS_WRTTRM(&none);
    EXPECT_EQ(elvar::terminal_lines().size(), 20u);

    // Printed as well as kept: a blank line is an empty line on the terminal.
    elvar::clear_terminal();
    elvar::set_terminal_mode(elvar::TerminalMode::print_and_capture);
    std::memset(DMS_MAXWRT[0], ' ', sizeof DMS_MAXWRT[0]);
    const Int one = 1;
    DMS_WRTTRM(&one);
    elvar::set_terminal_mode(elvar::TerminalMode::capture);
    EXPECT_EQ(elvar::terminal_lines(), (std::vector<std::string>{""}));
}

TEST(TextServices, LengthAndUpperCaseStayWithinTheField) {
    char text[12] = {'a', 'b', 'c', ' ', 'd', ' ', ' ', ' ', 'x', 'y', 'z', '!'};
    const Int eight = 8, hundred = 100, zero = 0;
    EXPECT_EQ(DMS_STRLEN(text, &eight, 8), 5);
    EXPECT_EQ(DMS_STRLEN(text, &zero, 8), 0);
    EXPECT_EQ(DMS_STRLEN(text, &hundred, 12), 12);  // the field ends first
    DMS_STRUPR(text, &hundred, 10);
    EXPECT_EQ(std::string(text, 12), "ABC D   XYz!");
}

TEST(TextServices, InstallationTopDirectory) {
    char field[148];
    setenv("ELVAR_SYSTOP", "/opt/elvar", 1);
    DMS_GETELRSYSTOP(field, sizeof field);
    EXPECT_EQ(ftn::trim_right({field, sizeof field}), "/opt/elvar");
    EXPECT_EQ(field[147], ' ');
    unsetenv("ELVAR_SYSTOP");
    DMS_GETELRSYSTOP(field, sizeof field);
    const std::string top(ftn::trim_right({field, sizeof field}));
    EXPECT_EQ(top, EQLINK_EXAMPLES_DIR);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(top) / "c-h-o-n.dat"));
}

TEST_F(Services, PackingASubstream) {
    elvar::Run run(host_test::small_run());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double sub[5 + 9] = {0.0, 2.0, 0.0, 6.0, 0.0};
    Int count = -1, idx[5] = {};
    double x[5] = {}, flow = -1.0;
    SHS_CPACK(sub, &count, idx, x, &flow);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(idx[0], 2);
    EXPECT_EQ(idx[1], 4);
    EXPECT_DOUBLE_EQ(x[0], 0.25);
    EXPECT_DOUBLE_EQ(x[1], 0.75);
    EXPECT_DOUBLE_EQ(flow, 8.0);

    // Nothing flows (negative and non-finite words are no flow): count 0, flow 0.
    double none[5 + 9] = {0.0, -1.0, nan, 0.0, 0.0};
    SHS_CPACK(none, &count, idx, x, &flow);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(flow, 0.0);
}

TEST_F(Services, MeanMolecularWeightAndStreamLength) {
    elvar::Run run(host_test::small_run());
    // 1/4 CH4 + 3/4 O2 = 0.25 * 16.04246 + 0.75 * 31.9988
    const Int n = 2, idx[] = {1, 2};
    const double x[] = {0.25, 0.75};
    EXPECT_NEAR(PPUTL_AVEMW(&n, idx, x), 28.009715, 1e-9);
    const Int zero = 0;
    EXPECT_EQ(PPUTL_AVEMW(&zero, idx, x), 0.0);
    // An index outside the components contributes nothing.
    const Int bad[] = {0, 6};
    EXPECT_EQ(PPUTL_AVEMW(&n, bad, x), 0.0);

    const Int descriptor[] = {28, 2, 0, 0};
    EXPECT_EQ(SHS_NSVAR(descriptor), 28);
}

TEST_F(Services, ProductListAndBlockIdentifier) {
    elvar::Run run(host_test::small_run());
    Int count = -1;
    USRUTL_NUMSTR(&count);
    EXPECT_EQ(count, 0);

    run.set_block({"MIXER001", 2, {"GAS", "", "SLAG-LIQUID"}});
    USRUTL_NUMSTR(&count);
    EXPECT_EQ(count, 3);
    char field[70];
    Int len = -1;
    for (Int i : {1, 2, 3}) {
        std::memset(field, '#', sizeof field);
        USRUTL_GETCSTR(&i, field, &len, sizeof field);
        const char* expected[] = {"GAS", "", "SLAG-LIQUID"};
        EXPECT_EQ(len, static_cast<Int>(std::strlen(expected[i - 1])));
        EXPECT_EQ(std::string(field, 70), std::string(expected[i - 1]) +
                                              std::string(70 - std::strlen(expected[i - 1]), ' '));
    }
    const Int four = 4;
    USRUTL_GETCSTR(&four, field, &len, sizeof field);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(ftn::trim_right({field, 70}), "");

    // Block ID in DMS_GLOBAL words 27 and 28, four characters each; the
    // block's diagnostic level in PPEXEC_USER word 7.
    EXPECT_EQ(DMS_GLOBAL[26].chars(), "MIXE    ");
    EXPECT_EQ(DMS_GLOBAL[27].chars(), "R001    ");
    EXPECT_EQ(PPEXEC_USER[6].i(), 2);

    EXPECT_THROW(run.set_block({"B1", 4, {std::string(71, 'A')}}), elvar::SetupError);
    EXPECT_THROW(run.set_block({"BLOCK1234", 4, {}}), elvar::SetupError);
}

}  // namespace
