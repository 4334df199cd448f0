// Host routines that the plug-in reaches by name through DMS_FINDFUN and
// DMS_DOCALL_20.
#pragma once

#include "fortran.hpp"

extern "C" {
// Chemistry information for the flash: for the chemistry `idchem`, result
// word 10 is the plex location of its coefficient matrix (NCOMP rows, one
// column per equation, reals) and word 11 its number of equations; words 1
// to 9 are 0. An unknown chemistry gives 0 equations at location 0. The
// eight scratch arguments are not touched.
void FLSH_CHMINF(const ftn::Int* idchem, ftn::Int* r1, ftn::Int* r2, ftn::Int* r3, ftn::Int* r4,
                 ftn::Int* r5, ftn::Int* r6, ftn::Int* r7, ftn::Int* r8, ftn::Int* r9,
                 ftn::Int* r10, ftn::Int* r11, void* s1, void* s2, void* s3, void* s4, void* s5,
                 void* s6, void* s7, void* s8);
}
