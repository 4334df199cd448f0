// Field helpers shared by the record readers of the newer layouts: a count
// checked against its range, and a real written for an error message.
#pragma once

#include <string>
#include <string_view>

#include "data/lexer.hpp"

namespace eqcore {

// The next integer of the record, which must lie in [lo, hi]; the error
// names the field ("<field> <index>" when index > 0) and what was found.
int integer_in(Lexer& lex, std::string_view field, long long lo, long long hi, int index = 0);

// A real as an error message shows it.
std::string real_text(double v);

}  // namespace eqcore
