// States on which a trace of a sublattice phase ended off the plane of the
// element potentials (mu - a.pi up to 1e-7 RT at 1e-19 mol): the
// composition step of such a trace, v / sqrt(n), carried the rounding of
// the phase's majors. Each is replayed as the stress harness printed it,
// cold and warm from its neighbouring state; the answer must pass the
// acceptance check (which does not share the solver's code) and, in the
// binary file, its G must equal the binary brute force.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "own_basins_util.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

Printed example_c(const std::string& rest) { return printed("eqcore_data", "example-c.dat", rest); }

// Fe(s) beside a Ni-rich bcc holding iron at 6e-19 mol: the trace that
// ended 1.3e-7 RT off the plane (cold) and 1.2e-7 RT below it (warm).
TEST(TraceResiduals, IronTraceInBccBesideIron) {
    const Printed s = example_c(
        "mixed T=370.78188763073251 K P=821087.38944231498 Pa (warm from 379.06796863694922 K) feed: LIQ_TEST/Ni "
        "0.9781668388287782 Fe_s(s)/Fe_s(s) 0.23644354004233598 BCC_TEST/Fe:Va 0.25902546826569423 BCC_TEST/Ni:Va "
        "10.756536075499044 BCC_TEST/Fe:Va 1.3746396380167517e-07");
    const std::vector<EquilibriumResult> out = cold_and_warm(s);
    at_minimum(s, out, binary_brute_force(s.sys, s.pr.elements(), s.c.T, s.c.P, 1, 2000), 1e-9);
    for (const EquilibriumResult& r : out) {
        if (!r.succeeded()) continue;  // at_minimum reported it
        EXPECT_EQ(phases_present(s.sys, r), (std::vector<std::string>{"BCC_TEST", "Fe_s(s)"}));
        // All the iron but its trace in the bcc is the pure solid.
        EXPECT_NEAR(r.phases[usz(phase_of(s.sys, "Fe_s(s)"))].amount, 0.49546914577199397, 1e-12);
    }
    EXPECT_NEAR(out[0].element_potential[0], out[1].element_potential[0], 1e-9 * std::abs(out[1].element_potential[0]));
}

// The same pair with the iron itself a trace of the material (8e-14 mol):
// moving the bcc's trace onto the plane shifts the iron balance by a part
// in 1e13, which the tolerance allows. (The binary brute force has no
// resolution at a trace of 1e-12: the check decides, and cold and warm
// must agree.)
TEST(TraceResiduals, IronTraceBesideATraceOfIron) {
    const Printed s = example_c(
        "trace T=374.61819136879313 K P=3397.1043471787789 Pa (warm from 359.31309844527175 K) feed: "
        "BCC_TEST/Ni:Va 0.037292091654275078 BCC_TEST/Ni:Va 0.060606990157464249 BCC_TEST/Ni:Va "
        "0.030342019020702254 BCC_TEST/Fe:Va 8.310884107910504e-14");
    const std::vector<EquilibriumResult> out = cold_and_warm(s);
    for (const EquilibriumResult& r : out) {
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(s.pr, r));
        EXPECT_EQ(phases_present(s.sys, r), (std::vector<std::string>{"BCC_TEST", "Fe_s(s)"}));
    }
    EXPECT_NEAR(out[0].G, out[1].G, 1e-12 * std::abs(out[1].G));
}

// Iron at 1e-12 of the material, held by nothing but the bcc's trace of it
// on its first sublattice: the trace's amount is the iron balance, so its
// potential, not its amount, is what moves onto the plane. No brute force
// covers four elements in these phases: the check decides, and cold and
// warm must agree, iron's potential included.
TEST(TraceResiduals, ElementHeldOnlyByATrace) {
    const Printed s = printed("eqcore_data", "sublattice-models.dat",
                              "trace T=5714.6709660962742 K P=7088.697432292679 Pa (warm from 5640.5242125212735 K) "
                              "feed: BCC_R/Co:Va 14.753435340927535 BCC_R/Co:Va 6.0884267664621587 BCC_R/Ni:C "
                              "36.965410200527899 FCC_M/Fe 1.1947263106313828e-12");
    const std::vector<EquilibriumResult> out = cold_and_warm(s);
    for (const EquilibriumResult& r : out) {
        ASSERT_TRUE(r.succeeded()) << r.message;
        EXPECT_TRUE(accepted(s.pr, r));
        EXPECT_EQ(phases_present(s.sys, r), (std::vector<std::string>{"BCC_R"}));
    }
    EXPECT_NEAR(out[0].G, out[1].G, 1e-12 * std::abs(out[1].G));
    const double RT = kR * s.c.T;
    for (std::size_t j = 0; j < out[0].element_potential.size(); ++j)
        EXPECT_NEAR(out[0].element_potential[j], out[1].element_potential[j], 1e-8 * RT) << "element " << j;
}

// Every state of the two files the check rejected this way (seed 3 of the
// harness): each, cold and warm, now passes the check.
TEST(TraceResiduals, EveryStateOnceRejected) {
    const std::vector<std::string> lines = state_lines("trace-residual-states.txt");
    for (const std::string& line : lines) {
        const Printed s = printed_line(line);
        for (const EquilibriumResult& r : cold_and_warm(s)) {
            ASSERT_TRUE(r.succeeded()) << line << "\n" << r.message;
            EXPECT_TRUE(accepted(s.pr, r)) << line;
        }
    }
    EXPECT_EQ(lines.size(), 26u);
}

}  // namespace
}  // namespace eqcore::robust
