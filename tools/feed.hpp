// The feed of a direct engine calculation, from command-line items:
// "NAME=mol" for a constituent (the first phase in file order that has one
// of that name; "PHASE/NAME" picks the phase), "FORMULA=mol" for element
// amounts ("CH4=1" gives 1 mol C and 4 mol H).
#pragma once

#include <string>
#include <vector>

#include "data/system.hpp"

namespace eqlink_tool {

struct FeedItem {
    int phase = 0;        // 0-based
    int constituent = 0;  // within the phase, 0-based
    double mol = 0.0;
};

// "NAME=1.5" into its name and amount; the option named in errors.
std::pair<std::string, double> split_amount(const std::string& item, const std::string& option);

FeedItem constituent_feed(const eqcore::System& sys, const std::string& item);

// Adds the element amounts of FORMULA=mol to `b` (sized to the system's elements).
void add_element_feed(const eqcore::System& sys, const std::string& item, std::vector<double>& b);

}  // namespace eqlink_tool
