#include "formula.hpp"

#include <array>
#include <cctype>
#include <cmath>
#include <string>

#include "elements.hpp"
#include "setup_error.hpp"

namespace elvar {
namespace {

// Two-letter metals preferred in all-upper-case formulas although both of
// their letters are elements by themselves.
constexpr std::array<std::string_view, 11> kPreferredPairs{
    "SI", "CU", "NI", "PB", "SN", "SB", "NB", "BI", "IN", "PU", "YB"};

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return is_upper(c) ? static_cast<char>(c - 'A' + 'a') : c; }

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {
        for (char c : text) mixed_case_ = mixed_case_ || is_lower(c);
    }

    Formula read() {
        if (text_.empty()) fail("the formula is empty", 0);
        Formula f;
        read_sequence(f.atoms, 1.0, 0);
        if (pos_ < text_.size()) fail("unexpected \"" + std::string(1, text_[pos_]) + "\"", pos_);
        return f;
    }

private:
    [[noreturn]] void fail(const std::string& what, std::size_t at) const {
        throw SetupError("formula \"" + std::string(text_) + "\": " + what + " at character " +
                         std::to_string(at + 1));
    }

    // Groups until the end of the text or a closing parenthesis.
    void read_sequence(std::vector<Atoms>& atoms, double factor, int depth) {
        while (pos_ < text_.size() && text_[pos_] != ')') {
            const std::size_t start = pos_;
            if (text_[pos_] == '(') {
                ++pos_;
                std::vector<Atoms> inner;
                read_sequence(inner, 1.0, depth + 1);
                if (pos_ >= text_.size()) fail("unclosed \"(\"", start);
                ++pos_;  // ')'
                if (inner.empty()) fail("empty parentheses", start);
                const double n = read_count();
                for (const Atoms& a : inner) add(atoms, a.z, a.count * n * factor, start);
            } else {
                const int z = read_symbol();
                add(atoms, z, read_count() * factor, start);
            }
        }
        if (pos_ < text_.size() && depth == 0) fail("unmatched \")\"", pos_);
    }

    int read_symbol() {
        const char c1 = text_[pos_];
        if (!is_upper(c1)) fail("expected an element symbol", pos_);
        const char c2 = pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0';
        const std::string one(1, c1);
        if (mixed_case_) {
            if (is_lower(c2)) {
                const std::string two{c1, c2};
                if (auto e = element_by_symbol(two)) {
                    pos_ += 2;
                    return e->z;
                }
                fail("unknown element symbol \"" + two + "\"", pos_);
            }
            if (auto e = element_by_symbol(one)) {
                pos_ += 1;
                return e->z;
            }
            fail("unknown element symbol \"" + one + "\"", pos_);
        }
        const auto single = element_by_symbol(one);
        if (is_upper(c2)) {
            const std::string two{c1, lower(c2)};
            const auto pair = element_by_symbol(two);
            const bool second_alone = element_by_symbol(std::string(1, c2)).has_value();
            bool preferred = false;
            for (std::string_view p : kPreferredPairs) preferred = preferred || p == std::string{c1, c2};
            if (pair && (!single || !second_alone || preferred)) {
                pos_ += 2;
                return pair->z;
            }
        }
        if (single) {
            pos_ += 1;
            return single->z;
        }
        fail("unknown element symbol \"" + one + "\"", pos_);
    }

    // An optional count: digits with an optional decimal part; 1 when absent.
    double read_count() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && (is_digit(text_[pos_]) || text_[pos_] == '.')) ++pos_;
        if (pos_ == start) return 1.0;
        const std::string digits(text_.substr(start, pos_ - start));
        std::size_t used = 0;
        double n = 0.0;
        try {
            n = std::stod(digits, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != digits.size() || !std::isfinite(n)) fail("bad count \"" + digits + "\"", start);
        if (n <= 0.0) fail("count \"" + digits + "\" is not positive", start);
        return n;
    }

    void add(std::vector<Atoms>& atoms, int z, double n, std::size_t at) const {
        for (Atoms& a : atoms)
            if (a.z == z) {
                a.count += n;
                return;
            }
        if (static_cast<int>(atoms.size()) >= kMaxFormulaElements)
            fail("more than twelve elements", at);
        atoms.push_back({z, n});
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool mixed_case_ = false;
};

}  // namespace

double Formula::molecular_weight() const {
    double mw = 0.0;
    for (const Atoms& a : atoms) mw += a.count * element_by_z(a.z)->mass;
    return mw;
}

Formula parse_formula(std::string_view text) { return Reader(text).read(); }

}  // namespace elvar
