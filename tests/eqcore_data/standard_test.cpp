// Standard-state functions against a second evaluation in long double,
// written term by term from G alone (S = -dG/dT, H = G + T S,
// Cp = -T d2G/dT2), on coefficient sets with large cancellations, integer,
// negative and fractional exponents and ln T terms; and one set of
// temperature powers shared by many ranges giving what a fresh one gives.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "thermo/standard.hpp"

namespace eqcore {
namespace {

// G, S, H, Cp of c T^e (e = kLnTExponent: c ln T; e = 1000: c T ln T), with
// the sum of the terms' magnitudes for the tolerance.
struct Ref {
    long double g = 0, s = 0, h = 0, cp = 0;
    long double mg = 0, ms = 0, mh = 0, mcp = 0;
    void add(long double c, double e, long double T) {
        const long double lnT = std::log(T);
        long double tg, ts, tcp;
        if (e == kLnTExponent) {
            tg = c * lnT, ts = -c / T, tcp = c / T;
        } else if (e == 1000.0) {
            tg = c * T * lnT, ts = -c * (lnT + 1), tcp = -c;
        } else {
            const long double te = std::pow(T, static_cast<long double>(e));
            tg = c * te, ts = -c * e * te / T, tcp = -c * e * (e - 1) * te / T;
        }
        g += tg, s += ts, h += tg + T * ts, cp += tcp;
        mg += std::fabs(tg), ms += std::fabs(ts), mh += std::fabs(tg) + std::fabs(T * ts), mcp += std::fabs(tcp);
    }
};

Ref reference(const GibbsRange& r, double T) {
    Ref ref;
    const auto& [A, B, C, D, E, F] = r.coef;
    ref.add(A, 0, T), ref.add(B, 1, T), ref.add(C, 1000.0, T), ref.add(D, 2, T), ref.add(E, 3, T), ref.add(F, -1, T);
    for (const ExtraTerm& x : r.extra) ref.add(x.c, x.e, T);
    return ref;
}

void expect_matches(const StandardProps& p, const Ref& ref, const char* what) {
    const double tol = 1e-14;
    EXPECT_LE(std::fabs(p.g - static_cast<double>(ref.g)), tol * static_cast<double>(ref.mg) + 1e-300) << what << " G";
    EXPECT_LE(std::fabs(p.s - static_cast<double>(ref.s)), tol * static_cast<double>(ref.ms) + 1e-300) << what << " S";
    EXPECT_LE(std::fabs(p.h - static_cast<double>(ref.h)), tol * static_cast<double>(ref.mh) + 1e-300) << what << " H";
    EXPECT_LE(std::fabs(p.cp - static_cast<double>(ref.cp)), tol * static_cast<double>(ref.mcp) + 1e-300) << what << " Cp";
}

GibbsRange random_range(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0), mag(-8.0, 8.0);
    auto coef = [&] { return u(rng) * std::pow(10.0, mag(rng)); };
    GibbsRange r;
    r.tmax = 6000.0;
    for (double& a : r.coef) a = coef();
    const double exponents[] = {kLnTExponent, 4, 5, -2, -3, 7, 0.5, -1.5, 2.25, 16, -16, 17, 0, 1, -1};
    std::uniform_int_distribution<int> pick(0, 14), count(0, 5);
    for (int k = count(rng); k > 0; --k) r.extra.push_back({coef(), exponents[pick(rng)]});
    return r;
}

TEST(StandardFunctions, EveryTermAgainstLongDouble) {
    std::mt19937_64 rng(97);
    std::uniform_real_distribution<double> lgT(std::log(1.0), std::log(20000.0));
    for (int trial = 0; trial < 400; ++trial) {
        const double T = std::exp(lgT(rng));
        const TemperaturePowers shared(T);  // one object for all ranges at T, as the solver uses it
        for (int k = 0; k < 6; ++k) {
            const GibbsRange r = random_range(rng);
            const Ref ref = reference(r, T);
            expect_matches(range_props(r, T), ref, "fresh");
            expect_matches(range_props(r, shared), ref, "shared");
            // Shared powers are the fresh ones, bit for bit.
            const StandardProps a = range_props(r, shared), b = range_props(r, T, std::log(T));
            EXPECT_EQ(a.g, b.g);
            EXPECT_EQ(a.cp, b.cp);
        }
    }
}

TEST(StandardFunctions, RangeChoiceAndPowers) {
    Constituent c;
    GibbsRange low, high;
    low.tmax = 1000.0;
    low.coef = {-1000.0, 10.0, -2.0, 1e-3, -1e-7, 5e4};
    high.tmax = 3000.0;
    high.coef = {-2000.0, 20.0, -3.0, 2e-3, -2e-7, 6e4};
    high.extra = {{1e-12, 4}, {3.0, kLnTExponent}};
    c.ranges = {low, high};
    // The boundary belongs to the lower range; above the last, the last
    // range extrapolated.
    EXPECT_EQ(standard(c, 1000.0).g, range_props(low, 1000.0).g);
    EXPECT_EQ(standard(c, 1000.5).g, range_props(high, 1000.5).g);
    EXPECT_FALSE(standard(c, 3000.0).extrapolated);
    const StandardProps above = standard(c, 3500.0);
    EXPECT_TRUE(above.extrapolated);
    EXPECT_EQ(above.g, range_props(high, 3500.0).g);
    // G° alone (a separate formula) agrees.
    for (double T : {200.0, 999.9, 1000.0, 2500.0, 4000.0})
        EXPECT_NEAR(gibbs0(c, T), standard(c, T).g, 1e-12 * std::fabs(gibbs0(c, T))) << T;

    // Tabulated integer powers, asked for in any order and again.
    const TemperaturePowers t(1.7);
    for (double e : {4.0, -3.0, 4.0, 16.0, -16.0, 0.0, 1.0, -3.0})
        EXPECT_NEAR(t.power(e), std::pow(1.7, e), 1e-15 * std::pow(1.7, e)) << e;
    EXPECT_EQ(t.power(2.5), std::pow(1.7, 2.5));
    EXPECT_EQ(t.power(17.0), std::pow(1.7, 17.0));
}

}  // namespace
}  // namespace eqcore
