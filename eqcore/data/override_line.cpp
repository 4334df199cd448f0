#include "data/override_line.hpp"

#include <cctype>
#include <utility>
#include <vector>

#include "data/lexer.hpp"

namespace eqcore {

std::string read_override_line(std::string_view line, OverrideLine& out) {
    // Items are integers; a letter follows some of them directly (or stands
    // alone after one).
    std::vector<long long> item;
    std::vector<std::pair<std::size_t, std::string>> letters;  // after item number
    for (std::string_view tok : split_tokens(line)) {
        std::size_t e = 0;
        if (e < tok.size() && (tok[e] == '-' || tok[e] == '+')) ++e;
        while (e < tok.size() && std::isdigit(static_cast<unsigned char>(tok[e]))) ++e;
        long long v = 0;
        if (e > 0 && parse_integer(tok.substr(0, e), v)) item.push_back(v);
        else e = 0;
        if (e < tok.size()) letters.emplace_back(item.size(), std::string(tok.substr(e)));
    }
    for (const auto& l : letters)
        if (l.second != "K" && l.second != "k") return "letter '" + l.second + "' not supported";
    if (item.size() != 10) return "expected 10 items, found " + std::to_string(item.size());
    out.items.clear();
    for (long long v : item) {
        if (!out.items.empty()) out.items += ' ';
        out.items += std::to_string(v);
    }
    out.ternary = {item[0], item[1], item[2]};
    out.partner = item[9];
    const bool letters_ok = letters.size() == 3 && letters[0].first == 3 && letters[1].first == 5 && letters[2].first == 7;
    const bool repeat_ok = item[3] == item[0] && item[4] == item[1] && item[5] == item[0] && item[6] == item[2] &&
                           item[7] == item[1] && item[8] == item[2];
    if (!letters_ok || !repeat_ok) return "indices " + out.items + " invalid";
    return {};
}

}  // namespace eqcore
