// Standard-state functions of one constituent at temperature T (pure
// substance at the standard pressure).
#pragma once

#include "data/system.hpp"

namespace eqcore {

struct StandardProps {
    double g = 0.0;   // G°, J/mol
    double h = 0.0;   // H°, J/mol
    double s = 0.0;   // S°, J/(mol K)
    double cp = 0.0;  // Cp°, J/(mol K)
    bool extrapolated = false;  // T above the last range's tmax
};

// The range used at T: the first with T <= tmax; the first below 298.15 K,
// the last above the last tmax.
const GibbsRange& range_at(const Constituent& c, double T);
StandardProps standard(const Constituent& c, double T);
// G°, H°, S°, Cp° of one range's G function at T (no range selection; the
// `extrapolated` flag stays false).
StandardProps range_props(const GibbsRange& r, double T);
// G° alone, the solver's hot path.
double gibbs0(const Constituent& c, double T);

// The same with ln T given, for callers that evaluate many constituents at
// one temperature.
StandardProps standard(const Constituent& c, double T, double lnT);
StandardProps range_props(const GibbsRange& r, double T, double lnT);
double gibbs0(const Constituent& c, double T, double lnT);

}  // namespace eqcore
