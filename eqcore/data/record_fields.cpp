#include "data/record_fields.hpp"

#include <sstream>

namespace eqcore {

int integer_in(Lexer& lex, std::string_view field, long long lo, long long hi, int index) {
    const long long v = lex.integer(field, index);
    if (v < lo || v > hi) {
        std::string f(field);
        if (index > 0) {
            f += ' ';
            f += std::to_string(index);
        }
        lex.fail(f + ": expected " + std::to_string(lo) + " to " + std::to_string(hi) + ", found " + std::to_string(v));
    }
    return static_cast<int>(v);
}

std::string real_text(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

}  // namespace eqcore
