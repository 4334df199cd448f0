// Fortran-style formatted output: the edit descriptors I, F, E, ES and A and
// list-directed output of integers and reals, producing exactly the
// characters a Fortran runtime (gfortran) writes. A value that does not fit
// its width is a field of asterisks.
#pragma once

#include <string>
#include <string_view>

#include "fortran.hpp"

namespace fmt90 {

std::string I(ftn::Int value, int w);             // Iw
std::string I(ftn::Int value, int w, int m);      // Iw.m
std::string F(double value, int w, int d);        // Fw.d
std::string E(double value, int w, int d);        // Ew.d
std::string E(double value, int w, int d, int e); // Ew.dEe
std::string ES(double value, int w, int d);       // ESw.d
std::string A(std::string_view text, int w);      // Aw: right-justified when w exceeds the text, else its first w characters
std::string list(ftn::Int value);                 // list-directed integer item
std::string list(double value);                   // list-directed real item

}  // namespace fmt90
