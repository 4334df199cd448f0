// Properties of each list component as a pure substance in one phase kind:
// enthalpy, entropy, Gibbs energy, volume and the fugacity term (the
// reduced Gibbs energy G / (R T)). Each list component gets an engine
// stream of its own ("st01", "st02", ...) holding 1000 x XMOL(i) mol of its
// constituent; components of another phase kind get a fixed default.
//
// Arguments as the host passes them: temperature (K), pressure (Pa), mole
// fractions, NLIST, host component numbers, the message level, the four
// request flags, the declared lengths of PROP (3 x NCOMP) and DPROP
// (4 x NCOMP), and the results: PROP(i) the value of list position i,
// PROP(NCOMP+i) its temperature derivative, PROP(2 NCOMP+i) a
// second-derivative slot (vapour volume only); DPROP(i) the pressure
// derivative, DPROP(NCOMP+i) and DPROP(3 NCOMP+i) composition slots.
#pragma once

#include "fortran.hpp"

namespace eqlink {

using PureRoutine = void (*)(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST,
                             const ftn::Int* ICLIST, ftn::Int MSGLEV, const ftn::Int* IREQ,
                             ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP, ftn::Real* DPROP);

// Vapour enthalpy.
void CAHV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Vapour entropy.
void CASV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Vapour Gibbs energy.
void CAGV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Vapour volume.
void CAVV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Vapour fugacity term.
void CAPHIV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
            ftn::Real* DPROP);
// Liquid enthalpy.
void CAHL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Liquid entropy.
void CASL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Liquid Gibbs energy.
void CAGL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Liquid volume.
void CAVL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Liquid fugacity term.
void CAPHIL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
            ftn::Real* DPROP);
// Solid enthalpy.
void CAHS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Solid entropy.
void CASS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Solid Gibbs energy.
void CAGS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Solid volume.
void CAVS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
          ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
          ftn::Real* DPROP);
// Solid fugacity term.
void CAPHIS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Int LPROP, ftn::Int LDPROP, ftn::Real* PROP,
            ftn::Real* DPROP);

}  // namespace eqlink
