#include "table.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

namespace eqlink_tool {
namespace {

bool looks_numeric(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    (void)std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size();
}

}  // namespace

void Table::print(std::ostream& out, int indent) const {
    std::vector<std::size_t> width(headers_.size(), 0);
    for (std::size_t j = 0; j < headers_.size(); ++j) width[j] = headers_[j].size();
    for (const auto& r : rows_)
        for (std::size_t j = 0; j < r.size() && j < width.size(); ++j) width[j] = std::max(width[j], r[j].size());
    // A column whose cells are numbers is right-aligned, its header too.
    std::vector<bool> numeric(headers_.size(), false);
    for (const auto& r : rows_)
        for (std::size_t j = 0; j < r.size() && j < numeric.size(); ++j)
            if (looks_numeric(r[j])) numeric[j] = true;
    const std::string pad(static_cast<std::size_t>(std::max(indent, 0)), ' ');
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text = pad;
        for (std::size_t j = 0; j < width.size(); ++j) {
            const std::string cell = j < cells.size() ? cells[j] : "";
            const std::string fill(width[j] - cell.size(), ' ');
            if (j > 0) text += "  ";
            text += numeric[j] ? fill + cell : cell + fill;
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out << text << '\n';
    };
    line(headers_);
    std::size_t total = 0;
    for (std::size_t j = 0; j < width.size(); ++j) total += width[j] + (j > 0 ? 2 : 0);
    out << pad << std::string(total, '-') << '\n';
    for (const auto& r : rows_) line(r);
}

std::string format_number(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    return buf;
}

}  // namespace eqlink_tool
