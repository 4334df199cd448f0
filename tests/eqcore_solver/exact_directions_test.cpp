// The directions of the potentials that no present constituent depends on,
// as Newton holds them from its start: for every assemblage of up to three
// phases of a few systems, their number against the rank of the present
// constituents' formulas (an LU of those rows here), each direction
// orthogonal to every present formula; and for the salt melt alone, the
// charges' direction in closed form.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include <Eigen/Dense>

#include "data/read_dat.hpp"
#include "solver/workspace.hpp"
#include "solver_test_util.hpp"

namespace {

using namespace eqcore;
using eqcore::testing::example;

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

std::string quasichem_data(const std::string& file) {
    return std::string(EQCORE_SOLVER_TEST_DIR) + "/../eqcore_quasichem/data/" + file;
}

struct Prepared {
    System sys;
    detail::Workspace ws;

    explicit Prepared(const std::string& path) : sys(read_dat(path)) {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount.assign(sz(sys.element_count()), 1.0);
        std::string message;
        EXPECT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
        detail::set_conditions(ws, 1000.0, 1.0e5);
    }

    // The candidates in `mask` present, every constituent at 0.1 mol.
    void present(unsigned mask) {
        for (std::size_t ci = 0; ci < ws.cand.size(); ++ci) {
            detail::Candidate& c = ws.cand[ci];
            c.present = (mask >> ci & 1u) != 0;
            c.N = c.present ? 0.1 * c.count : 0.0;
            for (int s = c.first; s < c.first + c.count; ++s) ws.n[sz(s)] = c.present ? 0.1 : 0.0;
        }
        ws.null_dim = ws.exact_dim = 0;
    }

    // E less the rank of the present constituents' formulas.
    int free_by_rank() const {
        std::vector<int> rows;
        for (const detail::Candidate& c : ws.cand)
            if (c.present)
                for (int s = c.first; s < c.first + c.count; ++s) rows.push_back(s);
        if (rows.empty()) return ws.E;
        Eigen::MatrixXd A(static_cast<Eigen::Index>(rows.size()), ws.E);
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (int j = 0; j < ws.E; ++j) A(static_cast<Eigen::Index>(r), j) = ws.arow(rows[r])[j];
        Eigen::FullPivLU<Eigen::MatrixXd> lu(A);
        lu.setThreshold(1e-10);
        return ws.E - static_cast<int>(lu.rank());
    }
};

TEST(ExactDirections, AsManyAsTheFormulasOfThePresentPhasesLeaveAndOrthogonalToEach) {
    int with = 0, without = 0;
    for (const std::string& path : {quasichem_data("qc_example_3.dat"), quasichem_data("qc_salts_only.dat"),
                                    example("hard/hard-ternary.dat"), example("hard/hard-quaternary.dat"),
                                    example("c-h-o-n.dat"), example("zr-h.dat")}) {
        Prepared p(path);
        const int NC = static_cast<int>(p.ws.cand.size());
        ASSERT_LT(NC, 32) << path;
        for (unsigned mask = 1; mask < (1u << NC); ++mask) {
            if (std::popcount(mask) > 3) continue;
            p.present(mask);
            // Phases with sublattices move their elements only in their
            // formula units' proportions: not what the rank here counts.
            bool single_group = true;
            for (const detail::Candidate& c : p.ws.cand) single_group = single_group && (!c.present || c.groups == 1);
            if (!single_group) continue;
            SCOPED_TRACE(::testing::Message() << path << ", candidates " << mask);
            const int expected = p.free_by_rank();
            const int held = detail::hold_exact_directions(p.ws);
            EXPECT_EQ(held, expected);
            EXPECT_EQ(p.ws.null_dim, held);
            EXPECT_EQ(p.ws.exact_dim, held);
            (held > 0 ? with : without) += 1;
            for (int q = 0; q < held; ++q) {
                const double* u = p.ws.null.data() + sz(q) * sz(p.ws.E);
                double len = 0.0;
                for (int j = 0; j < p.ws.E; ++j) len += u[j] * u[j];
                EXPECT_NEAR(len, 1.0, 1e-12);
                for (const detail::Candidate& c : p.ws.cand) {
                    if (!c.present) continue;
                    for (int s = c.first; s < c.first + c.count; ++s) EXPECT_NEAR(p.ws.adot(s, u), 0.0, 1e-12);
                }
            }
        }
    }
    // Both verdicts are exercised.
    EXPECT_GT(with, 20) << with;
    EXPECT_GT(without, 20) << without;
}

// LiF, MgF2, Li2O and MgO are neutral: pi along the charges (Li 1, Mg 2,
// F -1, O -2) changes none of them, and nothing else is free.
TEST(ExactDirections, TheSaltMeltAloneLeavesTheChargesFree) {
    Prepared p(quasichem_data("qc_example_3.dat"));
    unsigned liquid = 0;
    for (std::size_t ci = 0; ci < p.ws.cand.size(); ++ci)
        if (p.sys.phases[sz(p.ws.cand[ci].phase)].name == "LIQ_Q3") liquid = 1u << ci;
    ASSERT_NE(liquid, 0u);
    p.present(liquid);
    ASSERT_EQ(detail::hold_exact_directions(p.ws), 1);
    double dot = 0.0;
    for (int j = 0; j < p.ws.E; ++j) {
        const std::string& el = p.sys.elements[sz(p.ws.elem[sz(j)])].symbol;
        const double charge = el == "Li" ? 1.0 : el == "Mg" ? 2.0 : el == "F" ? -1.0 : el == "O" ? -2.0 : 0.0;
        dot += p.ws.null[sz(j)] * charge / std::sqrt(10.0);
    }
    EXPECT_NEAR(std::abs(dot), 1.0, 1e-12);
}

}  // namespace
