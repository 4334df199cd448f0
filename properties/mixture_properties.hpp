// Molar enthalpy, entropy, Gibbs energy and volume of one phase of a
// mixture: the vapour (…V), liquid (…L) and solid (…S) routines. Called by
// the property monitor and, with IREQ = (1, 0, 0, 0), by the flash.
//
// Arguments as the host passes them: temperature (K), pressure (Pa), mole
// fractions and host component numbers of the NLIST list components, the
// message level for the host's error check, the four request flags, and the
// results: PROP(1) the value, PROP(2) its temperature derivative, PROP(3) a
// second-derivative slot (volume only); DPROP(1) the pressure derivative,
// DPROP(2) and DPROP(4) composition slots. Values are per kmol of the list:
// J/kmol, J/(kmol K), m3/kmol.
#pragma once

#include "fortran.hpp"

namespace eqlink {

using MixtureRoutine = void (*)(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
                                const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ,
                                ftn::Real* PROP, ftn::Real* DPROP);

// Vapour enthalpy.
void CAHMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Vapour entropy.
void CASMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Vapour Gibbs energy.
void CAGMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Vapour volume.
void CAVMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Liquid enthalpy.
void CAHMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Liquid entropy.
void CASMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Liquid Gibbs energy.
void CAGMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Liquid volume.
void CAVMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Solid enthalpy.
void CAHMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Solid entropy.
void CASMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Solid Gibbs energy.
void CAGMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Solid volume.
void CAVMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);

}  // namespace eqlink
