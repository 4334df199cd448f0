// The small shared checks: option set, substream types, element entropies.
#include <gtest/gtest.h>

#include <array>

#include "startup_fixture.hpp"

namespace startup_test {
namespace {

using ChecksTest = StartupTest;

TEST_F(ChecksTest, OptionSetIsEqcoreByItsOwnNameOrByDerivation) {
    start_run("x.dat", {{"O2", "O2:G1", "O2"}}, false,
              {{"EQCORE", ""},
               {"MYEQ", "EQCORE"},
               {"OTHER", ""},
               {"SUBOTHER", "OTHER"},
               {"EQCORE2", ""}});
    const auto flag = [&](std::string_view name) {
        const ftn::Int id = run_->option_set(name);
        ftn::Int f = -1;
        EQLINK_CHKOPT(&id, &f);
        return f;
    };
    EXPECT_EQ(flag("EQCORE"), 1);
    EXPECT_EQ(flag("MYEQ"), 1);
    EXPECT_EQ(flag("OTHER"), 0);
    EXPECT_EQ(flag("SUBOTHER"), 0);
    EXPECT_EQ(flag("EQCORE2"), 0);
    const ftn::Int none = 0;
    ftn::Int f = -1;
    EQLINK_CHKOPT(&none, &f);
    EXPECT_EQ(f, 0);
}

TEST_F(ChecksTest, SubstreamTypes) {
    start_run("x.dat", {{"O2", "O2:G1", "O2"}});
    const std::array<ftn::Int, 2> mixed_nc{1, 3};
    EXPECT_TRUE(eqlink::LCHKSB(2, mixed_nc.data(), 3));
    EXPECT_FALSE(eqlink::LCHKSB(2, mixed_nc.data(), 2));
    EXPECT_TRUE(elvar::message_log().empty());

    // A bad entry stops the scan; what was found before it is the answer.
    const std::array<ftn::Int, 2> bad_second{1, 4};
    EXPECT_TRUE(eqlink::LCHKSB(2, bad_second.data(), 1));
    const elvar::Message m3 = message(3);
    EXPECT_EQ(m3.name(), "LCHKSB");
    EXPECT_EQ(m3.severity, 1);
    EXPECT_EQ(m3.level, 4);
    EXPECT_EQ(m3.lines, (std::vector<std::string>{
                            "      SUBSTREAM TYPE:    4, IS OUT OF RANGE FOR SUBSTREAM NUMBER   2",
                            "      IT MUST BE 1, 2, OR 3"}));
    const std::array<ftn::Int, 2> bad_first{4, 1};
    EXPECT_FALSE(eqlink::LCHKSB(2, bad_first.data(), 1));

    EXPECT_FALSE(eqlink::LCHKSB(2, mixed_nc.data(), 0));
    EXPECT_EQ(message(2).lines,
              (std::vector<std::string>{"      THE QUERIED SUBSTREAM TYPE:    0, IS OUT OF RANGE",
                                        "      IT MUST BE 1, 2, OR 3"}));
    EXPECT_FALSE(eqlink::LCHKSB(0, mixed_nc.data(), 1));
    EXPECT_EQ(message(1).lines,
              (std::vector<std::string>{"      THE NUMBER OF SUBSTREAMS:    0, IS OUT OF RANGE",
                                        "      IT MUST BE GREATER THAN ZERO"}));
}

TEST(ElementEntropy, TableValues) {
    EXPECT_EQ(eqlink::SELEM(1), 65.34);
    EXPECT_EQ(eqlink::SELEM(8), 102.5735);
    EXPECT_EQ(eqlink::SELEM(17), 111.53950334);
    EXPECT_EQ(eqlink::SELEM(86), 176.235);
    EXPECT_EQ(eqlink::SELEM(95), 55.40000091);
    EXPECT_EQ(eqlink::SELEM(105), 72.48);
    for (ftn::Int z : {0, 61, 84, 85, 87, 89, 91, 96, 100, 104, 106, 107, 108, 109, -3}) {
        EXPECT_EQ(eqlink::SELEM(z), 0.0) << z;
    }
}

TEST_F(ChecksTest, ElementEntropySumsFromTheHostsAtomData) {
    start_run("x.dat", {{"O2", "O2:G1", "O2"}, {"CO2", "CO2:G1", "CO2"}, {"H2O", "H2O:G1", "H2O"}});
    const std::array<ftn::Int, 1> o2{1};
    const std::array<double, 1> one{1.0};
    // 2 atoms of O at 102.5735 J/(mol K), times 1000.
    EXPECT_NEAR(eqlink::SELSUB(0.0, 1, o2.data(), one.data()), -205147.0, 1e-9);
    EXPECT_NEAR(eqlink::SELADD(10.0, 1, o2.data(), one.data()), 205157.0, 1e-9);

    // CO2: 5.74 + 2 * 102.5735 = 210.887; H2O: 2 * 65.34 + 102.5735 = 233.2535.
    const std::array<ftn::Int, 2> comps{2, 3};
    const std::array<double, 2> amounts{0.5, 2.0};
    EXPECT_NEAR(eqlink::SELSUB(1000.0, 2, comps.data(), amounts.data()), 1000.0 - 571950.5, 1e-8);
    EXPECT_NEAR(eqlink::SELADD(1000.0, 2, comps.data(), amounts.data()), 1000.0 + 571950.5, 1e-8);

    EXPECT_EQ(eqlink::SELSUB(42.0, 0, comps.data(), amounts.data()), 42.0);
    EXPECT_EQ(eqlink::SELADD(42.0, 0, comps.data(), amounts.data()), 42.0);
}

}  // namespace
}  // namespace startup_test
