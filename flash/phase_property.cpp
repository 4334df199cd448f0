// The flash's calls of the mixture property routines.
#include "phase_property.hpp"

#include <array>

#include "flash_state.hpp"
#include "mixture_properties.hpp"

namespace eqlink::flash {

ftn::Real phase_property(PhaseProperty which, ftn::Real T, ftn::Real P, const ftn::Real* x,
                         ftn::Int n, const ftn::Int* idx) {
    static constexpr std::array<ftn::Int, 4> kValueOnly{1, 0, 0, 0};
    // Cleared before every call, so that a routine that stops early never
    // leaves the value of the previous property in its place.
    std::array<ftn::Real, 3> prop{};
    std::array<ftn::Real, 4> dprop{};
    const ftn::Int level = state().KPDIAG;
    auto call = [&](auto routine) {
        routine(T, P, x, n, idx, level, kValueOnly.data(), prop.data(), dprop.data());
    };
    switch (which) {
        case PhaseProperty::vapour_enthalpy: call(CAHMXV); break;
        case PhaseProperty::vapour_entropy: call(CASMXV); break;
        case PhaseProperty::vapour_volume: call(CAVMXV); break;
        case PhaseProperty::liquid_enthalpy: call(CAHMXL); break;
        case PhaseProperty::liquid_entropy: call(CASMXL); break;
        case PhaseProperty::liquid_volume: call(CAVMXL); break;
        case PhaseProperty::solid_enthalpy: call(CAHMXS); break;
        case PhaseProperty::solid_entropy: call(CASMXS); break;
        case PhaseProperty::solid_volume: call(CAVMXS); break;
    }
    return prop[0];
}

}  // namespace eqlink::flash
