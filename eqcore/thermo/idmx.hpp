// Ideal mixing of condensed constituents (IDMX): G = sum_i n_i (G°_i + R T ln x_i),
// V = sum_i n_i V_i.
#pragma once

#include "thermo/phase_model.hpp"

namespace eqcore {

class IdmxModel final : public PhaseModel {
public:
    IdmxModel(const System& sys, int phase) : PhaseModel(sys, phase) {}
};

}  // namespace eqcore
