// Small text helpers of the session: words as callers pass them
// (blank-padded, case-insensitive where stated) and numbers in messages.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace eqcore::text {

// `s` without its trailing blanks.
inline std::string_view trimmed(std::string_view s) {
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

// An ASCII letter in lower case (other bytes as they are, whatever the locale).
inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal ignoring case (ASCII).
inline bool same_word(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

// A value for an error text: up to 10 significant digits.
inline std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

}  // namespace eqcore::text
