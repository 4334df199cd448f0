// A feed exactly at a congruent compound's composition beside a liquid
// written once, of more than two constituents, with a gap: a liquid of
// four associates (polynomial excess) and a pair liquid (its quadruplets
// are its variables). Below the compound's melting the liquid lies below
// every single plane through the compound, yet one instance of it cannot
// hold material on both sides of the feed, so the compound alone is the
// minimum; above it, the liquid alone at the feed is. Cold and warm
// against the binary brute forces (which use the models alone). Every
// state of the first group once ended "keeps entering and leaving".
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "grid_minimum.hpp"
#include "own_basins_util.hpp"
#include "robust_util.hpp"

namespace eqcore::robust {
namespace {

std::string stoichiometric(double T, double P, const std::string& a, double na, const std::string& b, double nb) {
    std::ostringstream s;
    s.precision(17);
    s << "stoichiometric T=" << T << " K P=" << P << " Pa (warm from " << T + 25.0 << " K) feed: " << a << " " << na
      << " " << b << " " << nb;
    return s.str();
}

// The liquid's least distance / RT at the result's potentials (the
// check's own search): negative where no single plane holds it out.
double single_plane_distance(const Printed& s, const EquilibriumResult& r, const char* liquid) {
    const int p = phase_of(s.sys, liquid);
    const std::vector<char> usable(usz(s.sys.phases[usz(p)].count), 1);
    return least_tangent_distance(s.sys, p, r.T, r.P, r.element_potential, usable, 8, 1);
}

// Solves every state cold and warm at the minimum `brute` gives; returns
// how many results the balance alone holds the liquid out of.
template <class Brute>
int solve_at_minimum(const char* file, const char* liquid, const std::vector<std::string>& lines, Brute brute) {
    int held = 0;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        const Printed s = printed_from(test_data(file), file, line);
        const double least = brute(s);
        const std::vector<EquilibriumResult> out = cold_and_warm(s);
        at_minimum(s, out, least, 1e-6);
        for (const EquilibriumResult& r : out)
            if (r.succeeded() && !r.phases[usz(phase_of(s.sys, liquid))].present &&
                single_plane_distance(s, r, liquid) < -1e-3)
                ++held;
    }
    return held;
}

TEST(CompoundFeed, FourAssociateLiquidBesideEachCompound) {
    std::vector<std::string> lines{
        "stoichiometric T=681.28971390537379 K P=24439.854335189477 Pa (warm from 691.33257427751266 K) feed: "
        "SOLQ/A 49.299011606091028 SOLQ/B 49.299011606091028"};
    for (const double T : {560.0, 600.0, 640.0, 703.84417592823411, 760.0, 900.0, 1400.0})
        lines.push_back(stoichiometric(T, 1e5, "SOLQ/A", 1.0, "SOLQ/B", 1.0));
    for (const double T : {600.0, 800.0, 1400.0}) lines.push_back(stoichiometric(T, 1e5, "LIQ4/A", 2.0, "LIQ4/B", 3.0));
    const int held = solve_at_minimum("rk4-gap.dat", "LIQ4", lines, [](const Printed& s) {
        return binary_grid_minimum(s.sys, s.pr.elements(), s.c.T, s.c.P, 20000).G;
    });
    // The states only the balance decides (none did before).
    EXPECT_GE(held, 4) << held;
}

TEST(CompoundFeed, PairLiquidBesideItsCompound) {
    std::vector<std::string> lines{
        "stoichiometric T=1744.0624085297222 K P=230724.90492699874 Pa (warm from 1771.4358296247851 K) feed: "
        "LIQQ/A 16.394197606182413 LIQQ/B 32.788395212364826"};
    for (const double T : {1500.0, 1600.0, 1700.0, 1728.0, 1800.0, 1900.0, 2100.0})
        lines.push_back(stoichiometric(T, 101325.0, "LIQQ/A", 1.0, "LIQQ/B", 2.0));
    const int held = solve_at_minimum("qc-gap.dat", "LIQQ", lines, [](const Printed& s) {
        return binary_brute_force(s.sys, s.pr.elements(), s.c.T, s.c.P, 1, 4000);
    });
    EXPECT_GE(held, 4) << held;
}

}  // namespace
}  // namespace eqcore::robust
