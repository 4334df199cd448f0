// The listing's own number formatting against the C library's printf, which
// it replaces: every digit, sign, exponent and padding must be the same, for
// random values over the whole range of doubles and for the values where
// rounding is hardest (halves, carries into a new digit, the ends of the
// range, infinities and NaNs).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "session/listing_line.hpp"

namespace {

std::string printf_of(char conversion, int precision, double v) {
    char buf[512];
    if (conversion == 'E') std::snprintf(buf, sizeof buf, "%.*E", precision, v);
    else std::snprintf(buf, sizeof buf, "%.*f", precision, v);
    return buf;
}

std::string scientific(double v, int precision) {
    std::string s;
    eqcore::append_scientific(s, v, precision);
    return s;
}

std::string fixed(double v, int precision) {
    std::string s;
    eqcore::append_fixed(s, v, precision);
    return s;
}

// Values where the rounding is decided far down: halves at the last digit
// (exact in binary or nearly so), carries (9.9999995), powers of ten and
// their neighbours, the ends of the range, zeros, infinities and NaNs.
std::vector<double> hard_values() {
    std::vector<double> v = {0.0,
                             -0.0,
                             0.5,
                             1.5,
                             2.5,
                             0.125,
                             0.375,
                             1.0000005,
                             1.00000005,
                             9.9999995,
                             9.99999995,
                             99999.95,
                             0.00049995,
                             123456.5,
                             2.5e-7,
                             1e22,
                             1e23,
                             std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::denorm_min(),
                             4.9e-310,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN()};
    for (int e = -320; e <= 308; ++e) {
        const double p = std::pow(10.0, e);
        v.push_back(p);
        v.push_back(std::nextafter(p, 0.0));
        v.push_back(std::nextafter(p, 2.0 * p));
    }
    // d.ddddd5 x 10^e for every number of digits the listing uses and more.
    std::mt19937_64 rng(7);
    for (int i = 0; i < 5000; ++i) {
        const int digits = 1 + static_cast<int>(rng() % 12);
        const auto mantissa = static_cast<double>(rng() % 1000000000000ULL) * 10.0 + 5.0;
        const int e = static_cast<int>(rng() % 80) - 40;
        const double x = mantissa * std::pow(10.0, e - digits);
        v.push_back(x);
        v.push_back(-x);
        v.push_back(std::nextafter(x, 0.0));
        v.push_back(std::nextafter(x, 1e300));
    }
    return v;
}

TEST(ListingLine, NumbersAreThoseOfPrintfOnHardValues) {
    for (double x : hard_values()) {
        for (int p = 0; p <= 12; ++p) {
            ASSERT_EQ(scientific(x, p), printf_of('E', p, x)) << "value " << x << " precision " << p;
            ASSERT_EQ(fixed(x, p), printf_of('f', p, x)) << "value " << x << " precision " << p;
        }
    }
}

TEST(ListingLine, NumbersAreThoseOfPrintfOnRandomDoubles) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 100000; ++i) {
        // Every bit pattern (the whole exponent range), and values of the
        // sizes a listing holds.
        const double x = i % 2 == 0 ? std::bit_cast<double>(rng()) : unit(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20);
        const int p = static_cast<int>(rng() % 11);
        ASSERT_EQ(scientific(x, p), printf_of('E', p, x)) << "value " << x << " precision " << p;
        if (std::fabs(x) < 1e30) {
            ASSERT_EQ(fixed(x, p), printf_of('f', p, x)) << "value " << x << " precision " << p;
        }
    }
}

TEST(ListingLine, FieldsArePaddedAsPrintfPadsThem) {
    const std::string name = "Cu2O(s)";
    char expected[256];
    std::snprintf(expected, sizeof expected, " %6d   %-24s %-5s %14.6E %12d   T = %.4f %s", 7, name.c_str(), "QKTO",
                  -1.25e-7, 42, 1234.56789, "K");
    const std::string line = eqcore::ListingLine()
                                 .text(" ")
                                 .integer(7, 6)
                                 .text("   ")
                                 .left(name, 24)
                                 .text(" ")
                                 .left("QKTO", 5)
                                 .text(" ")
                                 .scientific(-1.25e-7, 6, 14)
                                 .text(" ")
                                 .integer(42, 12)
                                 .text("   T = ")
                                 .fixed(1234.56789, 4)
                                 .text(" ")
                                 .text("K")
                                 .finish(132);
    EXPECT_EQ(line, expected);

    // Longer than the field: not cut; the line: cut at its width, trailing
    // blanks dropped; a string ends at its first NUL.
    EXPECT_EQ(eqcore::ListingLine().left("ABCDEFGHIJ", 4).right("xy", 5).finish(132), "ABCDEFGHIJ   xy");
    EXPECT_EQ(eqcore::ListingLine().text("ABCDEF   ").finish(4), "ABCD");
    EXPECT_EQ(eqcore::ListingLine().text("AB   ").left("", 10).finish(132), "AB");
    EXPECT_EQ(eqcore::ListingLine().text(std::string("AB\0CD", 5)).finish(132), "AB");
}

}  // namespace
