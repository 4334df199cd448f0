// The balance measure behind the convergence test and the final guard:
// AgCu2(s) alone holding a feed of Ag and Cu, its amount set from the Ag,
// so that the Cu balance is off by exactly the excess fed. The present
// compound leaves one direction of the potentials free; an excess of Cu
// lies along it, where no amount of AgCu2(s) can take it up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "solver/workspace.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::example;
using eqcore::testing::phase_of;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct CompoundAlone {
    System sys = read_dat(example("hard/hard-ternary.dat"));
    detail::Workspace ws;

    // Ag 1 mol, Cu 2 (1 + excess) mol; AgCu2(s) alone present, holding the Ag.
    explicit CompoundAlone(double excess) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {1.0, 2.0 * (1.0 + excess), 0.0};
        std::string message;
        EXPECT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
        detail::set_conditions(ws, 800.0, 1.0e5);
        const int compound = phase_of(sys, "AgCu2(s)");
        int ag = -1;
        for (int j = 0; j < ws.E; ++j)
            if (sys.elements[sz(ws.elem[sz(j)])].symbol == "Ag") ag = j;
        EXPECT_GE(ag, 0);
        for (detail::Candidate& c : ws.cand) {
            c.present = c.phase == compound;
            c.N = c.present ? ws.b[sz(ag)] : 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = c.N;
        }
        detail::free_directions(ws);
    }
};

TEST(BalanceResidual, AnExcessAlongTheFreeDirectionIsOpenForGoodAndNamed) {
    CompoundAlone off(1e-9);
    EXPECT_EQ(off.ws.exact_dim, 1);
    int worst = -1;
    EXPECT_NEAR(detail::balance_residual(off.ws, &worst), 1e-9, 1e-15);
    ASSERT_GE(worst, 0);
    EXPECT_EQ(off.sys.elements[sz(off.ws.elem[sz(worst)])].symbol, "Cu");
    EXPECT_TRUE(detail::open_where_fixed(off.ws));
    const std::string fault = detail::balance_fault(off.ws);
    EXPECT_EQ(fault.rfind("element Cu:", 0), 0u) << fault;
    EXPECT_NE(fault.find("1e-09"), std::string::npos) << fault;
}

// At the compound's composition, and off it by less than the tolerance, the
// balance holds: nothing is open and no fault is reported.
TEST(BalanceResidual, WithinTheToleranceNothingIsOpen) {
    for (const double excess : {0.0, 1e-13}) {
        CompoundAlone at(excess);
        EXPECT_LE(detail::balance_residual(at.ws), at.ws.opt.balance_tol) << excess;
        EXPECT_FALSE(detail::open_where_fixed(at.ws)) << excess;
        EXPECT_EQ(detail::balance_fault(at.ws), "") << excess;
    }
}

}  // namespace
