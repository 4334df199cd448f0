#include "fortran_format.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace fmt90 {
namespace {

std::string stars(int w) { return std::string(w > 0 ? static_cast<std::size_t>(w) : 0, '*'); }

// `body` right-justified in `w` columns; asterisks when it does not fit.
std::string right(const std::string& body, int w) {
    const auto width = static_cast<std::size_t>(w);
    if (w < 0 || body.size() > width) return stars(w);
    std::string field(width - body.size(), ' ');
    field += body;
    return field;
}

// The sign column: only negative values (negative zero included) show one.
std::string sign_of(double value) { return std::signbit(value) ? "-" : ""; }

// Infinity and NaN as the Fortran runtime writes them: "Infinity" where the
// field has room, else "Inf"; "NaN" without a sign. w = 0 asks for the
// shortest form.
std::string not_finite(double value, int w) {
    if (std::isnan(value)) return w == 0 ? "NaN" : right("NaN", w);
    const std::string sign = sign_of(value);
    const auto room = static_cast<std::size_t>(w);
    if (w == 0) return sign + "Inf";
    if (sign.size() + 8 <= room) return right(sign + "Infinity", w);
    return right(sign + "Inf", w);
}

// |value| in fixed form with `decimals` digits after the point, and in
// scientific form with `decimals` digits after the first. Both round the
// exact binary value to nearest, ties to even, as the Fortran runtime does.
std::string chars(double magnitude, std::chars_format form, int decimals) {
    // The longest fixed form of a double has 309 digits before the point.
    std::string s(static_cast<std::size_t>(decimals) + 330, '\0');
    const auto r = std::to_chars(s.data(), s.data() + s.size(), magnitude, form, decimals);
    s.resize(static_cast<std::size_t>(r.ptr - s.data()));
    return s;
}

std::string decimal(std::uint64_t n, int min_digits = 1) {
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
    std::string s(buffer, r.ptr);
    if (s.size() < static_cast<std::size_t>(min_digits))
        s.insert(0, static_cast<std::size_t>(min_digits) - s.size(), '0');
    return s;
}

// |value| rounded to `n` significant digits: the digits and the exponent
// `point` such that |value| = 0.d1 d2 ... dn x 10^point. Zero has n zeros
// and point 0.
struct Digits {
    std::string digits;
    int point;
};

Digits significant(double value, int n) {
    if (value == 0.0) return {std::string(static_cast<std::size_t>(n), '0'), 0};
    // "d.ddde+XX": the first digit, the rest after the point, the exponent.
    const std::string s = chars(std::fabs(value), std::chars_format::scientific, n - 1);
    const std::size_t e = s.find('e');
    std::string digits = s.substr(0, 1);
    if (n > 1) digits += s.substr(2, e - 2);
    return {digits, std::atoi(s.c_str() + e + 1) + 1};  // "e-05" -> -5
}

// The exponent part of E and ES fields. Without an exponent width: "E+dd"
// up to two digits, "+ddd" with three (the letter gives way to the digit).
// With width e: "E+" and e digits. Empty when it cannot be written.
std::string exponent_part(int exponent, int e) {
    const std::string sign = exponent < 0 ? "-" : "+";
    const int magnitude = std::abs(exponent);
    const auto digits = [&](int count) { return decimal(static_cast<std::uint64_t>(magnitude), count); };
    if (e == 0) {
        if (magnitude <= 99) return "E" + sign + digits(2);
        if (magnitude <= 999) return sign + digits(3);
        return {};
    }
    int limit = 1;
    for (int k = 0; k < e && limit <= magnitude; ++k) limit *= 10;
    if (magnitude >= limit) return {};
    return "E" + sign + digits(e);
}

// A field that may drop one optional leading zero ("0.5" -> ".5") when the
// full form is one column too wide.
std::string fit(const std::string& sign, const std::string& body, bool zero_optional, int w) {
    const std::string full = sign + body;
    if (w == 0) return zero_optional ? sign + body.substr(1) : full;
    if (full.size() <= static_cast<std::size_t>(w)) return right(full, w);
    if (zero_optional) return right(sign + body.substr(1), w);
    return stars(w);
}

std::string e_field(double value, int w, int d, int e, bool scientific) {
    if (w <= 0 || d < 0 || (!scientific && d == 0) || e < 0) return stars(w);
    if (!std::isfinite(value)) return not_finite(value, w);
    const int n = scientific ? d + 1 : d;
    const Digits r = significant(value, n);
    const int exponent = value == 0.0 ? 0 : (scientific ? r.point - 1 : r.point);
    const std::string exp = exponent_part(exponent, e);
    if (exp.empty()) return stars(w);
    if (scientific)
        return fit(sign_of(value), r.digits.substr(0, 1) + "." + r.digits.substr(1) + exp, false, w);
    return fit(sign_of(value), "0." + r.digits + exp, true, w);
}

}  // namespace

