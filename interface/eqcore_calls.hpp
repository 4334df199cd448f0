// The engine's entry points as EQLINK calls them: the EC routines exported
// with the prefix PPSTUB_, declared by the engine's own public header. Every
// argument by reference; NOERR (0 = success) is the last ordinary argument;
// character lengths follow as hidden arguments in the order of the character
// arguments. The engine's boundary types are EQLINK's.
#pragma once

#include <type_traits>

#include "eqcore/eqcore.h"
#include "fortran.hpp"

static_assert(std::is_same_v<eqcore_int, ftn::Int>);
static_assert(std::is_same_v<eqcore_real, ftn::Real>);
static_assert(std::is_same_v<eqcore_len, ftn::Len>);
