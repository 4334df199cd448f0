/* EQCORE's entry points, for C and C++ callers.
 *
 * Every routine is exported as PPSTUB_ + its EC name in the Fortran calling
 * convention:
 *   - every argument by reference (never NULL for an argument the routine
 *     needs: that is error 90, "missing argument");
 *   - integers eqcore_int (8 bytes), reals eqcore_real (8 bytes);
 *   - character arguments are fixed-length, blank-padded fields, not
 *     NUL-terminated: input fields are read up to their length with trailing
 *     blanks ignored, output fields are filled left-justified and padded with
 *     blanks to their length (cut when longer); the length of each follows as
 *     a hidden eqcore_len argument after all other arguments, in the order of
 *     the character arguments;
 *   - NOERR, the last ordinary argument, is 0 on success, else an error
 *     number (its text from PPSTUB_ECERR);
 *   - phase and constituent numbers count from 1;
 *   - nothing is thrown; floating-point traps are masked inside and the
 *     caller's mode is restored on return.
 * A Fortran caller calls them as ordinary external subroutines; a C caller
 * passes the lengths itself:
 *
 *   eqcore_int e;
 *   char name[24];
 *   const eqcore_int phase = 1;
 *   PPSTUB_ECPNM(&phase, name, &e, sizeof name);
 *
 * The routines share one process-wide session and are not re-entrant; a
 * program that needs engines in several threads uses the C++ API
 * (eqcore::Session, one per thread).
 */
#ifndef EQCORE_EQCORE_H
#define EQCORE_EQCORE_H

#include <stddef.h>
#include <stdint.h>

/* The engine's version; PPSTUB_ECVERS reports EQCORE_VERSION. */
#define EQCORE_VERSION_MAJOR 1
#define EQCORE_VERSION_MINOR 0
#define EQCORE_VERSION_PATCH 0
#define EQCORE_VERSION (100 * EQCORE_VERSION_MAJOR + EQCORE_VERSION_MINOR)

typedef int64_t eqcore_int;  /* INTEGER*8 */
typedef double eqcore_real;  /* REAL*8 */
typedef size_t eqcore_len;   /* hidden length of a character argument */

#define EQCORE_SIZES 11             /* values of ECSIZE's array */
#define EQCORE_ERROR_LINE_LENGTH 80 /* ECERR's texts are laid out for lines of 80 */

