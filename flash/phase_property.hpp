// One molar property of one phase of a packed composition, through the
// mixture property routines, as the flash uses them: the value only, no
// derivatives.
#pragma once

#include "fortran.hpp"

namespace eqlink::flash {

enum class PhaseProperty {
    vapour_enthalpy, vapour_entropy, vapour_volume,
    liquid_enthalpy, liquid_entropy, liquid_volume,
    solid_enthalpy, solid_entropy, solid_volume,
};

// The property at T and P of the n components idx with mole fractions x
// (J/kmol, J/kmol-K or m3/kmol). A routine that fails has reported it; its
// value is then 0.
ftn::Real phase_property(PhaseProperty which, ftn::Real T, ftn::Real P, const ftn::Real* x,
                         ftn::Int n, const ftn::Int* idx);

}  // namespace eqlink::flash
