// The name rules of the component mapping: how a host component name and an
// EQCORE phase or constituent name are rewritten to a common form before they
// are compared. Pure text functions, no host or engine calls, so that every
// rule can be checked on its own.
//
// Positions are 1-based as in the names' fixed fields; names are the
// blank-padded fields as received (32 characters for host and constituent
// names). Texts are compared as blank-padded: a shorter text equals a longer
// one when the rest of the longer one is blank.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace eqlink::names {

// Blank-padded equality.
bool padded_equal(std::string_view a, std::string_view b);
// ASCII upper case.
std::string upper(std::string_view s);
// Position (1-based) of the last `c` among the first `within` characters, 0 when none.
std::size_t last_of(std::string_view s, char c, std::size_t within);
// Position (1-based) of the last non-blank among the first `within` characters, 0 when all blank.
std::size_t last_nonblank(std::string_view s, std::size_t within);

// --- Gas pass ---------------------------------------------------------------

// A host component name examined by the gas pass.
struct GasHostName {
    bool gas = false;     // a colon among the first 27 characters, followed by "G"
    bool dollar = false;  // the base name ended in a dollar sign
    bool known = true;    // with a dollar sign: found in the table of known components
    std::string base;     // H: the characters before the colon, after the rewriting
    std::string suffix;   // S: the text after the colon
};
GasHostName gas_host_name(std::string_view name);

// A gas constituent name rewritten for the comparison.
struct GasConstituent {
    std::string name;  // M: cut before its first underscore, upper-cased unless kept
    std::size_t end;   // E: last non-blank of the name as given (first 24 characters)
    int g;             // 0 plain, 1 "(g)", 2..9 "(g2)".."(g9)"
};
// `keep_case`: the host name carried a dollar sign, so M is compared as written.
GasConstituent gas_constituent(std::string_view name, bool keep_case);
bool gas_match(const GasConstituent& m, const GasHostName& host);

// --- Solution phases --------------------------------------------------------

// Whether host component `name` belongs to the solution phase of code `code`
// (4 characters); on success `base_length` is P, the length of the base name
// compared with the constituents.
bool solution_member(std::string_view name, std::string_view code, std::size_t& base_length);

// A solution constituent name rewritten for the comparison.
struct SolutionConstituent {
    std::string name;         // upper-cased, factor, underscore and state removed
    double factor = 1.0;      // the formula-unit factor written after "(...):"
    bool factor_ok = true;    // false when the factor text is not a positive number
    std::string factor_text;  // the factor's characters as written
};
SolutionConstituent solution_constituent(std::string_view name);

// --- Pure phases ------------------------------------------------------------

struct PureConstituent {
    std::string name;  // M: rewritten and upper-cased
    long end = 0;      // E: its comparison length
    long rparen = 0;   // r: position of the last ")" in the name as given, 0 when none
};
PureConstituent pure_constituent(std::string_view name);

struct PureHostName {
    std::string name;    // W: base name with the state suffix in EQCORE's form
    long length = 0;     // w: the comparison length before the widening (may be negative)
    bool colon = false;  // the name has a colon
    int kind = 3;        // phase kind of a record: 2 "L", 3 "S" or no colon, 0 otherwise
};
PureHostName pure_host_name(std::string_view name);

// Comparison lengths after the widening for a parenthesised EQCORE state.
struct PureComparison {
    std::size_t host_length;
    std::size_t constituent_length;
};
// A host name without a colon is compared with its whole text: with the
// state of a parenthesised EQCORE name cut off, or against the whole EQCORE
// name when that has no state, so that only equal names match.
PureComparison pure_lengths(const PureHostName& w, const PureConstituent& m);
bool pure_match(const PureHostName& w, const PureConstituent& m);

}  // namespace eqlink::names