#ifdef __cplusplus
extern "C" {
#endif

/* --- set-up, version, units, I/O units ---------------------------------- */
void PPSTUB_ECINI(eqcore_int* noerr);
void PPSTUB_ECVERS(eqcore_int* version, eqcore_int* noerr);
/* sizes: NA .. NK, EQCORE_SIZES values. */
void PPSTUB_ECSIZE(eqcore_int* sizes, eqcore_int* noerr);
void PPSTUB_ECUNIT(const char* quantity, const char* unit, eqcore_int* noerr,
                   eqcore_len quantity_len, eqcore_len unit_len);
void PPSTUB_ECSIO(const char* which, const eqcore_int* unit, eqcore_int* noerr,
                  eqcore_len which_len);

/* --- data files, listing files ------------------------------------------ */
void PPSTUB_ECOPTX(const char* name, const eqcore_int* unit, eqcore_int* noerr,
                   eqcore_len name_len);
void PPSTUB_ECOPBN(const char* name, const eqcore_int* unit, eqcore_int* noerr,
                   eqcore_len name_len);
void PPSTUB_ECRDTX(eqcore_int* noerr);
void PPSTUB_ECRDBN(eqcore_int* noerr);
/* wver(3), minver(3), date(6): year, month, day, hour, minute, second. */
void PPSTUB_ECBHDR(eqcore_int* format, char* writer, eqcore_int* wver, eqcore_int* minver,
                   eqcore_int* date, char* remarks, eqcore_int* noerr, eqcore_len writer_len,
                   eqcore_len remarks_len);
void PPSTUB_ECOPEN(const char* name, const eqcore_int* unit, eqcore_int* noerr,
                   eqcore_len name_len);
void PPSTUB_ECCLOS(const eqcore_int* unit, eqcore_int* noerr);
void PPSTUB_ECSHOW(eqcore_int* noerr);
/* lines: three consecutive fields of line_len characters each. */
void PPSTUB_ECERR(char* lines, eqcore_int* noerr, eqcore_len line_len);

/* Checked mode for every later calculation: on = 1, off = 0 (the default). */
void PPSTUB_ECCHK(const eqcore_int* on, eqcore_int* noerr);

/* --- limits, inquiries, statuses ---------------------------------------- */
void PPSTUB_ECLIM(const char* name, const eqcore_real* value, eqcore_int* noerr,
                  eqcore_len name_len);
void PPSTUB_ECNPH(eqcore_int* count, eqcore_int* noerr);
void PPSTUB_ECNPC(const eqcore_int* phase, eqcore_int* count, eqcore_int* noerr);
void PPSTUB_ECPNM(const eqcore_int* phase, char* name, eqcore_int* noerr, eqcore_len name_len);
void PPSTUB_ECCNM(const eqcore_int* phase, const eqcore_int* constituent, char* name,
                  eqcore_int* noerr, eqcore_len name_len);
void PPSTUB_ECPIX(const char* name, eqcore_int* phase, eqcore_int* noerr, eqcore_len name_len);
void PPSTUB_ECMODL(const eqcore_int* phase, char* model, eqcore_int* noerr,
                   eqcore_len model_len);
void PPSTUB_ECGPS(const eqcore_int* phase, char* status, eqcore_int* noerr,
                  eqcore_len status_len);
void PPSTUB_ECSPS(const eqcore_int* phase, const char* status, eqcore_int* noerr,
                  eqcore_len status_len);
void PPSTUB_ECSCS(const eqcore_int* phase, const eqcore_int* constituent, const char* status,
                  eqcore_int* noerr, eqcore_len status_len);
/* Sublattice phases (0 sublattices: none) and elements. */
void PPSTUB_ECNSL(const eqcore_int* phase, eqcore_int* count, eqcore_int* noerr);
void PPSTUB_ECNSC(const eqcore_int* phase, const eqcore_int* sublattice, eqcore_int* count,
                  eqcore_int* noerr);
void PPSTUB_ECSCN(const eqcore_int* phase, const eqcore_int* sublattice, const eqcore_int* k,
                  char* name, eqcore_int* noerr, eqcore_len name_len);
void PPSTUB_ECNEL(eqcore_int* count, eqcore_int* noerr);
void PPSTUB_ECENM(const eqcore_int* element, char* name, eqcore_int* noerr, eqcore_len name_len);

/* --- conditions ---------------------------------------------------------- */
void PPSTUB_ECRMC(const eqcore_int* number, eqcore_int* noerr);
void PPSTUB_ECSETC(const char* name, const eqcore_int* phase, const eqcore_int* constituent,
                   const eqcore_real* value, eqcore_int* number, eqcore_int* noerr,
                   eqcore_len name_len);
void PPSTUB_ECSCND(const char* name, const eqcore_int* index, const eqcore_real* value,
                   eqcore_int* noerr, eqcore_len name_len);

/* --- streams ------------------------------------------------------------- */
/* tp(2): temperature and pressure of the stream. */
void PPSTUB_ECSTDF(const char* stream, const eqcore_real* tp, eqcore_int* noerr,
                   eqcore_len stream_len);
void PPSTUB_ECSTAM(const char* stream, const eqcore_int* phase, const eqcore_int* constituent,
                   const eqcore_real* amount, eqcore_int* noerr, eqcore_len stream_len);
void PPSTUB_ECSTPR(const char* stream, const char* property, eqcore_real* value,
                   eqcore_int* noerr, eqcore_len stream_len, eqcore_len property_len);
void PPSTUB_ECSTDL(const char* stream, eqcore_int* noerr, eqcore_len stream_len);

/* --- equilibrium and results --------------------------------------------- */
/* values(2): values(1) the first temperature estimate of option "T ". */
void PPSTUB_ECEQ(const char* option, const eqcore_int* phase, const eqcore_int* constituent,
                 const eqcore_real* values, eqcore_int* noerr, eqcore_len option_len);
void PPSTUB_ECEQL(const char* option, const eqcore_int* phase, const eqcore_int* constituent,
                  const eqcore_real* values, eqcore_int* noerr, eqcore_len option_len);
void PPSTUB_ECRES(const char* option, const eqcore_int* phase, const eqcore_int* constituent,
                  eqcore_real* value, eqcore_int* noerr, eqcore_len option_len);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* EQCORE_EQCORE_H */
