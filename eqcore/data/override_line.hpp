// An interpolation-override line, which follows the excess records of a
// quasichemical or QKTO phase whose list ends with a negative count -n
// (n such lines): ten items, a letter written directly after the third,
// fifth and seventh,
//
//     i  j  k<L>  i  j<L>  i  k<L>  j  k  s
//
// the ternary (i, j, k), the letters of its three binaries and s, the
// sublattice partner (an anion; 0 in a phase without a second sublattice).
// Only the letter K (Kohler-type: in the binaries of that ternary the third
// constituent joins neither side) is supported.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace eqcore {

struct OverrideLine {
    std::array<long long, 3> ternary{};  // i, j, k as written (1-based)
    long long partner = 0;               // s as written
    std::string items;                   // the ten integers, for messages: "1 2 3 1 2 1 3 2 3 0"
};

// Reads `line` into `out`. Returns "" or what is wrong: "letter 'T' not
// supported", "expected 10 items, found 9", or "indices <items> invalid"
// (letters not after items 3, 5 and 7, or the repeated indices not those of
// the ternary). Whether the indices name constituents of the phase is the
// caller's to check (its fault: "indices <items> invalid").
std::string read_override_line(std::string_view line, OverrideLine& out);

}  // namespace eqcore
