// The property monitor: the host's single entry point for the physical
// properties of the EQCORE option set. Exported with the host's calling
// convention: every argument by reference.
#pragma once

#include "fortran.hpp"

extern "C" {

// KPROP: property code 401..430 (anything else: 401); ICLIST: host
// component numbers of the list; TEMP (K), PRES (Pa); XMOL: mole fractions
// of the list; IREQ: four request flags; PROP: results. The list length and
// the message level come from the host block ZMTH_PPSCLR (words 3 and 5).
// Arguments 5, 7, 9, 10 and 11 are neither read nor written.
void EQLINK_MDMON8(const ftn::Int* KPROP, const ftn::Int* ICLIST, const ftn::Real* TEMP,
                   const ftn::Real* PRES, void* arg5, const ftn::Real* XMOL, void* arg7,
                   const ftn::Int* IREQ, void* arg9, void* arg10, void* arg11, ftn::Real* PROP);

}  // extern "C"
