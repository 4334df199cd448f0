// The equilibrium calculation with diagnostics, run when tracing is on: the
// phase statuses on the terminal, the engine's listing written to
// "eqclist.txt" and copied into the host report.
#pragma once

#include "flash_state.hpp"

namespace eqlink::flash {

// Runs ECEQL with the conditions already set; its status lands in s.NOERR.
void equilibrate_with_diagnostics(FlashState& s);

}  // namespace eqlink::flash