std::string I(ftn::Int value, int w) { return I(value, w, 1); }

std::string I(ftn::Int value, int w, int m) {
    if (w < 0 || m < 0 || (w > 0 && m > w)) return stars(w);
    // Iw.0 writes zero as blanks only.
    if (value == 0 && m == 0) return std::string(w == 0 ? 1 : static_cast<std::size_t>(w), ' ');
    // The magnitude as unsigned, so that the most negative value is no trouble.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string body = value < 0 ? "-" : "";
    body += decimal(magnitude, m);
    return w == 0 ? body : right(body, w);
}

std::string F(double value, int w, int d) {
    if (w < 0 || d < 0) return stars(w);
    if (!std::isfinite(value)) return not_finite(value, w);
    std::string body = chars(std::fabs(value), std::chars_format::fixed, d);
    if (d == 0) body += '.';  // "3." keeps its point
    // "0.5" may be written ".5" where the width is tight; "0." never drops
    // its zero, a lone point being no number.
    const bool zero_optional = d > 0 && body[0] == '0';
    return fit(sign_of(value), body, zero_optional, w);
}

std::string E(double value, int w, int d) { return e_field(value, w, d, 0, false); }
std::string E(double value, int w, int d, int e) {
    return e > 0 ? e_field(value, w, d, e, false) : stars(w);
}
std::string ES(double value, int w, int d) { return e_field(value, w, d, 0, true); }
std::string ES(double value, int w, int d, int e) {
    return e > 0 ? e_field(value, w, d, e, true) : stars(w);
}

std::string A(std::string_view text, int w) {
    if (w <= 0) return std::string(text);
    const auto width = static_cast<std::size_t>(w);
    if (text.size() >= width) return std::string(text.substr(0, width));
    std::string field(width - text.size(), ' ');
    field += text;
    return field;
}

// List-directed items begin with the blank that separates them.
std::string list(ftn::Int value) {
    std::string item = " ";
    item += I(value, 20);
    return item;
}

// A REAL*8 item: 17 significant digits in a field of 25 columns. Magnitudes
// from 0.1 to below 1E17 (after rounding) are written in fixed form, in 20
// columns followed by the 5 blanks the exponent would take; others as
// d.ddd...E+ddd.
std::string list(double value) {
    constexpr int kDigits = 17, kWidth = 25, kExponentWidth = 5;
    std::string item = " ";
    if (!std::isfinite(value)) {
        item += not_finite(value, kWidth);
        return item;
    }
    const Digits r = significant(value, kDigits);
    // Zero is written like a value of the first decade: "0.0000000000000000".
    const int point = value == 0.0 ? 1 : r.point;
    const std::string& g = r.digits;
    std::string body = sign_of(value);
    if (point >= 0 && point <= kDigits) {
        const auto p = static_cast<std::size_t>(point);
        body += point == 0 ? "0" : g.substr(0, p);
        body += '.';
        body += g.substr(p);
        item += right(body, kWidth - kExponentWidth);
        item += std::string(kExponentWidth, ' ');
    } else {
        const int exponent = point - 1;
        body += g.substr(0, 1);
        body += '.';
        body += g.substr(1);
        body += exponent < 0 ? "E-" : "E+";
        body += decimal(static_cast<std::uint64_t>(std::abs(exponent)), 3);
        item += right(body, kWidth);
    }
    return item;
}

ListRecord& ListRecord::number(const std::string& item) {
    record_ += item;
    after_text_ = false;
    return *this;
}

ListRecord& ListRecord::operator<<(std::string_view text) {
    if (!after_text_) record_ += ' ';
    record_ += text;
    after_text_ = true;
    return *this;
}

}  // namespace fmt90
