// The compound-energy polynomial traversed for two parameter lists at once
// (the magnetic T* and beta*) gives each list exactly, to the last bit,
// what a traversal of its own gives: value, temperature derivatives,
// gradient and Hessian, for every term shape (end members, a binary record
// with several powers, a ternary record, a reciprocal record), with and
// without derivatives.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "thermo/cef.hpp"

namespace eqcore {
namespace {

TEST(CefPolynomial, PairOfListsGivesEachWhatItsOwnTraversalGives) {
    Sublattices sl;
    sl.sites = {1.0, 2.0};
    sl.names = {{"A", "B", "C"}, {"D", "E"}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) sl.member.insert(sl.member.end(), {i, j});
    const int ends = 6;
    // Concatenated indices: A B C = 0 1 2, D E = 3 4.
    const std::vector<std::vector<int>> records = {{0, 1, 3}, {0, 1, 2, 4}, {0, 1, 3, 4}, {1, 2, 4}};
    const std::vector<int> sets = {3, 3, 1, 2};
    const CefPolynomial poly(sl, ends, records, sets);
    const std::size_t n = 5, slots = poly.parameter_count();
    ASSERT_EQ(slots, 6u + 3u + 3u + 1u + 2u);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> value(-3e4, 3e4), frac(0.0, 1.0);
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<ParameterT> a(slots), b(slots);
        for (std::size_t k = 0; k < slots; ++k) {
            a[k] = {value(rng), value(rng) * 1e-2, value(rng) * 1e-4};
            b[k] = {value(rng) * 1e-3, 0.0, 0.0};
        }
        std::vector<double> y(n);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t k = 0; k < 3; ++k) s1 += (y[k] = frac(rng));
        for (std::size_t k = 3; k < 5; ++k) s2 += (y[k] = frac(rng));
        for (std::size_t k = 0; k < 3; ++k) y[k] /= s1;
        for (std::size_t k = 3; k < 5; ++k) y[k] /= s2;
        for (int derivatives = 0; derivatives < 2; ++derivatives) {
            const std::size_t g = derivatives ? n : 0, h = derivatives ? n * n : 0;
            std::vector<double> ga(g), gb(g), ha(h), hb(h), pga(g), pgb(g), pha(h), phb(h);
            ExcessSums sa, sb, pa, pb;
            sa.n = sb.n = pa.n = pb.n = n;
            sa.grad = ga;
            sb.grad = gb;
            sa.hess = ha;
            sb.hess = hb;
            pa.grad = pga;
            pb.grad = pgb;
            pa.hess = pha;
            pb.hess = phb;
            poly.add(a, y, sa);
            poly.add(b, y, sb);
            poly.add_pair(a, b, y, pa, pb);
            for (const auto& [own, pair] : {std::pair{&sa, &pa}, std::pair{&sb, &pb}}) {
                EXPECT_EQ(own->f, pair->f);
                EXPECT_EQ(own->f_t, pair->f_t);
                EXPECT_EQ(own->f_tt, pair->f_tt);
            }
            EXPECT_EQ(ga, pga);
            EXPECT_EQ(gb, pgb);
            EXPECT_EQ(ha, pha);
            EXPECT_EQ(hb, phb);
            if (derivatives) {
                EXPECT_NE(ha, std::vector<double>(h, 0.0));  // the Hessian is not trivially equal
            }
        }
    }
}

}  // namespace
}  // namespace eqcore
