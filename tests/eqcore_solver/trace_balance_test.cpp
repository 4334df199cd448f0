// The balance along one direction of the element potentials that only gas
// traces fix: water vapour with traces of its radicals, and a material built
// so that the root w of the balance is known exactly. The root is taken only
// where it moves no major constituent by more than 1e-7 (relative); else
// nothing changes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/read_dat.hpp"
#include "solver/workspace.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::example;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

struct Vapour {
    System sys = read_dat(example("h-o.dat"));
    detail::Workspace ws;
    int gas = -1;
    std::vector<double> e;  // each gas slot's content along u, from the system's formulas

    // The gas alone present: water 2 mol, traces from 1e-9 down.
    explicit Vapour(const double (&u)[2]) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {2.0, 1.0};
        std::string message;
        EXPECT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
        detail::set_conditions(ws, 1500.0, 1.0e5);
        for (std::size_t c = 0; c < ws.cand.size(); ++c) {
            ws.cand[c].present = ws.cand[c].gas;
            if (ws.cand[c].gas) gas = static_cast<int>(c);
        }
        detail::Candidate& g = ws.cand[sz(gas)];
        g.N = 0.0;
        double trace = 1e-9;
        for (int s = g.first; s < g.first + g.count; ++s) {
            const Constituent& k = sys.constituent(0, ws.slot_var[sz(s)]);
            ws.n[sz(s)] = k.name == "H2O" ? 2.0 : trace;
            trace *= 0.1;
            g.N += ws.n[sz(s)];
            double es = 0.0;
            for (std::size_t j = 0; j < 2; ++j) es += k.stoich[j] * u[j];
            e.push_back(es);
        }
        std::fill(ws.pi.begin(), ws.pi.end(), 0.0);
    }

    // Element amounts for which the balance along u has its root at w:
    // u.b = sum_s n_s e_s exp(e_s w), the O amount 1.
    void root_at(const double (&u)[2], double w) {
        const detail::Candidate& g = ws.cand[sz(gas)];
        long double along = 0.0L;
        for (int s = g.first; s < g.first + g.count; ++s) {
            const long double es = e[sz(s - g.first)];
            along += ws.n[sz(s)] * es * std::exp(es * static_cast<long double>(w));
        }
        const std::vector<double> b_sys = {static_cast<double>((along - u[1]) / u[0]), 1.0};
        for (int j = 0; j < ws.E; ++j) ws.b[sz(j)] = b_sys[sz(ws.elem[sz(j)])];
    }

    // u in the workspace's element order.
    std::vector<double> local(const double (&u)[2]) const {
        std::vector<double> v(sz(ws.E));
        for (int j = 0; j < ws.E; ++j) v[sz(j)] = u[ws.elem[sz(j)]];
        return v;
    }
};

// Along a direction no major holds (H against O in water's ratio), the root
// is taken however far it lies: the potentials move by w along u and every
// trace by exp(e w). (The material along u is the rounding of the element
// amounts' difference, 1e-16 of 2 mol against traces of 1e-9: the root is
// known to about 1e-6.)
TEST(TraceBalance, TakesARootWhereOnlyTracesMove) {
    const double r5 = std::sqrt(5.0);
    const double u[2] = {1.0 / r5, -2.0 / r5};
    for (double w : {3.0, -2.0, 1e-3}) {
        Vapour v(u);
        v.root_at(u, w);
        const std::vector<double> n0 = v.ws.n;
        const std::vector<double> ul = v.local(u);
        ASSERT_TRUE(detail::balance_trace_direction(v.ws, ul.data())) << w;
        double moved = 0.0;
        for (int j = 0; j < v.ws.E; ++j) moved += v.ws.pi[sz(j)] * ul[sz(j)];
        EXPECT_NEAR(moved, w, 1e-6) << w;
        const detail::Candidate& g = v.ws.cand[sz(v.gas)];
        for (int s = g.first; s < g.first + g.count; ++s)
            EXPECT_NEAR(v.ws.n[sz(s)], n0[sz(s)] * std::exp(v.e[sz(s - g.first)] * w), 1e-5 * n0[sz(s)]) << w;
    }
}

// Along H alone water moves with the traces: its content is 2, so a root
// within 1e-7 / 2 of w = 0 is taken, and one beyond it (just beyond, or far,
// on either side) leaves the state exactly as it was.
TEST(TraceBalance, RefusesARootThatMovesAMajor) {
    const double u[2] = {1.0, 0.0};
    const double reach = 1e-7 / 2.0;
    for (double w : {0.3 * reach, -0.6 * reach, 1.5 * reach, -1.8 * reach, 0.05, -0.2, 40.0}) {
        Vapour v(u);
        v.root_at(u, w);
        const std::vector<double> n0 = v.ws.n, pi0 = v.ws.pi;
        const std::vector<double> ul = v.local(u);
        const bool taken = detail::balance_trace_direction(v.ws, ul.data());
        EXPECT_EQ(taken, std::abs(w) < reach) << w;
        if (taken) {
            double moved = 0.0;
            for (int j = 0; j < v.ws.E; ++j) moved += v.ws.pi[sz(j)] * ul[sz(j)];
            EXPECT_NEAR(moved, w, 1e-13) << w;
        } else {
            EXPECT_EQ(v.ws.n, n0) << w;
            EXPECT_EQ(v.ws.pi, pi0) << w;
        }
    }
}

}  // namespace
