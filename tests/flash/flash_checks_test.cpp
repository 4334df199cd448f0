// The flash's checks of the requested flash and its failure paths: what it
// refuses, what it reports, what it leaves as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "flash_case.hpp"

namespace flash_test {
namespace {

using elvar::FlashArgs;
using elvar::StreamLayout;
using elvar::SubstreamType;
using elvar::SubstreamValues;

constexpr double kRmiss = elvar::kRmiss;

const std::vector<Component> kComponents = {
    {"N2", "N2:G1", "N2"}, {"O2", "O2:G1", "O2"}, {"C", "C:S1", "C"}};

struct Case {
    FlashCase c;
    StreamLayout layout;
    std::vector<double> stream;
    explicit Case(bool trace = false)
        : c(data_file("c-h-o-n.dat"), kComponents, {}, trace),
          layout(c.ncomp(), {SubstreamType::mixed}) {
        SubstreamValues in;
        in.flows = c.flows({{"N2", 0.79}, {"O2", 0.21}});
        in.T = 298.15;
        in.P = 101325.0;
        in.h = 0.0;
        stream = layout.make({in});
    }
    FlashArgs args() const { return FlashArgs(layout, stream); }
};

bool terminal_has(const std::string& line) {
    const auto& t = elvar::terminal_lines();
    return std::find(t.begin(), t.end(), line) != t.end();
}

TEST(FlashChecks, UnknownKodeIsRefusedAndTheStreamLeftAlone) {
    Case k(true);
    FlashArgs a = k.args();
    a.kode = 3;
    a.ker = 99;
    k.c.flash(a, {400.0, 101325.0, kRmiss});
    EXPECT_EQ(a.ker, 0);
    EXPECT_EQ(a.strvec, k.stream);
    const auto m = k.c.messages(1);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].severity, 1);
    EXPECT_EQ(m[0].lines, (std::vector<std::string>{
                              "      THIS FLASH CALL IS SPECIFIED WITH KODE =  3",
                              "      THE EQCORE OPTION SET MUST USE KODE=1(PQ) OR KODE=2(PT)",
                              "      INTERFACE CALCULATIONS HALTED"}));
    EXPECT_TRUE(terminal_has(" KODE =  3 This flash is not PQ(1) or TP(2)"));
}

TEST(FlashChecks, FreeWaterIsIgnoredOnlyWhenTheHostTakesTheWarning) {
    Case k;
    FlashArgs a = k.args();
    a.npkode = 12;
    k.c.flash(a, {400.0, 101325.0, kRmiss});
    EXPECT_EQ(a.npkode, 2);
    EXPECT_EQ(a.ker, 0);
    EXPECT_EQ(a.strvec, k.stream);  // no flash computed
    auto m = k.c.messages(2);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].severity, 3);
    EXPECT_EQ(m[0].lines.at(0), "      THIS FLASH IS SPECIFIED WITH NPKODE = 12");

    // A level below the warning's severity: the host declines, nothing changes.
    FlashArgs b = k.args();
    b.npkode = 12;
    b.kdiag = 2;
    k.c.flash(b, {400.0, 101325.0, kRmiss});
    EXPECT_EQ(b.npkode, 12);
    m = k.c.messages(2);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].answer, 0);
    EXPECT_TRUE(m[1].lines.empty());
}

TEST(FlashChecks, RootFinderFailureEndsTheFlashWithItsCode) {
    Case k;
    elvar::word(DMS_RGLOB, 14).set_r(1.0);  // one evaluation allowed
    FlashArgs a = k.args();
    a.kode = 1;
    k.c.flash(a, {kRmiss, 101325.0, 1.0e7});
    EXPECT_EQ(a.ker, -1);  // the host must not take the unflashed feed as the result
    const auto m = k.c.messages(13);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].level, elvar::kDefaultDiagnosticLevel);  // the host's own level
    EXPECT_EQ(m[0].lines.at(1), "      ERROR CODE FROM ZMTH_ROOT1N = -1");
    // No result: the temperature word is untouched, the stream not written.
    EXPECT_EQ(k.c.run().flash_results().T, kRmiss);
    EXPECT_EQ(k.layout.read(a.strvec, 0).T, 298.15);
}

TEST(FlashChecks, SolidFlashWithFluidsFails) {
    Case k;
    FlashArgs a = k.args();
    a.kphase = 3;
    k.c.flash(a, {400.0, 101325.0, kRmiss});
    EXPECT_EQ(a.ker, -1);
    const auto m = k.c.messages(15);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].lines.at(3), "      INTERFACE FLASH CALCULATIONS TERMINATED");
}

TEST(FlashChecks, TraceShowsTheFeedAndTheReportTheStreamVector) {
    Case k(true);
    FlashArgs a = k.args();
    elvar::clear_terminal();
    k.c.flash(a, {400.0, 101325.0, kRmiss});
    ASSERT_EQ(a.ker, 0);
    EXPECT_TRUE(terminal_has("Starting CAFLSH"));
    EXPECT_TRUE(terminal_has(
        "T, P, HIN, DUTY      400.00    101325.0              0.0000"
        "******************"));  // the missing duty does not fit its field
    EXPECT_TRUE(terminal_has(" Substream # 1     strvec index=  1     subs. type 1"));
    EXPECT_TRUE(terminal_has("     Stream packed. nmxcmp=  2 ncscmp=  0 nnccmp=  0"));
    EXPECT_TRUE(terminal_has("Stream flashed.   vcalc =    1.00000"));

    const std::string report = k.c.report();
    EXPECT_NE(report.find(" STREAM VECTOR AT END OF CAFLSH - NPH = 1\n"
                          "      I                       MIXED\n"
                          "      1                    7.900000E-01                       \n"),
              std::string::npos);
}

}  // namespace
}  // namespace flash_test
