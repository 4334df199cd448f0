// The flash entry point the host calls for every stream flash of a property
// method that uses the EQCORE option set: a pressure-temperature flash
// (KODE 2) or a pressure-duty flash (KODE 1) of a host stream vector, with or
// without the host's chemistry. Every argument by reference.
#pragma once

#include "fortran.hpp"

extern "C" {

// STRVEC   stream vector, in/out        NSUBS   number of substreams
// LPB      first word of each substream ITYPE   1 mixed, 2 conventional solid,
//                                                3 non-conventional
// IDS      word 3: chemistry identifier (0: none)
// KODE     1 PQ, 2 TP                   NPKODE  phases (+10: free water), in/out
// KPHASE   phase of a one-phase flash   RFCTL   handed to the root finder
// TOL      relative tolerance of the temperature search
// KDIAG    level of the flash's own messages
// KPDIAG   level handed to the property routines
// (three unused arguments)              KER     0 success, -1 failure
void EQLINK_CAFLSH(ftn::Real* STRVEC, const ftn::Int* NSUBS, const ftn::Int* LPB,
                   const ftn::Int* ITYPE, const ftn::Int* IDS, const ftn::Int* KODE,
                   ftn::Int* NPKODE, const ftn::Int* KPHASE, const ftn::Int* RFCTL,
                   const ftn::Real* TOL, const ftn::Int* KDIAG, const ftn::Int* KPDIAG,
                   const void* unused13, const void* unused14, const void* unused15,
                   ftn::Int* KER);

}  // extern "C"
