// A stoichiometric condensed phase (model code PURE): one constituent at unit
// activity, G = n G°, V = n V°.
#pragma once

#include "thermo/phase_model.hpp"

namespace eqcore {

class PureModel final : public PhaseModel {
public:
    PureModel(const System& sys, int phase) : PhaseModel(sys, phase) { layout_.pure = true; }
};

}  // namespace eqcore
