// The results of a case on standard output: aligned tables for people, or
// the JSON of the case format for programs.
#pragma once

#include <ostream>

#include "case_file.hpp"
#include "results.hpp"

namespace eqlink_tool {

void print_tables(std::ostream& out, const Case& c, const CaseResult& r);
void print_json(std::ostream& out, const CaseResult& r);

}  // namespace eqlink_tool
