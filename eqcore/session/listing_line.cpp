#include "session/listing_line.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace eqcore {
namespace {

// The fast paths scale the value by a power of ten in long double and round
// the result to an integer; they need its 64-bit mantissa (x86). Elsewhere
// every number takes the exact path.
constexpr bool kWideLongDouble = std::numeric_limits<long double>::digits >= 64;

// Digits of the fast paths: at most this many after the point, and a scaled
// fixed-point value below 10^13. The scaled value's error is then below
// 3e-7: a scientific number is scaled into [10^p, 10^(p+1)], p <= 9, by a
// power from the table below (under 2e-17 relative) with one rounding of the
// product (5.5e-20); a fixed-point number by an exact power (10^9 at most)
// with one rounding, under 6e-7 at 10^13. A scaled value within
// kHalfMargin of a half, where the rounding direction depends on digits
// the long double does not hold, takes the exact path.
constexpr int kFastPrecision = 9;
constexpr long double kFastFixedLimit = 1e13L;
constexpr long double kHalfMargin = 1e-5L;

constexpr int kMaxPower = 350;

// 10^k for k in [-kMaxPower, kMaxPower]: exact up to 10^27; beyond, each step
// adds at most one rounding of 2^-64, so at 10^350 the error is below 2e-17
// relative.
const long double* powers_of_ten() {
    static const std::array<long double, 2 * kMaxPower + 1> table = [] {
        std::array<long double, 2 * kMaxPower + 1> t{};
        t[kMaxPower] = 1.0L;
        constexpr std::size_t zero = kMaxPower;
        for (std::size_t k = 1; k <= zero; ++k) t[zero + k] = t[zero + k - 1] * 10.0L;
        for (std::size_t k = 1; k <= zero; ++k) t[zero - k] = 1.0L / t[zero + k];
        return t;
    }();
    return table.data() + kMaxPower;
}

constexpr std::array<std::uint64_t, 20> kPow10 = [] {
    std::array<std::uint64_t, 20> t{};
    t[0] = 1;
    for (std::size_t i = 1; i < t.size(); ++i) t[i] = t[i - 1] * 10;
    return t;
}();

// `v` as exactly `count` decimal digits (leading zeros kept), appended.
void append_digits(std::string& out, std::uint64_t v, int count) {
    char buf[20];
    for (int i = count - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    out.append(buf, static_cast<std::size_t>(count));
}

// The scaled value rounded to the nearest integer, or false when it lies
// too close to a half to tell.
bool round_scaled(long double s, std::uint64_t& rounded) {
    const auto whole = static_cast<std::uint64_t>(s);
    const long double frac = s - static_cast<long double>(whole);
    if (std::fabs(frac - 0.5L) < kHalfMargin) return false;
    rounded = whole + (frac > 0.5L ? 1 : 0);
    return true;
}

bool scientific_fast(std::string& out, double v, int precision) {
    if constexpr (!kWideLongDouble) return false;
    if (precision > kFastPrecision) return false;
    const double a = std::fabs(v);
    if (!(a >= std::numeric_limits<double>::min()) || !(a <= std::numeric_limits<double>::max())) {
        if (a != 0.0) return false;  // subnormal, infinite or not a number
        if (std::signbit(v)) out.push_back('-');
        out.push_back('0');
        if (precision > 0) {
            out.push_back('.');
            out.append(static_cast<std::size_t>(precision), '0');
        }
        out.append("E+00");
        return true;
    }
    const long double* p10 = powers_of_ten();
    // floor(e2 log10 2) for the binary exponent: the decimal exponent or
    // one below it.
    const int e2 = static_cast<int>((std::bit_cast<std::uint64_t>(a) >> 52) & 0x7ff) - 1023;
    int e10 = (e2 * 78913) >> 18;
    long double s = static_cast<long double>(a) * p10[precision - e10];
    if (s >= p10[precision + 1]) {
        ++e10;
        s = static_cast<long double>(a) * p10[precision - e10];
    }
    std::uint64_t digits = 0;
    if (!round_scaled(s, digits)) return false;
    if (digits >= kPow10[static_cast<std::size_t>(precision + 1)]) {  // 9.9999996 -> 10.000000
        digits /= 10;
        ++e10;
    }
    if (digits < kPow10[static_cast<std::size_t>(precision)]) return false;  // cannot happen; be exact anyway
    if (std::signbit(v)) out.push_back('-');
    const std::uint64_t lead = digits / kPow10[static_cast<std::size_t>(precision)];
    out.push_back(static_cast<char>('0' + lead));
    if (precision > 0) {
        out.push_back('.');
        append_digits(out, digits % kPow10[static_cast<std::size_t>(precision)], precision);
    }
    out.push_back('E');
    out.push_back(e10 < 0 ? '-' : '+');
    const int e = e10 < 0 ? -e10 : e10;
    append_digits(out, static_cast<std::uint64_t>(e), e >= 100 ? 3 : 2);
    return true;
}

bool fixed_fast(std::string& out, double v, int precision) {
    if constexpr (!kWideLongDouble) return false;
    if (precision > kFastPrecision) return false;
    const long double s = static_cast<long double>(std::fabs(v)) * powers_of_ten()[precision];
    if (!(s < kFastFixedLimit)) return false;  // large, infinite or not a number
    std::uint64_t digits = 0;
    if (!round_scaled(s, digits)) return false;
    if (std::signbit(v)) out.push_back('-');
    const std::uint64_t unit = kPow10[static_cast<std::size_t>(precision)];
    const std::uint64_t whole = digits / unit;
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, whole).ptr;
    out.append(buf, end);
    if (precision > 0) {
        out.push_back('.');
        append_digits(out, digits % unit, precision);
    }
    return true;
}

// A string field as printf's %s takes it: up to its first NUL.
std::string_view c_string(std::string_view t) {
    const auto nul = t.find('\0');
    return nul == std::string_view::npos ? t : t.substr(0, nul);
}

}  // namespace

