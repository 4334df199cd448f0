// A stand-in for the few host services the interface frame calls: it records
// every call, and DMS_IRRCHK answers what the test sets.
#pragma once

#include <string>
#include <vector>

#include "fortran.hpp"

namespace host_double {

struct IrrchkCall {
    std::string id;  // both words, 16 characters
    ftn::Int severity, number, level, imiss, zero, flag, two;
};

struct Calls {
    ftn::Int irrchk_answer = 1;
    std::vector<IrrchkCall> irrchk;
    std::vector<ftn::Int> errprt;  // line counts passed
    std::vector<ftn::Int> wrttrm;  // line counts passed
};

extern Calls calls;
// Forgets every call and fills DMS_ERROUT and DMS_MAXWRT with `sentinel`.
void reset(char sentinel = '#');
// Row i (from 1) of DMS_ERROUT / DMS_MAXWRT, all 80 characters.
std::string errout_line(int i);
std::string maxwrt_line(int i);

}  // namespace host_double
