// Per-component chemical-potential terms of one phase kind of a mixture:
// for each list component of the kind, its chemical potential in its own
// phase, stated in the host's element reference and divided by R T;
// 1.0E10 for components of another kind. Same arguments as the mixture
// routines; PROP(i) holds the term of list position i.
#pragma once

#include "fortran.hpp"

namespace eqlink {

// Vapour. Always computes, whatever the request flags say.
void CAAMXV(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Liquid.
void CAAMXL(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);
// Solid.
void CAAMXS(ftn::Real TEMP, ftn::Real PRES, const ftn::Real* XMOL, ftn::Int NLIST, const ftn::Int* ICLIST,
            ftn::Int MSGLEV, const ftn::Int* IREQ, ftn::Real* PROP, ftn::Real* DPROP);

}  // namespace eqlink