void append_scientific(std::string& out, double v, int precision) {
    if (scientific_fast(out, v, precision)) return;
    char buf[400];
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision).ptr;
    for (const char* c = buf; c != end; ++c) out.push_back(*c >= 'a' && *c <= 'z' ? static_cast<char>(*c - 'a' + 'A') : *c);
}

void append_fixed(std::string& out, double v, int precision) {
    if (fixed_fast(out, v, precision)) return;
    char buf[400];
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision).ptr;
    out.append(buf, end);
}

ListingLine& ListingLine::text(std::string_view t) {
    s_.append(c_string(t));
    return *this;
}

ListingLine& ListingLine::left(std::string_view t, std::size_t width) {
    const std::size_t start = s_.size();
    s_.append(c_string(t));
    if (s_.size() - start < width) s_.append(width - (s_.size() - start), ' ');
    return *this;
}

ListingLine& ListingLine::right(std::string_view t, std::size_t width) {
    const std::size_t start = s_.size();
    s_.append(c_string(t));
    pad_from(start, width);
    return *this;
}

ListingLine& ListingLine::integer(long long v, std::size_t width) {
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return right(std::string_view(buf, static_cast<std::size_t>(end - buf)), width);
}

ListingLine& ListingLine::scientific(double v, int precision, std::size_t width) {
    const std::size_t start = s_.size();
    append_scientific(s_, v, precision);
    pad_from(start, width);
    return *this;
}

ListingLine& ListingLine::fixed(double v, int precision) {
    append_fixed(s_, v, precision);
    return *this;
}

std::string ListingLine::finish(std::size_t width) {
    if (s_.size() > width) s_.resize(width);
    while (!s_.empty() && s_.back() == ' ') s_.pop_back();
    return std::move(s_);
}

void ListingLine::pad_from(std::size_t start, std::size_t width) {
    const std::size_t n = s_.size() - start;
    if (n < width) s_.insert(start, width - n, ' ');
}

}  // namespace eqcore
