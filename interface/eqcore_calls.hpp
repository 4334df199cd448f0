// The engine's entry points as callers see them: the EC routines exported
// with the prefix PPSTUB_. Every argument by reference; NOERR (0 = success)
// is the last ordinary argument; character lengths follow as hidden
// arguments in the order of the character arguments.
#pragma once

#include "fortran.hpp"

extern "C" {

void PPSTUB_ECINI(ftn::Int* noerr);
void PPSTUB_ECVERS(ftn::Int* version, ftn::Int* noerr);
void PPSTUB_ECSIZE(ftn::Int* sizes /*11*/, ftn::Int* noerr);
void PPSTUB_ECUNIT(const char* quantity, const char* unit, ftn::Int* noerr, ftn::Len quantity_len,
                   ftn::Len unit_len);
void PPSTUB_ECSIO(const char* which, const ftn::Int* unit, ftn::Int* noerr, ftn::Len which_len);
void PPSTUB_ECOPTX(const char* name, const ftn::Int* unit, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECOPBN(const char* name, const ftn::Int* unit, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECRDTX(ftn::Int* noerr);
void PPSTUB_ECRDBN(ftn::Int* noerr);
void PPSTUB_ECOPEN(const char* name, const ftn::Int* unit, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECCLOS(const ftn::Int* unit, ftn::Int* noerr);
void PPSTUB_ECSHOW(ftn::Int* noerr);
// lines: 3 consecutive fields of line_len (80) characters each.
void PPSTUB_ECERR(char* lines, ftn::Int* noerr, ftn::Len line_len);
void PPSTUB_ECBHDR(ftn::Int* format, char* writer, ftn::Int* wver /*3*/, ftn::Int* minver /*3*/,
                   ftn::Int* date /*6*/, char* remarks, ftn::Int* noerr, ftn::Len writer_len, ftn::Len remarks_len);
void PPSTUB_ECLIM(const char* name, const ftn::Real* value, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECNPH(ftn::Int* count, ftn::Int* noerr);
void PPSTUB_ECNPC(const ftn::Int* phase, ftn::Int* count, ftn::Int* noerr);
void PPSTUB_ECPNM(const ftn::Int* phase, char* name, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECCNM(const ftn::Int* phase, const ftn::Int* constituent, char* name, ftn::Int* noerr,
                  ftn::Len name_len);
void PPSTUB_ECPIX(const char* name, ftn::Int* phase, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECMODL(const ftn::Int* phase, char* model, ftn::Int* noerr, ftn::Len model_len);
void PPSTUB_ECGPS(const ftn::Int* phase, char* status, ftn::Int* noerr, ftn::Len status_len);
void PPSTUB_ECSPS(const ftn::Int* phase, const char* status, ftn::Int* noerr, ftn::Len status_len);
void PPSTUB_ECSCS(const ftn::Int* phase, const ftn::Int* constituent, const char* status, ftn::Int* noerr,
                  ftn::Len status_len);
void PPSTUB_ECRMC(const ftn::Int* number, ftn::Int* noerr);
void PPSTUB_ECSETC(const char* name, const ftn::Int* phase, const ftn::Int* constituent,
                   const ftn::Real* value, ftn::Int* number, ftn::Int* noerr, ftn::Len name_len);
void PPSTUB_ECSCND(const char* name, const ftn::Int* index, const ftn::Real* value, ftn::Int* noerr,
                   ftn::Len name_len);
void PPSTUB_ECSTDF(const char* stream, const ftn::Real* tp /*2*/, ftn::Int* noerr, ftn::Len stream_len);
void PPSTUB_ECSTAM(const char* stream, const ftn::Int* phase, const ftn::Int* constituent,
                   const ftn::Real* amount, ftn::Int* noerr, ftn::Len stream_len);
void PPSTUB_ECSTPR(const char* stream, const char* property, ftn::Real* value, ftn::Int* noerr,
                   ftn::Len stream_len, ftn::Len property_len);
void PPSTUB_ECSTDL(const char* stream, ftn::Int* noerr, ftn::Len stream_len);
void PPSTUB_ECEQ(const char* option, const ftn::Int* phase, const ftn::Int* constituent,
                 const ftn::Real* values /*2*/, ftn::Int* noerr, ftn::Len option_len);
void PPSTUB_ECEQL(const char* option, const ftn::Int* phase, const ftn::Int* constituent,
                  const ftn::Real* values /*2*/, ftn::Int* noerr, ftn::Len option_len);
void PPSTUB_ECRES(const char* option, const ftn::Int* phase, const ftn::Int* constituent, ftn::Real* value,
                  ftn::Int* noerr, ftn::Len option_len);

}  // extern "C"
