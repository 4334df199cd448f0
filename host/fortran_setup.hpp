// Setting a run up from Fortran: the C++ API of run.hpp as routines in the
// host's calling convention (every argument by reference, character fields
// blank-padded with their lengths passed hidden after all other arguments,
// 8-byte integers and reals), so that a host program written in Fortran
// describes its run, starts it and prepares each call of the plug-in. A run
// is described (ELVAR_NEWRUN, ELVAR_ADDCMP, ELVAR_ADDOPT, ELVAR_ADDCHM), then
// started (ELVAR_START) and ended (ELVAR_ENDRUN). Routines with IERR set it
// to 0 on success and 1 on failure; ELVAR_ERRTXT gives the reason, naming
// the item and field at fault.
#pragma once

#include "fortran.hpp"

extern "C" {

// Starts describing a new run named `case_name` (its report is
// <case_name>.rep); the earlier description is forgotten.
void ELVAR_NEWRUN(const char* case_name, ftn::Len case_len);
// Adds a host component: ID (8), mapping name (32, "CO2:G1") and formula
// (32); its molecular weight comes from the formula.
void ELVAR_ADDCMP(const char* id, const char* name, const char* formula, ftn::Len id_len,
                  ftn::Len name_len, ftn::Len formula_len);
// Adds an option set (16 characters) derived from `base` (blank: none).
void ELVAR_ADDOPT(const char* name, const char* base, ftn::Len name_len, ftn::Len base_len);
// Adds a chemistry of NEQ equations: COEF(NCOMP, NEQ), the coefficient of
// each component described so far (host order) in each equation.
void ELVAR_ADDCHM(const ftn::Int* neq, const ftn::Real* coef, ftn::Int* ierr);
// Builds the run as described: lays out the plex, resets the host's blocks,
// opens the report. The data-file name and trace switch are the host's to
// write into EQLINK_CONFIG afterwards (they start blank and off).
void ELVAR_START(ftn::Int* ierr);
// Ends the run (closes its report); nothing happens when none is open.
void ELVAR_ENDRUN();

// Record identifier of an option set (the block's OPTSET) and identifier of
// chemistry K (from 1, in the order added; the flash's IDS word 3).
void ELVAR_OPTSET(const char* name, ftn::Int* id, ftn::Int* ierr, ftn::Len name_len);
void ELVAR_CHEMID(const ftn::Int* k, ftn::Int* id, ftn::Int* ierr);
// The property monitor's list length and message level (ZMTH_PPSCLR 3, 5).
void ELVAR_PROPRQ(const ftn::Int* nlist, const ftn::Int* msglev, ftn::Int* ierr);
// The flash work area before a flash: T (K), P (Pa), duty (W); RMISS for
// what is not given.
void ELVAR_FLASHC(const ftn::Real* T, const ftn::Real* P, const ftn::Real* duty, ftn::Int* ierr);
// The block about to be called: its ID (8), diagnostic level and product
// list PRODUCTS(NPROD), each product up to 70 characters.
void ELVAR_BLOCK(const char* id, const ftn::Int* level, const ftn::Int* nprod, const char* products,
                 ftn::Int* ierr, ftn::Len id_len, ftn::Len product_len);
// The reason of the last failure, blank-padded (blank when none failed).
void ELVAR_ERRTXT(char* text, ftn::Len text_len);

}  // extern "C"
