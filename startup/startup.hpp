// Start-up of EQCORE, the component mapping and the small checks shared by
// the calculating routines of EQLINK.
#pragma once

#include "fortran.hpp"

namespace eqlink {

// Brings EQCORE up once per run: initialisation, units, data file, component
// map, lower temperature limit. Sets the host's started flag on success;
// returns at once when it is already set. IERR: 0, or 2, 7, 8, 9 for a
// failure (already reported); NOERR: EQCORE's status of the last call.
void CASTRT(ftn::Int& IERR, ftn::Int& NOERR);

// Builds the component map in EQLINK_ELVCA. `NA` limits the number of host
// components; IERR is left unchanged on success, else set to 2 (beyond a
// capacity), 7 (a component without EQCORE counterpart in its phase, or an
// unknown dollar name), 8 (an EQCORE inquiry failed) or 9 (no usable
// solution dictionary).
void MAPDAT(const ftn::Int& NA, ftn::Int& IERR);

// True when substream type `type` occurs among the first `nsub` entries of
// `types`; reports malformed counts and types.
bool LCHKSB(ftn::Int nsub, const ftn::Int* types, ftn::Int type);

// Standard molar entropy (J/(mol K)) of element Z at 298.15 K per atom; 0 for
// Z outside 1..108 and for elements without a value.
double SELEM(ftn::Int z);

// A value minus (SELSUB) or plus (SELADD) 1000 * sum over the n components
// of amount(i) * the entropy of the elements in one formula unit of host
// component comps(i), from the host's atom data.
double SELSUB(double value, ftn::Int n, const ftn::Int* comps, const double* amounts);
double SELADD(double value, ftn::Int n, const ftn::Int* comps, const double* amounts);

}  // namespace eqlink

extern "C" {
// Sets *flag to 1 when option set *idopt is the "EQCORE" option set or one
// derived from it, else 0.
void EQLINK_CHKOPT(const ftn::Int* idopt, ftn::Int* flag) noexcept;
}
