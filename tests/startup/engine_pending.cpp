// Stand-ins for the engine's transparent-file entry points while the engine
// does not provide them yet (added to the test build only then): a
// transparent file cannot be read.
#include "eqcore_calls.hpp"

extern "C" void PPSTUB_ECRDBN(ftn::Int* noerr) { *noerr = 1; }

extern "C" void PPSTUB_ECBHDR(ftn::Int*, char*, ftn::Int*, ftn::Int*, ftn::Int*, char*, ftn::Int* noerr, ftn::Len,
                              ftn::Len) {
    *noerr = 1;
}
