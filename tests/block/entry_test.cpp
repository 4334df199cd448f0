// Entry checks: the option set, the parameters and the stream layout end
// the block before anything is written; the banner trace.
#include <gtest/gtest.h>

#include <algorithm>

#include "block_scene.hpp"

namespace blocktest {
namespace {

using elvar::SubstreamValues;

// A liquid Ag-Cu block at 1500 K; every entry check passes.
struct Entry {
    Scene scene{example("ag-cu-example.dat"), agcu_components(), true};
    BlockSetup setup() {
        BlockSetup b;
        b.rpar = {1.0e5, 1500.0, 0.0, 0.0};
        SubstreamValues v;
        v.flows = scene.flows({{"AGL", 0.6e-3}, {"CUL", 0.4e-3}});
        v.T = 1500.0;
        v.P = 1.0e5;
        b.inlets = {{v}};
        return b;
    }
};

bool untouched(const BlockOutcome& out) {
    return std::all_of(out.args.soutlt.begin(), out.args.soutlt.end(), [](double w) { return w == 0.0; }) &&
           out.args.rpar[3] == 0.0 && out.args.htout[0] == 0.0;
}

TEST(BlockEntry, OptionSetIsCheckedBeforeAnyParameter) {
    Entry e;
    auto b = e.setup();
    b.option_set = "OTHER";
    b.tweak = [](elvar::BlockArgs& a) { a.nipar = 3; };
    const auto out = e.scene.call(b);
    ASSERT_EQ(e.scene.block_messages().size(), 1u);
    const auto* m = e.scene.find(1);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->severity, 1);
    EXPECT_EQ(m->lines, (std::vector<std::string>{"      THE ELVAR/EQCORE INTERFACE MUST USE THE EQCORE OPTION SET",
                                                  "      THIS BLOCK USES A DIFFERENT OPTION SET",
                                                  "      BLOCK CALCULATIONS TERMINATED"}));
    EXPECT_TRUE(untouched(out));
}

TEST(BlockEntry, ParametersEndTheBlockWithTheirMessages) {
    Entry e;
    {
        auto b = e.setup();
        b.tweak = [](elvar::BlockArgs& a) { a.nipar = 3; };
        const auto out = e.scene.call(b);
        const auto* m = e.scene.find(2);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->lines[2], "      THIS BLOCK ONLY HAS 3 INTEGER PARAMETERS");
        EXPECT_TRUE(untouched(out));
    }
    for (ftn::Int type : {0, 5}) {
        elvar::clear_message_log();
        auto b = e.setup();
        b.ipar[0] = type;
        const auto out = e.scene.call(b);
        const auto* m = e.scene.find(3);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->lines[0], "      CALCULATION TYPE" + std::string(type == 0 ? "   0" : "   5") + " IS NOT DEFINED");
        EXPECT_TRUE(untouched(out));
    }
    {
        // Fewer than four real parameters: RPAR(4) cannot take the duty.
        elvar::clear_message_log();
        auto b = e.setup();
        b.tweak = [](elvar::BlockArgs& a) { a.nrpar = 3; };
        const auto out = e.scene.call(b);
        const auto* m = e.scene.find(50);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->lines[2], "      THIS BLOCK ONLY HAS 3 REAL PARAMETERS");
        EXPECT_TRUE(untouched(out));
    }
}

TEST(BlockEntry, StreamLayoutOutsideTheStreamVectorIsRefused) {
    Entry e;
    const std::vector<std::function<void(elvar::BlockArgs&)>> faults{
        [](elvar::BlockArgs& a) { a.noutlt = 0; },
        [](elvar::BlockArgs& a) { a.strdsc[0] = a.lstrm + 1; },   // last word beyond the vector
        [](elvar::BlockArgs& a) { a.lstrm -= 1; a.strdsc[0] -= 1; },  // too short for its substream
        [](elvar::BlockArgs& a) { a.nsub = 0; },
    };
    for (const auto& fault : faults) {
        elvar::clear_message_log();
        auto b = e.setup();
        b.tweak = fault;
        const auto out = e.scene.call(b);
        const auto* m = e.scene.find(51);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->lines.front(), "      THE STREAMS OF THIS BLOCK CANNOT BE USED:");
        EXPECT_TRUE(untouched(out));
        EXPECT_FALSE(stream_exists("STRM01M"));
    }
}

TEST(BlockEntry, TypeOneShowsItsBanner) {
    Entry e;
    e.scene.call(e.setup());
    EXPECT_TRUE(e.scene.errors().empty()) << e.scene.error_text();
    EXPECT_TRUE(e.scene.terminal_has("BEGINNING USER2 BLOCK - CALCULATION TYPE = 1"));
    EXPECT_TRUE(e.scene.terminal_has("  Pressure =  100000.00      Temp =      0.1500E+04        0"));
}

}  // namespace
}  // namespace blocktest
