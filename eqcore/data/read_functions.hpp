// The function library of a data file (title flag F) and the species that
// reference it.
//
// A library function is a Gibbs energy G_f(T) given like data option 10
// (H298, S298, Cp ranges with extra Cp terms, no transition enthalpy
// between ranges). A species of option 10 or 22 in such a file gives a list
// of references `idx p1 p2 m` + function name, and its G° is sum_k m_k
// G_fk(T), each function on its own ranges. The sum is stored as ordinary
// G ranges over the union of the functions' range limits, so nothing after
// the reader knows the library existed.
#pragma once

#include <string>
#include <vector>

#include "data/lexer.hpp"
#include "data/system.hpp"

namespace eqcore {

struct LibraryFunction {
    std::string name;
    std::vector<GibbsRange> ranges;  // G form
    int line = 0;                    // of its name
    bool used = false;
};

// Reads the library after the title line: the record `nF 0 0 0`, then nF
// functions. Errors name the function, the field and the line.
std::vector<LibraryFunction> read_function_library(Lexer& lex);

// Reads a species' reference block (`nRef 0`, then nRef pairs of a
// reference record and a function name) and returns its G ranges; an empty
// result means nRef = 0 (explicit data follow). `label` names the species.
std::vector<GibbsRange> read_function_references(Lexer& lex, std::vector<LibraryFunction>& library,
                                                 const std::string& label);

// sum_k m_k G_k over the union of the ranges' limits (a boundary belongs to
// the lower range; past its last limit a function keeps its last range).
// Terms of equal exponent are combined. Throws std::length_error when a
// range would hold more extra terms than the limits allow.
std::vector<GibbsRange> sum_of_functions(const std::vector<const std::vector<GibbsRange>*>& functions,
                                         const std::vector<double>& multipliers);

}  // namespace eqcore
