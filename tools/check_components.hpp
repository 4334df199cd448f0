// The components of a case against the data file, once the engine is up:
// every component must reach a species through the component mapping, and
// the species its formula describes. A component that maps nowhere would
// fail every calculation without showing its name; a formula that differs
// from its species would silently change the molecular weight, every
// mass-based result and the element entropy correction.
#pragma once

#include "case_file.hpp"
#include "data/system.hpp"

namespace eqlink_tool {

// Starts the engine as the first calculation would (the start-up happens
// once per run), then checks the component map it built. Throws InputError
// "FILE:LINE: component[i].name (or .formula): ..." naming the names the
// component could have meant, or both compositions. Returns false when the
// start-up failed for a reason of its own (the calculations then report
// it); the components are then not checked, unless the mapping itself
// stopped at one of them.
bool start_and_check_components(const Case& c, const eqcore::System& sys);

}  // namespace eqlink_tool
