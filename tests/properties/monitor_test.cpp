// The property monitor: dispatch by code, the request flags that keep the
// engine idle, the closing removal of every engine stream, and lists that
// do not fit the host's arrays.
#include <gtest/gtest.h>

#include <string>

#include "eqcore_calls.hpp"
#include "host_services.hpp"
#include "mdmon8.hpp"
#include "message_log.hpp"
#include "property_scene.hpp"
#include "terminal.hpp"

namespace proptest {
namespace {

bool started() { return ftn::truth(DMS_EQLINK[0].i()); }

// The trace line of each call names the code and the routine chosen.
TEST(Monitor, DispatchesByCode) {
    Scene scene(example("c-h-o-n.dat"), chon_components(), "", true);
    const std::pair<ftn::Int, std::string> cases[] = {
        {401, "CAHMXV"}, {400, "CAHMXV"}, {431, "CAHMXV"}, {0, "CAHMXV"},  {-5, "CAHMXV"},
        {405, "CAAMXV"}, {409, "CAVMXL"}, {413, "CAGMXS"}, {416, "CAHV"},  {420, "CAPHIV"},
        {424, "CAVL"},   {430, "CAPHIS"}};
    for (const auto& [code, routine] : cases) {
        elvar::clear_terminal();
        scene.mdmon8({code, {kN2}, 500.0, 1e5, {1.0}, {0, 0, 0, 0}});
        ASSERT_FALSE(elvar::terminal_lines().empty());
        const std::string code_text = std::to_string(code);
        const std::string expected = "EQLINK_MDMON8: property code" +
                                     std::string(6 - code_text.size(), ' ') + code_text + " -> " + routine;
        EXPECT_EQ(elvar::terminal_lines().front(), expected);
    }
}

// With neither a value nor a temperature derivative requested, no routine
// starts the engine, except the vapour potential and fugacity routines.
TEST(Monitor, NoRequestLeavesTheEngineAloneButForTwoRoutines) {
    {
        Scene scene(example("c-h-o-n.dat"), chon_components());
        for (ftn::Int code = 401; code <= 430; ++code) {
            if (code == 405 || code == 420) continue;
            const auto prop = scene.mdmon8({code, {kN2, kH2OLiq}, 500.0, 1e5, {0.5, 0.5}, {0, 0, 1, 2}});
            EXPECT_FALSE(started()) << "code " << code;
            EXPECT_EQ(prop[0], kUntouched) << "code " << code;
        }
        scene.mdmon8({405, {kN2}, 500.0, 1e5, {1.0}, {0, 0, 0, 0}});
        EXPECT_TRUE(started());
    }
    Scene scene(example("c-h-o-n.dat"), chon_components());
    scene.mdmon8({420, {kN2}, 500.0, 1e5, {1.0}, {0, 0, 0, 0}});
    EXPECT_TRUE(started());
}

// Every call ends with no engine stream left, also one stopped by an
// unmapped component.
TEST(Monitor, RemovesEveryStreamAfterEachCall) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    scene.mdmon8({401, {kN2}, 500.0, 1e5, {1.0}});
    ASSERT_TRUE(started());
    EXPECT_FALSE(stream_exists("THERMO"));

    for (ftn::Int code : {401, 405, 416}) {
        const double tp[2] = {500.0, 1e5};
        ftn::Int noerr = 0;
        PPSTUB_ECSTDF("LEFTOVER", tp, &noerr, 8);
        ASSERT_EQ(noerr, 0);
        ASSERT_TRUE(stream_exists("LEFTOVER"));
        scene.mdmon8({code, {kN2, kUnknown}, 500.0, 1e5, {0.5, 0.5}});
        EXPECT_FALSE(stream_exists("LEFTOVER")) << "code " << code;
        EXPECT_FALSE(stream_exists("THERMO")) << "code " << code;
        EXPECT_FALSE(stream_exists("st01")) << "code " << code;
    }
    EXPECT_EQ(property_messages().size(), 3u);
}

// A list longer than the host's component count would be written past the
// host's result array: refused with a message, nothing computed.
TEST(Monitor, RefusesAListLongerThanTheComponents) {
    Scene scene(example("c-h-o-n.dat"), chon_components());
    const ftn::Int code = 416;
    const ftn::Int iclist[3] = {kN2, kO2, kCO2};
    const double x[3] = {1.0, 1.0, 1.0};
    const ftn::Int ireq[4] = {1, 1, 1, 2};
    const double T = 500.0, P = 1e5;
    std::vector<double> prop(static_cast<std::size_t>(3 * scene.ncomp()), kUntouched);
    ZMTH_PPSCLR[2].set_i(scene.ncomp() + 1);
    ZMTH_PPSCLR[4].set_i(4);
    EQLINK_MDMON8(&code, iclist, &T, &P, nullptr, x, nullptr, ireq, nullptr, nullptr, nullptr, prop.data());
    for (double v : prop) EXPECT_EQ(v, kUntouched);
    const auto msgs = property_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].name(), "MDMON8");
    EXPECT_EQ(msgs[0].severity, 1);
}

}  // namespace
}  // namespace proptest
