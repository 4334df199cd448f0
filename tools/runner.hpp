// Runs a case the way the host runs a flowsheet: one host run set up with
// the host stand-in (components, option sets, chemistries, data file, trace
// switch, report file), then each calculation in order through the plug-in's
// entry points, so that the start-up happens once. Each calculation kind has
// its own file (run_property.cpp, run_flash.cpp, run_block.cpp).
#pragma once

#include "case_file.hpp"
#include "results.hpp"

namespace elvar {
class Run;
}

namespace eqlink_tool {

CaseResult run_case(const Case& c);

// What each calculation kind needs of the run besides its own description.
struct RunContext {
    const Case& kase;
    elvar::Run& run;
    std::size_t index = 0;            // of the calculation, from 0
    long long chemistry = 0;          // identifier of the flash's chemistry, 0 for none
};

PropertyResult run_property(const RunContext& rc, const PropertyCalc& p);
FlashResult run_flash(const RunContext& rc, const FlashCalc& f, std::string& failure);
BlockResult run_block(const RunContext& rc, const BlockCalc& b);

}  // namespace eqlink_tool
