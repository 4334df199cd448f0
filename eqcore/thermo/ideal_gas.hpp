// The ideal gas: G = sum_i n_i (G°_i + R T ln(x_i P/P°)), V = N R T / P. Every
// gas model code of the data format is read as this model.
#pragma once

#include "thermo/phase_model.hpp"

namespace eqcore {

class IdealGasModel final : public PhaseModel {
public:
    IdealGasModel(const System& sys, int phase) : PhaseModel(sys, phase) { layout_.gas = true; }
};

}  // namespace eqcore
