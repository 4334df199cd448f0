// Name rewriting of the component mapping (see names.hpp).
#include "names.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace eqlink::names {
namespace {

constexpr std::size_t kNameLength = 32;

// The name as a field of 32 characters (cut or blank-padded).
std::string field32(std::string_view s) {
    std::string f(s.substr(0, std::min(s.size(), kNameLength)));
    f.resize(kNameLength, ' ');
    return f;
}

// Characters `from`..`from + n - 1` (1-based) of `s`; missing ones are left out.
std::string_view part(std::string_view s, std::size_t from, std::size_t n) {
    if (from < 1 || from > s.size()) return {};
    return s.substr(from - 1, n);
}

bool ends_with(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Host gas names with a dollar sign stand for species whose upper-case form
// is another species (Co and CO): the host form without the dollar sign and
// the name it is replaced by.
struct KnownComponent {
    std::string_view host;
    std::string_view mixed;
};
constexpr std::array<KnownComponent, 10> kKnownComponents{{
    {"BI:G1", "Bi:G1"},
    {"BI2:G1", "Bi2:G1"},
    {"CO:G1", "Co:G1"},
    {"COCL:G1", "CoCl:G1"},
    {"COCL2:G1", "CoCl2:G1"},
    {"COF2:G1", "CoF2:G1"},
    {"CS:G1", "Cs:G1"},
    {"CS2:G1", "Cs2:G1"},
    {"HF:G1", "Hf:G1"},
    {"ND:G1", "Nd:G1"},
}};
// EQCORE gas constituents that keep their case for the same reason.
constexpr std::array<std::string_view, 10> kMixedCaseNames{"Bi",   "Bi2", "Co",  "CoCl", "CoCl2",
                                                           "CoF2", "Cs",  "Cs2", "Hf",   "Nd"};

// The formula-unit factor written in 5 columns: blanks are ignored, a
// decimal point is honoured; it must be a positive finite number.
bool read_factor(std::string_view text, double& value) {
    std::string digits;
    for (char ch : text)
        if (ch != ' ') digits.push_back(ch);
    if (digits.empty()) return false;
    char* end = nullptr;
    value = std::strtod(digits.c_str(), &end);
    return end == digits.c_str() + digits.size() && std::isfinite(value) && value > 0.0;
}

}  // namespace

bool padded_equal(std::string_view a, std::string_view b) {
    if (a.size() < b.size()) std::swap(a, b);
    return a.substr(0, b.size()) == b &&
           a.find_first_not_of(' ', b.size()) == std::string_view::npos;
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return u;
}

std::size_t last_of(std::string_view s, char c, std::size_t within) {
    const auto pos = s.substr(0, std::min(within, s.size())).rfind(c);
    return pos == std::string_view::npos ? 0 : pos + 1;
}

std::size_t last_nonblank(std::string_view s, std::size_t within) {
    const auto pos = s.substr(0, std::min(within, s.size())).find_last_not_of(' ');
    return pos == std::string_view::npos ? 0 : pos + 1;
}

namespace {
std::size_t first_of(std::string_view s, char c, std::size_t within) {
    const auto pos = s.substr(0, std::min(within, s.size())).find(c);
    return pos == std::string_view::npos ? 0 : pos + 1;
}
}  // namespace

// --- Gas pass ---------------------------------------------------------------

GasHostName gas_host_name(std::string_view name) {
    GasHostName h;
    std::string n = field32(name);
    const std::size_t colon = last_of(n, ':', 27);
    if (colon == 0 || n[colon] != 'G') return h;
    h.gas = true;
    std::size_t p = colon - 1;
    if (p >= 1 && n[p - 1] == '$') {
        h.dollar = true;
        n.erase(p - 1, 1);
        n.push_back(' ');
        --p;
        const auto known =
            std::find_if(kKnownComponents.begin(), kKnownComponents.end(),
                         [&](const KnownComponent& k) { return padded_equal(n, k.host); });
        if (known == kKnownComponents.end()) {
            h.known = false;
        } else {
            n = field32(known->mixed);
        }
    }
    h.base = n.substr(0, p);
    h.suffix = n.substr(p + 1);
    return h;
}

GasConstituent gas_constituent(std::string_view name, bool keep_case) {
    GasConstituent c;
    std::string m = field32(name);
    c.end = last_nonblank(m, 24);
    if (const std::size_t u = first_of(m, '_', 24); u > 0) {
        m = field32(m.substr(0, u - 1));
    }
    const std::size_t e = c.end;
    c.g = 0;
    if (e >= 3 && part(m, e - 2, 3) == "(g)") {
        c.g = 1;
    } else if (e >= 4 && m[e - 4] == '(' && m[e - 3] == 'g' && m[e - 2] >= '2' && m[e - 2] <= '9' &&
               m[e - 1] == ')') {
        c.g = m[e - 2] - '0';
    }
    const bool mixed_case = std::find_if(kMixedCaseNames.begin(), kMixedCaseNames.end(),
                                         [&](std::string_view k) { return padded_equal(m, k); }) !=
                            kMixedCaseNames.end();
    c.name = keep_case || mixed_case ? m : upper(m);
    return c;
}

bool gas_match(const GasConstituent& m, const GasHostName& host) {
    const std::string_view s = host.suffix;
    switch (m.g) {
        case 0:
            return padded_equal(m.name, host.base);
        case 1:
            return m.end >= 3 && padded_equal(part(m.name, 1, m.end - 3), host.base) &&
                   s.substr(0, 2) == "G1";
        default:
            return m.end >= 4 && padded_equal(part(m.name, 1, m.end - 4), host.base) &&
                   s.size() >= 2 && s[0] == 'G' && s[1] == static_cast<char>('0' + m.g);
    }
}

// --- Solution phases --------------------------------------------------------

bool solution_member(std::string_view name, std::string_view code, std::size_t& base_length) {
    const std::string n = field32(name);
    if (const std::size_t colon = last_of(n, ':', 27); colon > 0) {
        base_length = colon - 1;
        return padded_equal(part(n, colon + 1, 4), code.substr(0, 4));
    }
    std::size_t last = 0;
    for (std::size_t p = 1; p <= 24; ++p)
        if (padded_equal(part(n, p, 4), code.substr(0, 4))) last = p;
    if (last == 0) return false;
    base_length = last - 1;
    return true;
}

SolutionConstituent solution_constituent(std::string_view name) {
    SolutionConstituent c;
    std::string m = upper(field32(name));
    if (const std::size_t colon = last_of(m, ':', 24);
        colon >= 3 && m[0] == '(' && m[colon - 2] == ')') {
        c.factor_text = std::string(part(m, colon + 1, 5));
        c.factor_ok = read_factor(c.factor_text, c.factor);
        if (!c.factor_ok) c.factor = 1.0;
        m = field32(m.substr(1, colon - 3));
    }
    if (const std::size_t u = first_of(m, '_', 24); u > 0) m = field32(m.substr(0, u - 1));
    const std::size_t l = last_of(m, '(', 24);
    const std::size_t r = last_of(m, ')', 24);
    if (l >= 1 && l < r && m[r] == ' ') m = field32(m.substr(0, l - 1));
    c.name = m;
    return c;
}

// --- Pure phases ------------------------------------------------------------

PureConstituent pure_constituent(std::string_view name) {
    std::string m = field32(name);
    m.erase(std::remove(m.begin(), m.end(), '\''), m.end());
    m = field32(m);
    std::size_t e = last_nonblank(m, 24);
    m.resize(e);
    const std::size_t r = last_of(m, ')', e);
    const std::size_t u1 = first_of(m, '_', e);
    const std::size_t u2 = std::count(m.begin(), m.end(), '_') >= 2 ? last_of(m, '_', e) : 0;
    if (u2 > r) {
        m.resize(u2 - 1);
        e = u2 - 1;
    }
    if (u1 >= 1) {
        if (u1 < r || r == 0) {
            const std::string head = m.substr(0, u1 - 1);
            if (ends_with(m, "(s)")) {
                m = head + "(s)";
            } else if (ends_with(m, "(liq)")) {
                m = head + "(liq)";
            } else {
                m = head + m.substr(m.size() >= 4 ? m.size() - 4 : 0);
            }
        } else {
            m.resize(u1 - 1);
        }
        e = m.size();
    }
    PureConstituent c;
    c.name = upper(m);
    c.end = static_cast<long>(e);
    c.rparen = static_cast<long>(r);
    return c;
}

PureHostName pure_host_name(std::string_view name) {
    PureHostName w;
    const std::string n = field32(name);
    const std::size_t colon = last_of(n, ':', kNameLength);
    if (colon == 0) {
        w.name = n.substr(0, last_nonblank(n, kNameLength));
        w.length = static_cast<long>(w.name.size()) - 3;
        w.kind = 3;
        return w;
    }
    w.colon = true;
    const std::string base = n.substr(0, colon - 1);
    const std::string xy(part(n, colon + 1, 2));
    const long c = static_cast<long>(colon);
    if (xy == "S1") {
        w.name = base + "(S)";
        w.length = c - 1;
    } else if (xy == "L1") {
        w.name = base + "(LIQ)";
        w.length = c + 1;
    } else if (xy == "G1") {
        w.name = base + "(G)";
        w.length = c - 1;
    } else {
        w.name = base + "(" + xy + ")";
        w.length = c;
    }
    const char letter = colon < n.size() ? n[colon] : ' ';
    w.kind = letter == 'L' ? 2 : letter == 'S' ? 3 : 0;
    return w;
}

PureComparison pure_lengths(const PureHostName& w, const PureConstituent& m) {
    long host = w.length;
    long constituent = m.end;
    if (!w.colon && m.rparen == 0) {
        // Neither side has a state: the whole names are compared.
        host = static_cast<long>(w.name.size());
    } else {
        if (m.rparen >= 1) host += 3;
        if (!w.colon) constituent -= 3;
    }
    return {static_cast<std::size_t>(std::max(0L, host)),
            static_cast<std::size_t>(std::max(0L, constituent))};
}

bool pure_match(const PureHostName& w, const PureConstituent& m) {
    const PureComparison n = pure_lengths(w, m);
    return padded_equal(std::string_view(w.name).substr(0, n.host_length),
                        std::string_view(m.name).substr(0, n.constituent_length));
}

}  // namespace eqlink::names
