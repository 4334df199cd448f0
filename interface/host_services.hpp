// The host simulator's services and shared blocks, as EQLINK sees them. The
// host (or its stand-in) defines them; EQLINK only declares and calls them.
// Every argument by reference; character lengths follow as hidden arguments.
#pragma once

#include "fortran.hpp"

extern "C" {

// --- Shared blocks: 8-byte words counted from 1 (element 0 is word 1). ---
extern ftn::Word DMS_EQLINK[];    // 1: LSTART, the started flag (logical)
extern ftn::Word DMS_NCOMP[];     // 1: NCOMP; 2: number of non-conventional components
extern ftn::Word DMS_GLOBAL[];    // 5: report unit (4-byte integer); 8: missing integer;
                                  // 18: diagnostic level; 27, 28: current block ID
extern ftn::Word DMS_RGLOB[];     // 1: RMISS; 5: smallest flow; 13, 14: root-finder settings
extern ftn::Word DMS_IPOFF4[];    // 2: plex location of the component identifiers
extern ftn::Word DMS_STWKWK[];    // flash work area
extern ftn::Word SHS_STWORK[];    // stream work locations and phase properties
extern ftn::Word ZMTH_PPSCLR[];   // 3: list length; 5: message level
extern ftn::Word PPUTL_PPGLOB[];  // 3: gas constant, J/(kmol K)
extern ftn::Word PPEXEC_USER[];   // 7: the current block's diagnostic level
extern ftn::Word DMS_PLEX[];      // the host's word array
extern char DMS_ERROUT[10][80];   // message lines for DMS_ERRPRT
extern char DMS_MAXWRT[20][80];   // terminal lines for DMS_WRTTRM

// --- Services. "-> I" results are 8-byte integers, "-> R" reals. ---
ftn::Int DMS_IRRCHK(const ftn::Word* id, const ftn::Int* severity, const ftn::Int* number,
                    const ftn::Int* level, const ftn::Int* imiss, const ftn::Int* zero,
                    const ftn::Int* flag, const ftn::Int* two);
void DMS_ERRPRT(const ftn::Int* nlines);
void DMS_WRTTRM(const ftn::Int* nlines);
ftn::Int DMS_LOCATI(const ftn::Int* record);
ftn::Int DMS_IFCMNC(const char* name, const ftn::Int* length, ftn::Len name_len);
ftn::Int DMS_STRLEN(const char* text, const ftn::Int* length, ftn::Len text_len);
void DMS_STRUPR(char* text, const ftn::Int* length, ftn::Len text_len);
void DMS_GETELRSYSTOP(char* field, ftn::Len field_len);  // field of 148 characters
void DMS_FINDFUN(const char* module, const char* routine, ftn::Int* status, ftn::Int* handle,
                 ftn::Len module_len, ftn::Len routine_len);
void DMS_DOCALL_20(const ftn::Int* handle, void* a1, void* a2, void* a3, void* a4, void* a5,
                   void* a6, void* a7, void* a8, void* a9, void* a10, void* a11, void* a12,
                   void* a13, void* a14, void* a15, void* a16, void* a17, void* a18, void* a19,
                   void* a20);
void SHS_CPACK(const ftn::Real* substream, ftn::Int* count, ftn::Int* idx, ftn::Real* x,
               ftn::Real* flow);
ftn::Int SHS_NSVAR(const ftn::Int* descriptor);
ftn::Real PPUTL_AVEMW(const ftn::Int* n, const ftn::Int* idx, const ftn::Real* x);
void ZMTH_ROOT1N(ftn::Int* iflag, ftn::Real* x, const ftn::Real* f, ftn::Real* rfwork,
                 const ftn::Int* rfctl);
void USRUTL_NUMSTR(ftn::Int* count);
void USRUTL_GETCSTR(const ftn::Int* i, char* field, ftn::Int* length, ftn::Len field_len);

}  // extern "C"
