// The host's reverse-communication root finder, driven as the flash drives
// it: evaluate F at X, call, repeat while IFLAG > 0.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "host_services.hpp"

namespace {

struct Settings {
    double limit = 100.0;
    double xtol = 1.0e-6;
    double first_step = 10.0;
    double later_step = 500.0;  // word 3 after the first call, as the flash sets it
    double ftol = 0.0;
};

struct Outcome {
    ftn::Int iflag = 99;
    double x = 0.0;
    std::vector<double> evaluated;  // every X at which F was evaluated
};

Outcome solve(const std::function<double(double)>& f, double x0, const Settings& s = {}) {
    double rfwork[6] = {s.limit, s.xtol, s.first_step, 0.0, s.ftol, 0.0};
    const ftn::Int rfctl = 0;
    Outcome out;
    out.iflag = 0;
    out.x = x0;
    for (int guard = 0; guard < 100000; ++guard) {
        const double fx = f(out.x);
        out.evaluated.push_back(out.x);
        ZMTH_ROOT1N(&out.iflag, &out.x, &fx, rfwork, &rfctl);
        if (out.iflag <= 0) return out;
        rfwork[2] = s.later_step;
    }
    ADD_FAILURE() << "root finder did not stop";
    return out;
}

TEST(RootFinder, SolvesIncreasingAndDecreasingFunctions) {
    // An enthalpy-like balance, increasing in T, root at 1234.5 K.
    const auto rising = [](double t) { return 3.0e4 * (t - 1234.5) + 5.0 * (t - 1234.5) * (t - 1234.5); };
    Outcome up = solve(rising, 1000.0);
    EXPECT_EQ(up.iflag, 0);
    EXPECT_NEAR(up.x, 1234.5, 1.0e-6);

    // Decreasing, root at 300: the first step goes the wrong way (an
    // increasing function is assumed), the secant turns it round.
    const auto falling = [](double t) { return -2.0 * (t - 300.0); };
    Outcome down = solve(falling, 1000.0);
    EXPECT_EQ(down.iflag, 0);
    EXPECT_NEAR(down.x, 300.0, 1.0e-6);
    ASSERT_GE(down.evaluated.size(), 2u);
    EXPECT_DOUBLE_EQ(down.evaluated[1], 1010.0);  // F < 0: first step up by word 3
}

TEST(RootFinder, StopsWithinTheFTolerance) {
    // |word 5| is the tolerance: a negative value counts by its size.
    Settings s;
    s.ftol = -0.5;
    Outcome at_once = solve([](double t) { return 0.25 * (t - 1000.2); }, 1000.0, s);
    EXPECT_EQ(at_once.iflag, 0);
    EXPECT_EQ(at_once.x, 1000.0);
    EXPECT_EQ(at_once.evaluated.size(), 1u);
}

TEST(RootFinder, StopsAtAJumpWithinTheXTolerance) {
    // A step function (a melting point): no root, a sign change at 1500.25.
    const auto jump = [](double t) { return t < 1500.25 ? -50.0 : 70.0; };
    Outcome out = solve(jump, 1000.0);
    EXPECT_EQ(out.iflag, 0);
    EXPECT_NEAR(out.x, 1500.25, 1.0e-6);

    // Approached from above as well.
    Outcome from_above = solve(jump, 2600.0);
    EXPECT_EQ(from_above.iflag, 0);
    EXPECT_NEAR(from_above.x, 1500.25, 1.0e-6);
}

TEST(RootFinder, LimitsEveryStepBeforeTheRootIsBracketed) {
    // Root far away: with word 3 kept at 25 every move from the best point
    // so far is at most 25 until the sign changes.
    Settings s;
    s.first_step = 25.0;
    s.later_step = 25.0;
    s.limit = 1000.0;
    const double root = 4321.0;
    const auto f = [root](double t) { return t - root; };
    Outcome out = solve(f, 1000.0, s);
    ASSERT_EQ(out.iflag, 0);
    EXPECT_NEAR(out.x, root, 1.0e-6);
    double best = out.evaluated[0];
    for (std::size_t k = 1; k < out.evaluated.size(); ++k) {
        const double x = out.evaluated[k];
        if (f(x) > 0.0) break;  // bracketed from here on
        EXPECT_LE(std::fabs(x - best), 25.0 + 1.0e-9) << "step " << k;
        if (std::fabs(f(x)) < std::fabs(f(best))) best = x;
    }
    EXPECT_GT(out.evaluated.size(), (root - 1000.0) / 25.0);
}

TEST(RootFinder, ReportsTheIterationLimit) {
    // 100 calls of at most 10 K cannot reach a root 5000 K away.
    Settings s;
    s.later_step = 10.0;
    Outcome out = solve([](double t) { return t - 6000.0; }, 1000.0, s);
    EXPECT_EQ(out.iflag, -1);
    EXPECT_EQ(out.evaluated.size(), 100u);
}

TEST(RootFinder, ReportsANonFiniteFunctionValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(solve([nan](double) { return nan; }, 1000.0).iflag, -2);
    // Finite at first, infinite beyond 1005 K.
    Outcome out = solve([inf](double t) { return t > 1005.0 ? inf : 1015.5 - t; }, 1000.0);
    EXPECT_EQ(out.iflag, -2);
    EXPECT_GT(out.evaluated.size(), 1u);
}

TEST(RootFinder, StartsAfreshWhenIflagIsZero) {
    // A search after a failed one is not disturbed by the earlier state.
    Settings s;
    s.later_step = 10.0;
    EXPECT_EQ(solve([](double t) { return t - 9000.0; }, 1000.0, s).iflag, -1);
    Outcome out = solve([](double t) { return 2.0 * t - 1600.0; }, 1000.0);
    EXPECT_EQ(out.iflag, 0);
    EXPECT_NEAR(out.x, 800.0, 1.0e-6);
}

}  // namespace
