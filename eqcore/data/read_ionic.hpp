// The blocks of the ionic liquids in the .dat format, after their species
// entries: SUBI (read into IonicLiquid, every count, index, charge and
// excess record checked where it is read) and SUBM (read by its layout,
// so that nothing after it is misread; its energy model is not known, and
// the caller refuses the phase).
#pragma once

#include <functional>
#include <span>
#include <string>

#include "data/lexer.hpp"
#include "data/system.hpp"

namespace eqcore {

struct IonicBlock {
    Lexer& lex;
    const std::string& phase;                // its name
    std::span<const Constituent> records;    // its species entries
    std::span<const int> record_lines;       // line of each entry's name
    std::span<const double> markers;         // the value after `*` on an entry's name line, NaN without
    std::function<void(int line, const std::string&)> warn;
};

IonicLiquid read_subi(const IonicBlock& block);
void skip_subm(const IonicBlock& block);

}  // namespace eqcore
