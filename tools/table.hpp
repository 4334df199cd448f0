// Aligned plain-text tables for the tool's output: a header row, a rule, and
// rows of cells; cells that read as numbers are right-aligned, text left.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace eqlink_tool {

class Table {
public:
    explicit Table(std::vector<std::string> headers) : headers_(std::move(headers)) {}
    void row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
    bool empty() const { return rows_.empty(); }
    void print(std::ostream& out, int indent = 2) const;

private:
    std::vector<std::string> headers_;
    std::vector<std::vector<std::string>> rows_;
};

// A number with `digits` significant digits, shortest form ("1000", "1.5e-07").
std::string format_number(double v, int digits = 10);

}  // namespace eqlink_tool
