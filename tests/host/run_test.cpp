// Setting a run up: what lands in the host's blocks and in the plug-in's
// configuration block, streams as the flash and the block read them, and
// descriptions that are refused with a clear error.
#include <cstring>
#include <string>

#include "eqlink_blocks.hpp"
#include "host_services.hpp"
#include "host_test_support.hpp"

namespace {

using ftn::Int;

class RunSetUp : public host_test::InTempDir {};

TEST_F(RunSetUp, FixedValuesOfTheHostBlocks) {
    elvar::RunSetup setup = host_test::small_run();
    setup.trace = true;
    setup.diagnostic_level = 2;
    setup.noncon_components = 1;
    elvar::Run run(setup);
    EXPECT_EQ(DMS_NCOMP[0].i(), 5);
    EXPECT_EQ(DMS_NCOMP[1].i(), 1);
    EXPECT_EQ(DMS_EQLINK[0].i() & 1, 0);
    EXPECT_EQ(DMS_GLOBAL[4].i4(), 21);
    EXPECT_EQ(DMS_GLOBAL[7].i(), 2147483647);
    EXPECT_EQ(DMS_GLOBAL[17].i(), 2);
    EXPECT_EQ(DMS_RGLOB[0].r(), 1.0e35);
    EXPECT_EQ(std::string(EQLINK_CONFIG.EQLINK_FILEN.c, 11), "c-h-o-n.dat");
    EXPECT_EQ(ftn::trim_right({EQLINK_CONFIG.EQLINK_FILEN.c, 256}).size(), 11u);
    EXPECT_NE(EQLINK_CONFIG.LDEBUG & 1, 0);

    run.set_trace(false);
    run.set_data_file("");
    EXPECT_EQ(EQLINK_CONFIG.LDEBUG & 1, 0);
    EXPECT_EQ(ftn::trim_right({EQLINK_CONFIG.EQLINK_FILEN.c, 256}), "");
    EXPECT_THROW(run.set_data_file(std::string(257, 'a')), elvar::SetupError);

    run.set_property_request(3, 1);
    EXPECT_EQ(ZMTH_PPSCLR[2].i(), 3);
    EXPECT_EQ(ZMTH_PPSCLR[4].i(), 1);
    EXPECT_THROW(run.set_property_request(6, 1), elvar::SetupError);
}

TEST_F(RunSetUp, StreamsAndTheirSubstreamTable) {
    elvar::Run run(host_test::small_run());
    const elvar::StreamLayout layout(run.ncomp(), {elvar::SubstreamType::mixed, elvar::SubstreamType::cisolid});
    EXPECT_EQ(layout.positions(), (std::vector<Int>{1, 15}));
    EXPECT_EQ(layout.types(), (std::vector<Int>{1, 2}));
    EXPECT_EQ(layout.length(), 28);
    elvar::SubstreamValues mixed;
    mixed.flows = {0.1, 0.3};
    mixed.T = 298.15;
    mixed.P = 101325.0;
    const std::vector<double> v = layout.make({mixed});
    ASSERT_EQ(v.size(), 28u);
    EXPECT_EQ(v[0], 0.1);
    EXPECT_EQ(v[2], 0.0);
    EXPECT_NEAR(v[5], 0.4, 1e-15);                                     // total
    EXPECT_EQ(v[6], 298.15);                                           // T
    EXPECT_EQ(v[7], 101325.0);                                         // P
    EXPECT_EQ(v[8], 1.0e35);                                           // h missing
    EXPECT_NEAR(v[13], 0.25 * 16.04246 + 0.75 * 31.9988, 1e-9);        // mw
    EXPECT_EQ(v[14 + 5], 0.0);                                         // solid: no flow
    EXPECT_EQ(v[14 + 13], 1.0e35);                                     // and no mw
    EXPECT_EQ(layout.descriptor()[0], 28);
    EXPECT_EQ(SHS_NSVAR(layout.descriptor().data()), 28);
    EXPECT_DOUBLE_EQ(*layout.read(v, 0).mw, v[13]);

    elvar::FlashArgs flash(layout, v);
    EXPECT_EQ(flash.nsubs, 2);
    EXPECT_EQ(flash.lpb[1], 15);

    // Three integer parameters: NIPAR says 3, the array still has four words.
    elvar::BlockArgs block(layout, {v, v}, 2, {}, 1, {1, 0, 0}, {101325.0, 1500.0}, 0);
    EXPECT_EQ(block.ninlet, 2);
    EXPECT_EQ(block.sinlet.size(), 56u);
    EXPECT_EQ(block.soutlt.size(), 56u);
    EXPECT_EQ(block.nipar, 3);
    EXPECT_GE(block.ipar.size(), 4u);
    EXPECT_GE(block.rpar.size(), 4u);
    EXPECT_EQ(block.strdsc[0], 28);
    EXPECT_THROW(elvar::BlockArgs(layout, {{1.0}}, 1, {}, 1, {}, {}, 0), elvar::SetupError);
}

TEST_F(RunSetUp, FlashWorkAreaBeforeAndAfter) {
    elvar::Run run(host_test::small_run());
    run.set_flash_conditions({1000.0, 2.0e5, elvar::kRmiss});
    EXPECT_EQ(DMS_STWKWK[18].r(), 1000.0);
    EXPECT_EQ(DMS_STWKWK[19].r(), 2.0e5);
    EXPECT_EQ(DMS_STWKWK[26].r(), 1.0e35);
    DMS_STWKWK[20].set_r(0.4);
    SHS_STWORK[46].set_r(-7.5e7);
    const elvar::FlashResults r = run.flash_results();
    EXPECT_EQ(r.vcalc, 0.4);
    EXPECT_EQ(r.hv, -7.5e7);
    EXPECT_EQ(r.hl, 1.0e35);
}

TEST_F(RunSetUp, RefusedDescriptionsNameTheItemAndField) {
    const struct {
        void (*edit)(elvar::RunSetup&);
        const char* expected;
    } cases[] = {
        {[](elvar::RunSetup& s) { s.components[1].id = "OXYGEN-GAS"; }, "component 2 (OXYGEN-GAS): id"},
        {[](elvar::RunSetup& s) { s.components[2].id = "CH4"; }, "component 3 (CH4): id \"CH4\" is already used by component 1"},
        {[](elvar::RunSetup& s) { s.components[0].name = std::string(33, 'N'); }, "component 1 (CH4): name"},
        {[](elvar::RunSetup& s) { s.components[3].formula = "H2Z"; }, "component 4 (H2O): formula \"H2Z\": unknown element symbol \"Z\" at character 3"},
        {[](elvar::RunSetup& s) { s.components[3].formula = ""; }, "component 4 (H2O): neither a formula nor a molecular weight"},
        {[](elvar::RunSetup& s) { s.components[3].mw = -18.0; }, "component 4 (H2O): mw"},
        {[](elvar::RunSetup& s) { s.option_sets = {{"EQCORE", ""}, {"EQCORE", ""}}; }, "option set 2: name \"EQCORE\" is already used"},
        {[](elvar::RunSetup& s) { s.option_sets = {{"A-VERY-LONG-OPTION-SET", ""}}; }, "option set 1: name"},
        {[](elvar::RunSetup& s) { s.chemistries = {{{{{"N2", 1.0}}}}}; }, "chemistry 1, equation 1: unknown component \"N2\""},
        {[](elvar::RunSetup& s) { s.data_file = std::string(300, 'f'); }, "data_file"},
    };
    for (const auto& c : cases) {
        elvar::RunSetup setup = host_test::small_run();
        c.edit(setup);
        try {
            elvar::Run run(setup);
            ADD_FAILURE() << "accepted: " << c.expected;
        } catch (const elvar::SetupError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

TEST_F(RunSetUp, OneRunAtATime) {
    elvar::Run run(host_test::small_run());
    EXPECT_THROW(elvar::Run second(host_test::small_run()), elvar::SetupError);
}

}  // namespace
