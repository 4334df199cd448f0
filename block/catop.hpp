// EQLINK_CATOP: the equilibrium block of the EQCORE option set. The host
// calls it for each calculation of such a block with these 31 arguments,
// every one by reference; it returns nothing and leaves its results in the
// outlet streams, the first outlet heat stream and RPAR(4).
#pragma once

#include "fortran.hpp"

extern "C" {

void EQLINK_CATOP(const ftn::Int* NINLET, const ftn::Real* SINLET, const ftn::Int* NHTIN,
                  const ftn::Real* HTIN, const ftn::Int* NOUTLT, ftn::Real* SOUTLT,
                  const ftn::Int* NHTOUT, ftn::Real* HTOUT, const void* unused9,
                  const void* unused10, const void* unused11, const void* unused12,
                  const ftn::Int* LSTRM, const ftn::Int* NSUB, const ftn::Int* SUBPOS,
                  const ftn::Int* SUBTYP, const ftn::Int* NIPAR, const ftn::Int* IPAR,
                  const ftn::Int* NRPAR, ftn::Real* RPAR, const void* unused21,
                  const void* unused22, const ftn::Int* OPTSET, const void* unused24,
                  const void* unused25, const void* unused26, const void* unused27,
                  const void* unused28, const void* unused29, const void* unused30,
                  const ftn::Int* STRDSC);

}  // extern "C"
