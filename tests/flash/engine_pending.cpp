// Entry points the engine does not provide yet in this tree: each fails, so
// that the flashes without chemistry link and run. Built only while the
// engine lacks them.
#include "eqcore_calls.hpp"

extern "C" {

void PPSTUB_ECEQ(const char*, const ftn::Int*, const ftn::Int*, const ftn::Real*, ftn::Int* noerr, ftn::Len) { *noerr = 1; }
void PPSTUB_ECEQL(const char*, const ftn::Int*, const ftn::Int*, const ftn::Real*, ftn::Int* noerr, ftn::Len) { *noerr = 1; }
void PPSTUB_ECRES(const char*, const ftn::Int*, const ftn::Int*, ftn::Real*, ftn::Int* noerr, ftn::Len) { *noerr = 1; }
void PPSTUB_ECSHOW(ftn::Int* noerr) { *noerr = 1; }
void PPSTUB_ECRDBN(ftn::Int* noerr) { *noerr = 1; }
void PPSTUB_ECBHDR(ftn::Int*, char*, ftn::Int*, ftn::Int*, ftn::Int*, char*, ftn::Int* noerr, ftn::Len, ftn::Len) { *noerr = 1; }

}
