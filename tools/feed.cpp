#include "feed.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "formula.hpp"
#include "elements.hpp"
#include "input_error.hpp"
#include "setup_error.hpp"

namespace eqlink_tool {
namespace {

bool same_symbol(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::pair<std::string, double> split_amount(const std::string& item, const std::string& option) {
    const auto eq = item.rfind('=');
    if (eq == std::string::npos || eq == 0)
        throw InputError(option + " \"" + item + "\": expected NAME=AMOUNT (mol)");
    const std::string number = item.substr(eq + 1);
    char* end = nullptr;
    const double v = std::strtod(number.c_str(), &end);
    if (number.empty() || end != number.c_str() + number.size() || !std::isfinite(v) || v < 0.0)
        throw InputError(option + " \"" + item + "\": the amount \"" + number +
                         "\" is not a finite number of mol at least 0");
    return {item.substr(0, eq), v};
}

FeedItem constituent_feed(const eqcore::System& sys, const std::string& item) {
    const auto [name, mol] = split_amount(item, "--feed");
    std::string phase_name, const_name = name;
    if (const auto slash = name.find('/'); slash != std::string::npos) {
        phase_name = name.substr(0, slash);
        const_name = name.substr(slash + 1);
    }
    bool phase_seen = phase_name.empty();
    for (int p = 0; p < sys.phase_count(); ++p) {
        const auto& ph = sys.phases[static_cast<std::size_t>(p)];
        if (!phase_name.empty()) {
            if (ph.name != phase_name) continue;
            phase_seen = true;
        }
        for (int k = 0; k < ph.count; ++k)
            if (sys.constituent(p, k).name == const_name) return {p, k, mol};
    }
    if (!phase_seen) throw InputError("--feed \"" + item + "\": the data file has no phase \"" + phase_name + "\"");
    throw InputError("--feed \"" + item + "\": the data file has no constituent \"" + const_name + "\"" +
                     (phase_name.empty() ? "" : " in phase " + phase_name) +
                     " (use --elements for an element formula)");
}

void add_element_feed(const eqcore::System& sys, const std::string& item, std::vector<double>& b) {
    const auto [formula, mol] = split_amount(item, "--elements");
    elvar::Formula f;
    try {
        f = elvar::parse_formula(formula);
    } catch (const elvar::SetupError& e) {
        throw InputError("--elements \"" + item + "\": " + e.what());
    }
    for (const auto& a : f.atoms) {
        const auto el = elvar::element_by_z(a.z);
        const std::string_view symbol = el ? el->symbol : std::string_view{};
        bool found = false;
        for (std::size_t j = 0; j < sys.elements.size(); ++j) {
            if (same_symbol(sys.elements[j].symbol, symbol)) {
                b[j] += a.count * mol;
                found = true;
                break;
            }
        }
        if (!found)
            throw InputError("--elements \"" + item + "\": the data file has no element " + std::string(symbol));
    }
}

}  // namespace eqlink_tool
