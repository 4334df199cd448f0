// Records the liquid treats alike (first_alike) and the starting program's
// columns offered once. Exchanging two alike records at a composition with
// at most two nonzero amounts must leave the value bit for bit; records whose
// standard energies differ are not alike. The program sampled with repeats
// left out must solve to the same amounts and potentials, bit for bit, as
// the full one, and every column it leaves out must repeat, contents and
// cost, a column offered before it. A parameter list of another length than
// the model's is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "ionic_util.hpp"
#include "solver/workspace.hpp"
#include "thermo/models.hpp"

namespace eqcore {
namespace {

std::size_t sz(int v) { return static_cast<std::size_t>(v); }

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

int ionic_phase(const System& sys) {
    for (int p = 0; p < sys.phase_count(); ++p)
        if (sys.phases[sz(p)].ionic) return p;
    return -1;
}

TEST(IonicAlike, ExchangingAlikeRecordsLeavesTheValueBitForBit) {
    int files = 0, alike_pairs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(EQCORE_IONIC_TEST_DIR)) {
        if (entry.path().extension() != ".dat" || entry.path().filename().string().rfind("ionic_", 0) != 0) continue;
        const System sys = read_dat(entry.path().string());
        const int p = ionic_phase(sys);
        if (p < 0) continue;
        ++files;
        const auto model = make_model(sys, p);
        const int n = model->layout().variables;
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (const double T : {900.0, 1600.0, 2400.0}) {
            std::vector<ParameterT> at_T(model->parameter_count());
            model->parameters(T, at_T);
            for (int v = 0; v < n; ++v) {
                const int f = model->first_alike(v, at_T);
                ASSERT_LE(f, v);
                if (f == v) continue;
                EXPECT_TRUE(model->layout().alike) << entry.path().filename();
                ++alike_pairs;
                // v alone and v with every other record (f included), at
                // random proportions; then the same with v and f exchanged.
                for (int k = -1; k < n; ++k) {
                    if (k == v) continue;
                    std::vector<double> w(sz(n), 0.0);
                    const double a = k < 0 ? 1.0 : 0.05 + 0.9 * u(rng);
                    w[sz(v)] = a;
                    if (k >= 0) w[sz(k)] += 1.0 - a;
                    std::vector<double> x = w;
                    std::swap(x[sz(v)], x[sz(f)]);
                    const ExcessResult r1 = model->excess(T, w, {}, {}, at_T);
                    const ExcessResult r2 = model->excess(T, x, {}, {}, at_T);
                    EXPECT_TRUE(same_bits(r1.g, r2.g) && same_bits(r1.h, r2.h) && same_bits(r1.s, r2.s) &&
                                same_bits(r1.cp, r2.cp))
                        << entry.path().filename() << " T " << T << " records " << v << ", " << f << " with " << k;
                }
            }
        }
    }
    EXPECT_GE(files, 8);
    // The melt's neutral has three copies of equal charge: two alike at each T.
    EXPECT_GE(alike_pairs, 6);
}

TEST(IonicAlike, RecordsOfDifferentEnergyAreNotAlike) {
    System sys = read_dat(testing::ionic_file("ionic_melt.dat"));
    const int p = ionic_phase(sys);
    ASSERT_GE(p, 0);
    const auto before = make_model(sys, p);
    std::vector<ParameterT> at_T(before->parameter_count());
    before->parameters(1600.0, at_T);
    int changed = -1;
    for (int v = 0; v < before->layout().variables && changed < 0; ++v)
        if (before->first_alike(v, at_T) != v) changed = v;
    ASSERT_GE(changed, 0);
    // A thousandth of a joule more standard energy on that copy.
    Constituent& c = sys.constituents[sz(sys.phases[sz(p)].first + changed)];
    for (GibbsRange& r : c.ranges) r.coef[0] += 1e-3;
    const auto after = make_model(sys, p);
    after->parameters(1600.0, at_T);
    EXPECT_EQ(after->first_alike(changed, at_T), changed);
    // Without parameters nothing is claimed.
    EXPECT_EQ(before->first_alike(changed, {}), changed);
}

// The pair energies and the liquid's standard parameters travel with the
// parameters at T: a list of another length is refused, not read past.
TEST(IonicAlike, AParameterListOfAnotherLengthIsRefused) {
    const System sys = read_dat(testing::ionic_file("ionic_melt.dat"));
    const auto model = make_model(sys, ionic_phase(sys));
    std::vector<ParameterT> at_T(model->parameter_count());
    model->parameters(1600.0, at_T);
    const std::vector<double> w(sz(model->layout().variables), 1.0 / model->layout().variables);
    const ExcessResult given = model->excess(1600.0, w, {}, {}, at_T), own = model->excess(1600.0, w);
    EXPECT_TRUE(same_bits(given.g, own.g));
    at_T.pop_back();
    EXPECT_THROW(model->excess(1600.0, w, {}, {}, at_T), std::invalid_argument);
}

// The melt at 1600 K prepared for programs; every candidate's samples.
struct Program {
    System sys = read_dat(testing::ionic_file("ionic_melt.dat"));
    detail::Workspace ws;
    Program() {
        EquilibriumProblem pr = EquilibriumProblem::all_entered(sys);
        pr.element_amount = {0.3, 0.3, 0.3, 0.9, 0.05};
        std::string message;
        EXPECT_EQ(detail::prepare(ws, pr, pr.element_amount, message), SolverStatus::ok) << message;
        detail::set_conditions(ws, 1600.0, 1e5);
    }
    void sample(bool once) {
        ws.lp_used = 0;
        for (int c = 0; c < static_cast<int>(ws.cand.size()); ++c)
            if (!ws.cand[sz(c)].excluded) detail::lp_sample_columns(ws, c, once);
    }
    std::vector<double> column(int k) const {
        std::vector<double> col(ws.lp_col.begin() + k * ws.E, ws.lp_col.begin() + (k + 1) * ws.E);
        col.push_back(ws.lp_cost[sz(k)]);
        return col;
    }
    std::span<const double> composition(int k) const {
        return {ws.lp_x.data() + ws.lp_xoff[sz(k)], sz(ws.cand[sz(ws.lp_owner[sz(k)])].count)};
    }
};

bool same_composition(std::span<const double> a, std::span<const double> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool same_column(const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!same_bits(a[i], b[i])) return false;
    return true;
}

TEST(IonicAlike, ProgramWithRepeatsLeftOutSolvesAsTheFullOne) {
    Program full, once;
    full.sample(false);
    once.sample(true);
    ASSERT_LT(once.ws.lp_used, full.ws.lp_used);
    // Every column of the shorter program is a column of the full one, in
    // the same order; each one left out repeats an earlier one exactly.
    int j = 0;
    for (int k = 0; k < full.ws.lp_used; ++k) {
        if (j < once.ws.lp_used && same_composition(full.composition(k), once.composition(j))) {
            EXPECT_TRUE(same_column(full.column(k), once.column(j))) << "column " << k;
            ++j;
            continue;
        }
        bool repeated = false;
        for (int i = 0; i < k && !repeated; ++i) repeated = same_column(full.column(i), full.column(k));
        EXPECT_TRUE(repeated) << "column " << k << " left out without an earlier equal";
    }
    EXPECT_EQ(j, once.ws.lp_used);

    ASSERT_TRUE(detail::solve_lp(full.ws));
    ASSERT_TRUE(detail::solve_lp(once.ws));
    for (int e = 0; e < full.ws.E; ++e) EXPECT_TRUE(same_bits(full.ws.pi[sz(e)], once.ws.pi[sz(e)])) << "element " << e;
    // The amounts, matched by composition.
    j = 0;
    for (int k = 0; k < full.ws.lp_used; ++k) {
        if (j < once.ws.lp_used && same_composition(full.composition(k), once.composition(j))) {
            EXPECT_TRUE(same_bits(full.ws.lp_z[sz(k)], once.ws.lp_z[sz(j)])) << "column " << k;
            ++j;
        } else {
            EXPECT_EQ(full.ws.lp_z[sz(k)], 0.0) << "a repeat entered the basis: column " << k;
        }
    }
}

}  // namespace
}  // namespace eqcore
